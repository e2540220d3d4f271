#include "ui/PreviewFileDialog.h"

#include <QLabel>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "core/ConsoleApp.h"

TEST(PreviewFileDialogTest, ShowsJpegsAndNothingElse) {
    TTempDir dir;
    std::string ppm = "P6\n400 300\n255\n";
    for (int i = 0; i < 400 * 300; ++i)
        ppm += std::string("\x80\x40\xC0", 3);
    WriteFileBytes(dir.file("p.ppm"), ppm);
    std::vector<std::string> lines;
    ExecuteConsoleApp("cjpeg", {"-outfile", dir.file("wide photo.jpg"), dir.file("p.ppm")}, lines);
    WriteFileBytes(dir.file("notes.jpg"), "not a picture");

    TPreviewFileDialog dialog;
    dialog.ShowPreview(QString::fromStdString(dir.file("wide photo.jpg")));
    const QPixmap shown = dialog.Preview()->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.width(), 200); // wide pictures fit the preview's width
    EXPECT_EQ(shown.height(), 150);
    const QColor colour = shown.toImage().pixelColor(100, 75);
    EXPECT_NEAR(colour.red(), 0x80, 6);
    EXPECT_NEAR(colour.blue(), 0xC0, 6);

    dialog.ShowPreview(QString::fromStdString(dir.file("notes.jpg")));
    EXPECT_TRUE(dialog.Preview()->pixmap().isNull());
    dialog.ShowPreview(QString::fromStdString(dir.path()));
    EXPECT_TRUE(dialog.Preview()->pixmap().isNull());
}
