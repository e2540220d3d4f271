#include "ui/Placement.h"

#include <filesystem>

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "core/StorageTank.h"
#include "ui/MainForm.h"

TEST(PlacementTest, NormalWindowsStoreWhatApplies) {
    TStorageTank store("Settings");
    QWidget form;
    form.setGeometry(40, 50, 300, 200);
    savePlacement(store, form, "MainForm", {true, true});
    EXPECT_EQ(store.getString("Spatial_MainForm_WindowState"), "wsNormal");
    EXPECT_EQ(store.getInteger("Spatial_MainForm_Width"), 300);
    EXPECT_EQ(store.getInteger("Spatial_MainForm_Height"), 200);
    EXPECT_GE(store.indexOf("Spatial_MainForm_Left"), 0);

    QWidget centred;
    centred.resize(100, 100);
    savePlacement(store, centred, "AboutBoxJ", {false, false});
    EXPECT_EQ(store.getString("Spatial_AboutBoxJ_WindowState"), "wsNormal");
    EXPECT_EQ(store.indexOf("Spatial_AboutBoxJ_Left"), -1);
    EXPECT_EQ(store.indexOf("Spatial_AboutBoxJ_Width"), -1);
}

TEST(PlacementTest, RestoreUsesStoredKeysAndKeepsTheRest) {
    TStorageTank store("Settings");
    store.setValue("Spatial_SForm_WindowState", "wsNormal");
    store.setValue("Spatial_SForm_Width", int32_t{420});
    store.setValue("Spatial_SForm_Left", int32_t{15});
    QWidget form;
    form.setGeometry(5, 6, 300, 250);
    restorePlacement(store, form, "SForm", {true, true});
    EXPECT_EQ(form.width(), 420);
    EXPECT_EQ(form.height(), 250); // no stored height: the designed one stays
    EXPECT_EQ(form.x(), 15);

    store.setValue("Spatial_SForm_Width", int32_t{0}); // a damaged file never gives a 0 size
    restorePlacement(store, form, "SForm", {true, true});
    EXPECT_GE(form.width(), 50);

    store.setValue("Spatial_SForm_WindowState", "wsMaximized");
    store.setValue("Spatial_SForm_Width", int32_t{999});
    restorePlacement(store, form, "SForm", {true, true});
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
}

TEST(PlacementTest, StoredRectanglesAreFittedIntoTheScreen) {
    const QRect screen(0, 0, 1600, 1000);
    const QRect second(1600, 0, 1280, 800); // a second screen to the right
    const QMargins frame(4, 30, 4, 4);      // a title bar and thin borders
    const struct {
        QRect stored, available, fitted;
        QMargins frame = {};
    } cases[] = {
        {{100, 80, 800, 600}, screen, {100, 80, 800, 600}},    // fits: kept as it is
        {{50, 40, 2800, 1800}, screen, {0, 0, 1600, 1000}},    // saved on a larger screen
        {{1200, 700, 800, 600}, screen, {800, 400, 800, 600}}, // over the lower right edge
        {{-300, -40, 800, 600}, screen, {0, 0, 800, 600}},     // title bar above the top
        {{1700, 100, 1600, 900}, second, {1600, 0, 1280, 800}},
        {{50, 40, 2800, 1800}, screen, {4, 30, 1592, 966}, frame}, // the frame fits too
        {{100, 10, 800, 600}, screen, {100, 30, 800, 600}, frame},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitToScreen(c.stored, c.available, c.frame), c.fitted)
            << c.stored.x() << "," << c.stored.y();
}

TEST(PlacementTest, AWindowReopensExactlyWhereItWasClosed) {
    TStorageTank store("Settings");
    {
        QWidget form;
        form.show();
        form.setGeometry(200, 200, 300, 200);
        savePlacement(store, form, "MainForm", {true, true});
    }
    for (int reopen = 0; reopen < 3; ++reopen) { // and again, without drifting
        QWidget form;
        form.show();
        restorePlacement(store, form, "MainForm", {true, true});
        EXPECT_EQ(form.geometry(), QRect(200, 200, 300, 200));
        savePlacement(store, form, "MainForm", {true, true});
    }
}

TEST(PlacementTest, TheMainWindowReopensWhereItWasClosed) {
    TTempDir dir;
    std::filesystem::create_directories(dir.file("prog"));
    std::filesystem::create_directories(dir.file("cfg"));
    TScriptedPrompt prompt;
    for (int opening = 0; opening < 3; ++opening) {
        TMainForm window(TSettingsFile(dir.file("prog"), dir.file("cfg")), {}, &prompt);
        window.show();
        QApplication::processEvents();
        if (opening == 0)
            window.setGeometry(200, 200, 500, 400);
        else
            EXPECT_EQ(window.geometry(), QRect(200, 200, 500, 400)) << opening;
        EXPECT_TRUE(window.close());
    }
}
