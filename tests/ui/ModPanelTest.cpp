#include "ui/ModPanel.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>

namespace {

QImage Grab(QWidget& widget) {
    return widget.grab().toImage();
}
// compared as 8-bit colours, the way the panel is drawn
QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y);
}
QRgb Role(const QWidget& widget, QPalette::ColorRole role) {
    return widget.palette().color(role).rgb();
}

TEST(ModPanelTest, LinePiecesLeaveRoomForTheCaption) {
    TModPanel panel(QStringLiteral("&Type"));
    panel.resize(200, 60);
    // the whole caption, its fraction of a pixel too
    const int caption = panel.CaptionWidth();
    EXPECT_GE(caption, QFontMetricsF(panel.font()).horizontalAdvance(QStringLiteral("Type")));
    EXPECT_LT(caption, QFontMetricsF(panel.font()).horizontalAdvance(QStringLiteral("Type")) + 1);
    auto p = panel.LinePieces();
    EXPECT_EQ(p.leftFrom, 0);
    EXPECT_EQ(p.leftTo, 5);
    EXPECT_EQ(p.rightFrom, 8 + caption + 3);
    EXPECT_EQ(p.rightTo, 200);
    // a padding of 8 or more leaves no piece before the caption
    panel.SetTextPadding(8);
    EXPECT_LT(panel.LinePieces().leftTo, panel.LinePieces().leftFrom);
    // the flat look draws one pixel further left
    panel.SetTextPadding(3);
    panel.setFlat(true);
    EXPECT_EQ(panel.LinePieces().leftTo, 4);
    EXPECT_EQ(panel.LinePieces().rightFrom, 8 + caption + 2);
}

TEST(ModPanelTest, DefaultsDrawAnEtchedLineAndNoFrame) {
    TModPanel panel(QStringLiteral("&Settings"));
    EXPECT_TRUE(panel.SingleLine());
    EXPECT_EQ(panel.LinePosition(), 10);
    EXPECT_EQ(panel.TextPadding(), 3);
    panel.resize(200, 80);
    const QImage image = Grab(panel);
    const QRgb dark = Role(panel, QPalette::Dark);
    const QRgb light = Role(panel, QPalette::Light);
    const QRgb background = Role(panel, QPalette::Window);
    EXPECT_EQ(At(image, 2, 10), dark);
    EXPECT_EQ(At(image, 2, 11), light);
    EXPECT_EQ(At(image, 190, 10), dark);
    EXPECT_EQ(At(image, 190, 11), light);
    // the gap before the caption, and the sides and bottom of the would-be frame
    EXPECT_EQ(At(image, 7, 10), background);
    EXPECT_EQ(At(image, 0, 50), background);
    EXPECT_EQ(At(image, 199, 50), background);
    EXPECT_EQ(At(image, 100, 79), background);

    panel.SetLinePosition(30);
    const QImage moved = Grab(panel);
    EXPECT_EQ(At(moved, 190, 30), dark);
    EXPECT_EQ(At(moved, 190, 10), background);
}

TEST(ModPanelTest, RightToLeftMirrorsTheLine) {
    TModPanel panel(QStringLiteral("&Settings"));
    panel.setLayoutDirection(Qt::RightToLeft);
    panel.resize(200, 80);
    const QImage image = Grab(panel);
    const QRgb dark = Role(panel, QPalette::Dark);
    EXPECT_EQ(At(image, 197, 10), dark);
    EXPECT_NE(At(image, 192, 10), dark); // the gap before the caption
    EXPECT_EQ(At(image, 2, 10), dark);
}

TEST(ModPanelTest, WithoutSingleLineItIsAPlainGroupBox) {
    TModPanel panel(QStringLiteral("&Type"));
    panel.SetSingleLine(false);
    QGroupBox box(QStringLiteral("&Type"));
    panel.resize(180, 70);
    box.resize(180, 70);
    const QImage framed = Grab(panel);
    EXPECT_EQ(framed, Grab(box));
    panel.SetSingleLine(true);
    EXPECT_NE(framed, Grab(panel));
}

} // namespace
