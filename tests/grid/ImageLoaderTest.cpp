#include "grid/ImageLoader.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Drives the run as the main window does, recording what it did.
struct TRun {
    TLoadForm form;
    std::vector<std::string> added;
    std::vector<QString> labels; // the status line while each file was added
    std::vector<int> progress;   // the bar's position while each file was added
    QString status;
    std::function<void(int)> during; // called with the 1-based number of the file being added

    TRun() {
        form.SetAddImage([this](const std::string& path) {
            added.push_back(path);
            labels.push_back(form.StatusLabel()->text());
            progress.push_back(form.ProgressBar()->value());
            if (during) during(static_cast<int>(added.size()));
        });
        form.SetStatusText([this](const QString& text) { status = text; });
    }
    // Starts the run and lets the event loop carry it to its end.
    void Exec(std::vector<std::string> list) {
        form.SetList(std::move(list));
        form.Start();
        for (int i = 0; i < 1000 && !form.Finished(); ++i)
            QTest::qWait(5);
        ASSERT_TRUE(form.Finished());
    }
};

/// A thumbnail source that answers only when told, from the event loop.
class THeldSource : public IThumbnailSource {
public:
    std::vector<std::string> asked;
    int withdrawn = 0;
    std::function<void()> onRequest; // after each request

    uint64_t Request(QObject* context, const std::string& fileName, int32_t, int32_t, bool,
                     TDone done) override {
        asked.push_back(fileName);
        held_.push_back({++next_, context, std::move(done)});
        if (onRequest) onRequest();
        return next_;
    }
    bool Withdraw(uint64_t ticket) override {
        std::erase_if(held_, [&](const THeld& h) { return h.ticket == ticket; });
        ++withdrawn;
        return true;
    }
    /// Answers every request held so far, each as a delivery between events.
    void AnswerAll() {
        for (THeld& h : held_)
            QMetaObject::invokeMethod(
                h.context,
                [done = std::move(h.done)] {
                    done({TThumbnail(), {}});
                },
                Qt::QueuedConnection);
        held_.clear();
    }

private:
    struct THeld {
        uint64_t ticket;
        QPointer<QObject> context;
        TDone done;
    };
    std::vector<THeld> held_;
    uint64_t next_ = 0;
};

std::vector<std::string> Paths(int n) {
    std::vector<std::string> paths;
    for (int i = 1; i <= n; ++i)
        paths.push_back("/photos/IMG_" + std::to_string(i) + ".JPG");
    return paths;
}

} // namespace

TEST(ImageLoaderTest, OneFileRunShowsItsLineAndReportsImagesAdded) {
    TRun run;
    run.Exec({"/home/ann/trip/IMG_0042.JPG"});
    EXPECT_EQ(run.added, (std::vector<std::string>{"/home/ann/trip/IMG_0042.JPG"}));
    EXPECT_EQ(run.labels[0], "Creating Thumb (1/1) IMG_0042.JPG");
    EXPECT_EQ(run.progress[0], 0);
    EXPECT_EQ(run.form.ProgressBar()->value(), 1);
    EXPECT_EQ(run.form.ProgressBar()->maximum(), 1);
    EXPECT_EQ(run.status, "Images added");
    EXPECT_TRUE(run.form.Finished());
    EXPECT_FALSE(run.form.Cancelled());
    EXPECT_FALSE(run.form.isVisible());
}

TEST(ImageLoaderTest, AddsEveryPathInOrderAndShowsBothSeparatorsCut) {
    TRun run;
    run.Exec({"C:\\Pics\\a.jpg", "/x/b.jpeg", "plain.jpg"});
    EXPECT_EQ(run.added, (std::vector<std::string>{"C:\\Pics\\a.jpg", "/x/b.jpeg", "plain.jpg"}));
    EXPECT_EQ(run.labels,
              (std::vector<QString>{"Creating Thumb (1/3) a.jpg", "Creating Thumb (2/3) b.jpeg",
                                    "Creating Thumb (3/3) plain.jpg"}));
    EXPECT_EQ(run.progress, (std::vector<int>{0, 1, 2}));
}

TEST(ImageLoaderTest, CancelTakesEffectAfterTheFileInProgress) {
    // The click arrives while the third file is being added, as a queued user action would.
    TRun run;
    run.during = [&](int i) {
        if (i == 3) QTimer::singleShot(0, run.form.CancelBtn(), &QPushButton::click);
    };
    run.Exec(Paths(10));
    EXPECT_EQ(run.added, Paths(3));
    EXPECT_EQ(run.form.ProgressBar()->value(), 3);
    EXPECT_EQ(run.status, "Adding cancelled");
    EXPECT_TRUE(run.form.Cancelled());
    EXPECT_FALSE(run.form.isVisible());
}

TEST(ImageLoaderTest, StartingAgainDuringARunNeitherRestartsItNorForgetsACancel) {
    const struct {
        int startAt; // the file being added then
        bool cancelFirst;
        std::size_t added;
    } cases[] = {{2, false, 3}, {3, false, 3}, {1, true, 1}};
    for (const auto& tc : cases) {
        TRun run;
        int ended = 0;
        QObject::connect(&run.form, &TLoadForm::runEnded, [&] { ++ended; });
        run.during = [&](int i) {
            if (i != tc.startAt) return;
            if (tc.cancelFirst) run.form.Cancel();
            EXPECT_TRUE(run.form.isVisible());
            run.form.Start();
        };
        run.Exec(Paths(3));
        QTest::qWait(50); // a second run would have added files again by now
        EXPECT_EQ(run.added.size(), tc.added) << tc.startAt;
        EXPECT_EQ(ended, 1);
        EXPECT_FALSE(run.form.isVisible());
    }
}

TEST(ImageLoaderTest, AbortEndsTheRunWithoutAnotherFileOrMessage) {
    TRun run;
    run.during = [&](int i) {
        if (i == 2) run.form.Abort();
    };
    run.Exec(Paths(5));
    QTest::qWait(50); // steps queued before the abort find the run gone
    EXPECT_EQ(run.added, Paths(2));
    EXPECT_TRUE(run.status.isEmpty());
}

TEST(ImageLoaderTest, FailingFileDoesNotEndTheRun) {
    TRun run;
    run.during = [](int i) {
        if (i == 2) throw std::runtime_error("unreadable");
    };
    run.Exec(Paths(3));
    EXPECT_EQ(run.added, Paths(3));
    EXPECT_EQ(run.form.ProgressBar()->value(), 3);
    EXPECT_EQ(run.status, "Images added");
}

TEST(ImageLoaderTest, EachShowingStartsAFreshRun) {
    TRun run;
    run.during = [&](int i) {
        if (i == 1) run.form.CancelBtn()->click();
    };
    run.Exec(Paths(4));
    EXPECT_EQ(run.added.size(), 1u);
    EXPECT_EQ(run.status, "Adding cancelled");

    run.during = nullptr;
    run.added.clear();
    run.Exec(Paths(2));
    EXPECT_EQ(run.added, Paths(2));
    EXPECT_EQ(run.status, "Images added");
    EXPECT_FALSE(run.form.Cancelled());
    EXPECT_EQ(run.form.ProgressBar()->maximum(), 2);
}

TEST(ImageLoaderTest, WaitingForADecodeLeavesTheLoopFreeAndCancelKeepsTheFileAtWork) {
    TRun run;
    THeldSource source;
    run.form.SetThumbnails(&source, 2, [&](const std::string& path, TDecodedThumbnail decoded) {
        EXPECT_TRUE(decoded.Thumbnail.has_value());
        run.added.push_back(path);
    });
    bool waitedInTheLoop = false;
    source.onRequest = [&] {
        if (source.asked.size() != 2) return;
        // the run has asked for the first two decodes and gone back to the event loop
        QTimer::singleShot(0, [&] {
            waitedInTheLoop = run.added.empty() && run.form.isVisible();
            run.form.CancelBtn()->click();
            source.AnswerAll();
        });
    };
    run.Exec(Paths(5));
    EXPECT_TRUE(waitedInTheLoop);
    EXPECT_EQ(source.asked, Paths(2));
    EXPECT_EQ(run.added, Paths(1)); // the file at work is completed, then the run stops
    EXPECT_EQ(run.status, "Adding cancelled");
    EXPECT_FALSE(run.form.isVisible());
}
