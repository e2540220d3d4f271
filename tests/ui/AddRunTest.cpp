// The thumbnail run never holds the window: frames arrive while the user scrolls,
// moves a crop area and crops, and the end result is that of a run left alone.
#include <filesystem>

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include "CropRunWait.h"
#include "ui/FrameList.h"
#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "core/ConsoleApp.h"
#include "frames/IFrame.h"
#include "grid/BigPanel.h"
#include "grid/CropContainer.h"
#include "grid/ImageLoader.h"
#include "ui/MainForm.h"

namespace fs = std::filesystem;

namespace {
constexpr int kPhotos = 200;

class AddRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.file("prog"));
        fs::create_directories(dir.file("cfg"));
        fs::create_directories(dir.file("photos"));
        // two pictures of different shapes, copied under many names
        MakeJpeg(dir.file("wide.jpg"), 96, 64);
        MakeJpeg(dir.file("tall.jpg"), 64, 96);
        for (int i = 0; i < kPhotos; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "photos/p%03d.jpg", i);
            fs::copy_file(dir.file(i % 3 ? "wide.jpg" : "tall.jpg"), dir.file(name));
            files.push_back(dir.file(name));
        }
    }

    std::unique_ptr<TMainForm> Open(const std::string& out) {
        auto w = std::make_unique<TMainForm>(TSettingsFile(dir.file("prog"), dir.file("cfg")),
                                             std::vector<std::string>{}, &prompt);
        w->resize(900, 700);
        w->show();
        QApplication::processEvents();
        w->DirEdit()->setText(QString::fromStdString(dir.file(out) + "/"));
        return w;
    }
    static std::vector<std::string> Names(const TMainForm& w) {
        std::vector<std::string> names;
        for (const TOrderPhoto& photo : w.List().Order().Photos())
            names.push_back(fs::path(photo.File()).filename());
        return names;
    }
    // What the user does to the first photo: its crop area goes right and down, then it is cut.
    static void MoveAndCrop(TMainForm& w) {
        TIFrame* first = w.Images().front();
        w.SetCurrentFrame(first);
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down})
            QTest::keyClick(first->Cropper(), key);
        w.CropCurrentActionExecute();
    }

    TTempDir dir;
    TScriptedPrompt prompt;
    std::vector<std::string> files;
};
} // namespace

TEST_F(AddRunTest, WorkDuringTheRunEndsAsWorkAfterIt) {
    // the run left alone, the same work done after it
    auto quiet = Open("quiet");
    quiet->AddFiles(files);
    WaitForAddRun(*quiet);
    ASSERT_EQ(quiet->List().Count(), std::size_t(kPhotos));
    MoveAndCrop(*quiet);
    WaitForCropRun(*quiet);
    const std::vector<std::string> quietNames = Names(*quiet);
    const std::string quietCut = ReadFileBytes(dir.file("quiet/p000.jpg"));
    ASSERT_FALSE(quietCut.empty());

    auto busy = Open("busy");
    QSignalSpy ended(busy.get(), &TMainForm::addRunFinished);
    busy->AddFiles(files);
    // the window answers while frames arrive: the run's progress sits in the status bar
    ASSERT_TRUE(QTest::qWaitFor([&] { return busy->List().Count() >= 2; }));
    EXPECT_TRUE(busy->Adding());
    EXPECT_TRUE(busy->LoadForm()->isVisible());
    EXPECT_TRUE(busy->statusBar()->isAncestorOf(busy->LoadForm()));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(busy->CurrentFrame(), busy->Images().front());
    busy->Container()->Big()->WheelScroll(-240);
    MoveAndCrop(*busy);
    WaitForCropRun(*busy);
    EXPECT_TRUE(busy->Adding()) << "the run ended before the work in it could be checked";
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 60000));
    EXPECT_FALSE(busy->LoadForm()->isVisible());
    // once the thumbnails shown are made
    EXPECT_TRUE(QTest::qWaitFor([&] { return busy->StatusText() == "Images added"; }, 10000))
        << busy->StatusText().toStdString();

    EXPECT_EQ(Names(*busy), quietNames);
    EXPECT_EQ(ReadFileBytes(dir.file("busy/p000.jpg")), quietCut);
    EXPECT_EQ(busy->CurrentFrame(), busy->Images().front());
    EXPECT_TRUE(prompt.errors.empty());
}

TEST_F(AddRunTest, CancelKeepsTheFramesThatArrivedAndFilesThatCameMeanwhileFollow) {
    auto w = Open("out");
    QSignalSpy ended(w.get(), &TMainForm::addRunFinished);
    w->AddFiles(files);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->List().Count() >= 3; }));
    w->LoadForm()->CancelBtn()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }));
    const std::size_t kept = w->List().Count();
    EXPECT_LT(kept, std::size_t(kPhotos));
    EXPECT_EQ(w->StatusText(), QStringLiteral("Adding cancelled"));
    // what arrived is there in list order
    for (std::size_t i = 0; i < kept; ++i)
        EXPECT_EQ(w->List().Order().At(i).File(), files[i]);

    // a drop during a run waits for it and comes after it
    std::vector<std::string> more;
    for (const char* name : {"more0.jpg", "more1.jpg", "more2.jpg"}) {
        more.push_back(dir.file(name));
        fs::copy_file(files[0], more.back());
    }
    w->AddFiles({more[0], more[1]});
    w->AddFiles({more[2]});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 2; }, 30000));
    ASSERT_EQ(w->List().Count(), kept + 3);
    EXPECT_EQ(w->List().Order().At(kept).File(), more[0]);
    EXPECT_EQ(w->List().Order().At(kept + 2).File(), more[2]);
}

TEST_F(AddRunTest, CropImagesShowsItsProgressAndCancelLeavesTheRestInTheList) {
    // a jpegtran slow enough to be cancelled while the first jobs run
    fs::create_directories(dir.file("bin"));
    WriteFileBytes(dir.file("bin/jpegtran"), "#!/bin/sh\ntouch \"" + dir.file("started") +
                                                 "\"\nsleep 0.3\nexec " +
                                                 FindExecutable("jpegtran") + " \"$@\"\n");
    fs::permissions(dir.file("bin/jpegtran"), fs::perms::owner_all);
    const std::string path = getenv("PATH");
    setenv("PATH", (dir.file("bin") + ":" + path).c_str(), 1);

    auto w = Open("out");
    const std::vector<std::string> some(files.begin(), files.begin() + 12);
    w->AddFiles(some);
    WaitForAddRun(*w);
    QSignalSpy ended(w.get(), &TMainForm::cropRunFinished);
    w->CropImagesActionExecute();
    auto* bar = w->findChild<QProgressBar*>("CropProgressBar");
    auto* cancel = w->findChild<QPushButton*>("CropCancelBtn");
    ASSERT_TRUE(bar && cancel);
    EXPECT_EQ(bar->maximum(), 12);
    EXPECT_TRUE(w->statusBar()->isAncestorOf(bar));
    // cancelled once a job runs, however slowly the machine starts it
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(dir.file("started")); }, 30000));
    cancel->click();
    ASSERT_TRUE(ended.count() == 1 || ended.wait(30000));
    setenv("PATH", path.c_str(), 1);

    EXPECT_EQ(w->findChild<QProgressBar*>("CropProgressBar"), nullptr);
    EXPECT_EQ(w->StatusText(), QStringLiteral("Cropping cancelled"));
    ASSERT_EQ(prompt.summaries.size(), 1u);
    // the jobs already running were written, the frames of the others stay
    std::size_t written = 0;
    for (const auto& e : fs::directory_iterator(dir.file("out")))
        written += e.path().extension() == ".jpg";
    const std::size_t left = w->List().Count();
    EXPECT_GT(written, 0u);
    EXPECT_GT(left, 0u);
    EXPECT_EQ(written + left, some.size());
    // the account, then the lab's view of what was cut
    const std::string head = "Photos written: " + std::to_string(written) +
                             ", skipped: 0, failed: 0, not started: " + std::to_string(left) +
                             ".\nDestination: " + dir.file("out") + "\n\nPrints per size:\n";
    EXPECT_EQ(prompt.summaries[0].substr(0, head.size()), head);
    EXPECT_EQ(prompt.summaryFolders[0], dir.file("out"));
    // the frames left are the last of the list: the run goes in the list's order
    for (std::size_t i = 0; i < left; ++i)
        EXPECT_EQ(w->List().Order().At(i).File(), some[some.size() - left + i]);
}

// While photos arrive, the frame that makes the grid overflow narrows the columns
// at once: no horizontal bar comes and goes, and no control is cut off at the right.
TEST_F(AddRunTest, ArrivingFramesNeverShowAHorizontalBar) {
    auto w = Open("out");
    w->resize(760, 480);
    QApplication::processEvents();
    const std::vector<std::string> some(files.begin(), files.begin() + 30);
    w->AddFiles(some);
    int seen = 0;
    while (w->Adding()) {
        seen += w->Container()->Big()->HorzBarShown();
        QTest::qWait(2);
    }
    EXPECT_EQ(seen, 0);
    EXPECT_TRUE(w->Container()->Big()->VertBarShown());
    EXPECT_FALSE(w->Container()->Big()->HorzBarShown());
}
