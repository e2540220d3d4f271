#include "ui/ModPanel.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

namespace {
// the caption starts this far in from the panel's leading edge
constexpr int kCaptionInset = 8;

QString VisibleCaption(const QString& title) {
    // "&&" draws one ampersand, a lone "&" only underlines the next letter
    QString text;
    for (int i = 0; i < title.size(); ++i) {
        if (title[i] == QLatin1Char('&') && i + 1 < title.size())
            ++i;
        else if (title[i] == QLatin1Char('&'))
            continue;
        text += title[i];
    }
    return text;
}
} // namespace

TModPanel::TModPanel(QWidget* parent) : QGroupBox(parent) {}

TModPanel::TModPanel(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

void TModPanel::SetSingleLine(bool value) {
    singleLine_ = value;
    update();
}

void TModPanel::SetLinePosition(int32_t value) {
    linePosition_ = value;
    update();
}

void TModPanel::SetTextPadding(int32_t value) {
    textPadding_ = value;
    update();
}

int TModPanel::CaptionWidth() const {
    // rounded up: the line must not run into the caption's last letter
    return static_cast<int>(
        std::ceil(QFontMetricsF(font()).horizontalAdvance(VisibleCaption(title()))));
}

TModPanel::TLinePieces TModPanel::LinePieces() const {
    // the flat look draws its single line one pixel further left
    const int shift = isFlat() ? 1 : 0;
    TLinePieces p{};
    p.leftFrom = 0;
    p.leftTo = textPadding_ < kCaptionInset ? kCaptionInset - textPadding_ - shift : -1;
    p.rightFrom = kCaptionInset + CaptionWidth() + textPadding_ - shift;
    p.rightTo = width();
    return p;
}

void TModPanel::paintEvent(QPaintEvent* event) {
    if (!singleLine_) {
        QGroupBox::paintEvent(event);
        return;
    }
    // The framing rectangle is simply not drawn: the panel's background is
    // already its own colour, so only the line and the caption remain.
    QPainter painter(this);
    const TLinePieces p = LinePieces();
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    auto hline = [&](int from, int to, int y) {
        if (to < from) return;
        if (rtl)
            painter.drawLine(width() - 1 - to, y, width() - 1 - from, y);
        else
            painter.drawLine(from, y, to, y);
    };
    auto twoPieces = [&](int y) {
        if (p.leftTo >= 0) hline(p.leftFrom, p.leftTo, y);
        hline(p.rightFrom, p.rightTo, y);
    };
    if (isFlat()) {
        painter.setPen(palette().color(QPalette::Shadow));
        twoPieces(linePosition_);
    } else {
        painter.setPen(palette().color(QPalette::Dark));
        twoPieces(linePosition_);
        painter.setPen(palette().color(QPalette::Light));
        twoPieces(linePosition_ + 1);
    }

    if (title().isEmpty()) return;
    const QRect textRect(rtl ? width() - kCaptionInset - CaptionWidth() : kCaptionInset, 0,
                         CaptionWidth(), fontMetrics().height());
    painter.fillRect(textRect, palette().color(backgroundRole()));
    // drawn unclipped: at a fractional scale the caption's last letter and its
    // descenders reach past the rounded rectangle ("Typ", "Einstellungen")
    style()->drawItemText(&painter, textRect,
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextSingleLine |
                              Qt::TextDontClip,
                          palette(), isEnabled(), title(), foregroundRole());
}
