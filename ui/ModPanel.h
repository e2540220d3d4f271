#pragma once

#include <cstdint>

#include <QGroupBox>

/// A group box that can draw its caption on a single etched line instead of
/// the framing rectangle, for light grouping inside a dialog.
class TModPanel : public QGroupBox {
public:
    explicit TModPanel(QWidget* parent = nullptr);
    TModPanel(const QString& title, QWidget* parent = nullptr);

    bool SingleLine() const { return singleLine_; }
    int32_t LinePosition() const { return linePosition_; }
    int32_t TextPadding() const { return textPadding_; }
    /// Each setter repaints the panel.
    void SetSingleLine(bool value);
    void SetLinePosition(int32_t value);
    void SetTextPadding(int32_t value);

    /// The horizontal pieces of the line, left to right in left-to-right
    /// reading order; the first is empty when the padding reaches the caption's
    /// left inset. Exposed so that the geometry can be checked without pixels.
    struct TLinePieces {
        int leftFrom, leftTo; // leftTo < leftFrom: no left piece
        int rightFrom, rightTo;
    };
    TLinePieces LinePieces() const;
    /// Width of the caption as drawn, without its access-key marker.
    int CaptionWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool singleLine_ = true;
    int32_t linePosition_ = 10;
    int32_t textPadding_ = 3;
};
