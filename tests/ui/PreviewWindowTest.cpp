#include "ui/PreviewWindow.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "TempDir.h"

TEST(PreviewWindowTest, FitsTheScreenZoomsToItsOwnPixelsAndTellsSizeAndResolution) {
    TTempDir dir;
    // larger than the (offscreen) screen, at 300 ppi
    const std::string big = dir.file("big.jpg");
    MakeJpeg(big, 2400, 1800);
    ASSERT_EQ(std::system(("exiftool -q -overwrite_original -XResolution=300 -YResolution=300 "
                           "-ResolutionUnit=inches -JFIF:XResolution=300 -JFIF:YResolution=300 " +
                           big)
                              .c_str()),
              0);
    TPreviewWindow window;
    ASSERT_TRUE(window.Show(big));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(window.width(), screen.width());
    EXPECT_LE(window.height(), screen.height());
    EXPECT_LT(window.Zoom(), 1.0);
    EXPECT_LE(window.Picture()->width(), window.width());
    EXPECT_EQ(window.Info()->text(), QStringLiteral("2400 x 1800 pixels, 300 ppi"));

    QTest::keyClick(&window, Qt::Key_1);
    EXPECT_EQ(window.Zoom(), 1.0);
    EXPECT_EQ(window.Picture()->size(), QSize(2400, 1800));
    QTest::keyClick(&window, Qt::Key_Plus); // never beyond the cut's own pixels
    EXPECT_EQ(window.Zoom(), 1.0);
    QTest::keyClick(&window, Qt::Key_Minus);
    EXPECT_LT(window.Picture()->width(), 2400);
    QTest::keyClick(&window, Qt::Key_0);
    EXPECT_DOUBLE_EQ(window.Zoom(), window.FitZoom());

    // what is no picture is told, and the picture shown stays
    WriteFileBytes(dir.file("text.jpg"), "not a JPEG at all");
    std::string why;
    EXPECT_FALSE(window.Show(dir.file("text.jpg"), &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(window.Info()->text(), QStringLiteral("2400 x 1800 pixels, 300 ppi"));

    // a crop's print resolution stands in for the one the preview file carries
    ASSERT_TRUE(window.Show(big, nullptr, 667));
    EXPECT_EQ(window.Info()->text(), QStringLiteral("2400 x 1800 pixels, 667 ppi"));
}
