#pragma once

class QWidget;

/// Row placement for label-led rows whose widths depend on the translated
/// caption: each moves widgets horizontally only and leaves their tops alone.

/// control left := label left + label width + gap.
void PlaceRightOf(QWidget* label, QWidget* control, int gap);

/// control left := label left + label width + gap; second label's left :=
/// control left + control width + gap.
void ChainRightOf(QWidget* label, QWidget* control, QWidget* secondLabel, int gap);

/// Moves label horizontally so that its centre lies midway between the button's
/// right edge and the edit's left edge; true when it then starts right of the button.
bool CentreBetween(QWidget* button, QWidget* label, QWidget* edit);
