#pragma once

class QLabel;
class QString;
class QWidget;

/// Row placement for label-led rows whose widths depend on the translated
/// caption: each moves widgets horizontally only and leaves their tops alone.

/// control left := label left + label width + gap.
void PlaceRightOf(QWidget* label, QWidget* control, int gap);

/// control left := label left + label width + gap; second label's left :=
/// control left + control width + gap.
void ChainRightOf(QWidget* label, QWidget* control, QWidget* secondLabel, int gap);

/// A hint laid over the whole of over, centred and word-wrapped, that lets
/// the mouse and drops through to what lies below; it keeps over's size.
QLabel* AddOverlayHint(QWidget* over, const QString& text);
