// The window on a screen of 3200x2000 device pixels at a scale factor of 2, as a
// HiDPI laptop shows it: 1600x1000 logical pixels, each thumbnail pixel sharp.
#include <filesystem>

#include <QApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "CropRunWait.h"
#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "frames/IFrame.h"
#include "model/CropArea.h"
#include "ui/MainForm.h"

namespace fs = std::filesystem;

namespace {
class ScaledScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.file("prog"));
        fs::create_directories(dir.file("cfg"));
        QScreen* screen = QGuiApplication::primaryScreen();
        ASSERT_EQ(screen->devicePixelRatio(), 2.0) << "run with QT_SCALE_FACTOR=2";
        ASSERT_EQ(screen->geometry(), QRect(0, 0, 1600, 1000));
    }
    std::unique_ptr<TMainForm> Open() {
        auto w = std::make_unique<TMainForm>(TSettingsFile(dir.file("prog"), dir.file("cfg")),
                                             std::vector<std::string>{}, &prompt);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        return w;
    }

    TTempDir dir;
    TScriptedPrompt prompt;
};
} // namespace

TEST_F(ScaledScreenTest, ThumbnailsHoldTwiceThePixelsOfTheirLogicalSize) {
    MakeJpeg(dir.file("photo.jpg"), 1600, 1200);
    auto window = Open();
    window->resize(900, 700);
    window->AddFiles({dir.file("photo.jpg")});
    WaitForAddRun(*window);
    ASSERT_EQ(window->Images().size(), 1u);
    const TCropView& area = window->Images().front()->Cropper()->Area();
    ASSERT_GT(area.ThumbHeight(), 0);
    EXPECT_NEAR(area.Thumbnail().Width(), 2 * area.ThumbWidth(), 1);
    EXPECT_NEAR(area.Thumbnail().Height(), 2 * area.ThumbHeight(), 1);
}

TEST_F(ScaledScreenTest, AWindowSavedOnALargerScreenOpensInsideThisOne) {
    {
        auto window = Open();
        window->setGeometry(50, 40, 2800, 1800);
        EXPECT_TRUE(window->close());
    }
    auto window = Open();
    const QRect available = window->screen()->availableGeometry();
    const QRect placed = window->frameGeometry();
    EXPECT_TRUE(available.contains(placed))
        << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
}

TEST_F(ScaledScreenTest, AWindowReopensWhereItWasClosed) {
    for (int opening = 0; opening < 3; ++opening) {
        auto window = Open();
        if (opening == 0)
            window->setGeometry(200, 200, 600, 400);
        else
            EXPECT_EQ(window->geometry(), QRect(200, 200, 600, 400)) << opening;
        EXPECT_TRUE(window->close());
    }
}
