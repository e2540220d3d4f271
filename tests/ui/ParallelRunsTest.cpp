// The thumbnail run and the crop run use every core, yet the user sees the
// same frames, questions and files as when one photo follows the other.
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include <sys/stat.h>

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "CropRunWait.h"
#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "core/ConsoleApp.h"
#include "frames/IFrame.h"
#include "grid/CropContainer.h"
#include "grid/ImageLoader.h"
#include "jobs/CropJob.h"
#include "ui/MainForm.h"

namespace fs = std::filesystem;

namespace {
class ParallelRunsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.file("prog"));
        fs::create_directories(dir.file("cfg"));
        fs::create_directories(photo("sub"));
        fs::create_directories(out(""));
        int i = 0;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "sub/a.jpg", "gone.jpg"})
            MakeJpeg(photo(name), 320 + 16 * i++, 240);
        MakeJpeg(photo("d.jpg"), 240, 400);
        WriteFileBytes(photo("not a jpeg.jpg"), "not a JPEG at all");
        WriteFileBytes(photo("empty.jpg"), "");
        const std::string whole = ReadFileBytes(photo("c.jpg"));
        WriteFileBytes(photo("truncated.jpg"), whole.substr(0, whole.size() / 2));
        files = {photo("a.jpg"),       photo("not a jpeg.jpg"), photo("b.jpg"),
                 photo("missing.jpg"), photo("c.jpg"),          photo("empty.jpg"),
                 photo("sub/a.jpg"),   photo("truncated.jpg"),  photo("gone.jpg"),
                 photo("d.jpg")};
    }
    std::string photo(const std::string& name) const { return dir.file("photos/" + name); }
    std::string out(const std::string& name) const { return dir.file("out/" + name); }

    std::unique_ptr<TMainForm> Open(bool parallel) {
        auto w = std::make_unique<TMainForm>(TSettingsFile(dir.file("prog"), dir.file("cfg")),
                                             std::vector<std::string>{}, &prompt);
        if (!parallel) w->LoadForm()->SetThumbnails(nullptr, 0, {});
        w->show();
        QApplication::processEvents();
        w->DirEdit()->setText(QString::fromStdString(out("")));
        w->AddFiles(files);
        WaitForAddRun(*w);
        // a layout the grid still owes and the thumbnails it asks for come before any
        // comparison: a loaded machine may hold them back a while
        w->Container()->LayoutNow();
        const bool settled = QTest::qWaitFor(
            [&w] {
                for (const TIFrame* frame : w->Images())
                    if (frame->Cropper()->ThumbnailPending()) return false;
                return true;
            },
            30000);
        EXPECT_TRUE(settled);
        // the files that could not be read were told once; what follows starts afresh
        told.push_back(prompt.errors);
        prompt = TScriptedPrompt();
        return w;
    }

    TTempDir dir;
    TScriptedPrompt prompt;
    std::vector<std::vector<std::string>> told; // the errors of each add
    std::vector<std::string> files;
};
} // namespace

TEST_F(ParallelRunsTest, AddsTheSameFramesInTheSameOrderAsOneFileAfterTheOther) {
    auto parallel = Open(true);
    auto sequential = Open(false);
    const auto& p = parallel->Images();
    const auto& s = sequential->Images();
    ASSERT_EQ(p.size(), 7u); // every photo, the truncated one with its grey rest
    ASSERT_EQ(p.size(), s.size());
    for (std::size_t i = 0; i < p.size(); ++i) {
        SCOPED_TRACE(s[i]->SourceFileName());
        EXPECT_EQ(p[i]->SourceFileName(), s[i]->SourceFileName());
        EXPECT_EQ(p[i]->DestFileName(), s[i]->DestFileName());
        EXPECT_EQ(p[i]->GetCrop(), s[i]->GetCrop());
        EXPECT_EQ(p[i]->Cropper()->Area().ThumbWidth(), s[i]->Cropper()->Area().ThumbWidth());
        EXPECT_TRUE(p[i]->Cropper()->Area().Thumbnail() == s[i]->Cropper()->Area().Thumbnail());
        EXPECT_EQ(p[i]->Selected(), s[i]->Selected());
    }
    EXPECT_EQ(parallel->CurrentFrame()->SourceFileName(), photo("a.jpg"));
    EXPECT_EQ(parallel->StatusText(), sequential->StatusText());
    // both tell the files they could not read, once, in list order
    ASSERT_EQ(told.size(), 2u);
    for (const auto& errors : told) {
        ASSERT_EQ(errors.size(), 1u);
        std::vector<std::string> names;
        std::istringstream lines(errors[0]);
        std::string line;
        std::getline(lines, line);
        EXPECT_EQ(line, "These folders and files could not be read:");
        while (std::getline(lines, line))
            names.push_back(line.substr(0, line.find(": ")));
        EXPECT_EQ(names, (std::vector<std::string>{"not a jpeg.jpg", "missing.jpg", "empty.jpg"}))
            << errors[0];
        EXPECT_NE(errors[0].find("\nmissing.jpg: The file does not exist"), std::string::npos);
        EXPECT_NE(errors[0].find("\nempty.jpg: The file is empty"), std::string::npos);
    }
}

TEST_F(ParallelRunsTest, CropsTheSameFilesWithTheSameQuestionsAsOneFrameAfterTheOther) {
    auto w = Open(true);
    ASSERT_EQ(w->Images().size(), 7u);
    WriteFileBytes(out("b.jpg"), "old b");
    WriteFileBytes(out("c.jpg"), "old c");
    chmod(out("c.jpg").c_str(), 0444);
    fs::remove(photo("gone.jpg"));

    // the same jobs one after the other, each photo into a file of its own
    fs::create_directories(dir.file("ref"));
    std::map<std::string, std::string> expected; // by source
    const auto frames = w->Images();
    for (const TIFrame* frame : frames) {
        const TIFrame& f = *frame;
        TCropJob job;
        job.Tool = FindTransformer();
        job.Source = f.SourceFileName();
        job.Output = dir.file("ref/" + std::to_string(expected.size()) + ".jpg");
        const TCropRect r = f.GetCrop();
        job.Crop = {r.x, r.y, r.width, r.height, f.Rotation(), f.Kind()};
        job.Resolution = f.Resolution();
        if (RunCropJob(job).Outcome == TCropOutcome::Written)
            expected[f.SourceFileName()] = ReadFileBytes(job.Output);
    }

    // Yes to the photo whose data ends early: jpegtran then fails it in its own words
    prompt.answers = {TAnswer::No, TAnswer::Yes, TAnswer::Yes, TAnswer::Yes};
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    // the questions come first, in the list's order; the second a.jpg is not
    // asked about: it gets a name of its own, as the first one's job writes a.jpg
    EXPECT_EQ(prompt.questions,
              (std::vector<std::string>{"Overwrite b.jpg?", "Overwrite c.jpg?",
                                        "File c.jpg is read only.\n\nOverwrite anyway?",
                                        "truncated.jpg is incomplete: its lower part is grey. "
                                        "Crop it anyway?"}));
    // the vanished photo is told with the system's reason, the one whose data
    // ends early in the user's words and then jpegtran's
    // in the run's one account
    EXPECT_TRUE(prompt.messages.empty());
    ASSERT_EQ(prompt.summaries.size(), 1u);
    const std::string& summary = prompt.summaries[0];
    EXPECT_NE(summary.find("Photos written: 4, skipped: 1, failed: 2, not started: 0."),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("\ntruncated.jpg: The photo is cut short: its data ends early ("),
              std::string::npos);
    EXPECT_NE(summary.find("Premature end of JPEG file"), std::string::npos);
    EXPECT_NE(summary.find("\ngone.jpg: Unable to read " + photo("gone.jpg") + ": " +
                           std::strerror(ENOENT)),
              std::string::npos)
        << summary;
    const std::pair<const char*, std::string> written[] = {{"a.jpg", photo("a.jpg")},
                                                           {"a (2).jpg", photo("sub/a.jpg")},
                                                           {"c.jpg", photo("c.jpg")},
                                                           {"d.jpg", photo("d.jpg")}};
    for (const auto& [name, source] : written) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(expected.count(source));
        EXPECT_EQ(ReadFileBytes(out(name)), expected[source]);
    }
    EXPECT_EQ(ReadFileBytes(out("b.jpg")), "old b");
    EXPECT_FALSE(fs::exists(out("gone.jpg")));
    EXPECT_FALSE(fs::exists(out("truncated.jpg")));
    std::vector<std::string> left;
    for (TIFrame* f : w->Images())
        left.push_back(f->DestFileName());
    EXPECT_EQ(left, (std::vector<std::string>{"b.jpg", "truncated.jpg", "gone.jpg"}));
    EXPECT_EQ(w->StatusText(), QStringLiteral("Finished cropping"));
    for (const auto& e : fs::directory_iterator(out("")))
        EXPECT_EQ(e.path().filename().string().find(".trimvale"), std::string::npos);
}

// Closing the window during a run lets the jobs in flight end for a moment;
// a jpegtran that hangs is killed then, so the window goes at once.
TEST_F(ParallelRunsTest, ClosingDuringARunKillsAHangingJpegtranAndTheWindowGoes) {
    auto w = Open(true);
    ASSERT_EQ(w->Images().size(), 7u);
    fs::create_directories(dir.file("bin"));
    WriteFileBytes(dir.file("bin/jpegtran"), "#!/bin/sh\nexec sleep 60\n");
    chmod(dir.file("bin/jpegtran").c_str(), 0755);
    const std::string path = getenv("PATH");
    setenv("PATH", (dir.file("bin") + ":" + path).c_str(), 1);
    QSignalSpy ended(w.get(), &TMainForm::cropRunFinished);
    prompt.answers = {TAnswer::No}; // the incomplete photo stays out of the run
    w->CropImagesActionExecute();
    EXPECT_TRUE(w->Processing()); // the jobs hang
    prompt.answers = {TAnswer::Yes};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(w->close());
    EXPECT_EQ(prompt.questions.back(), "Trimvale is currently processing!\n\nExit anyway?");
    ASSERT_TRUE(ended.count() == 1 || ended.wait(10000));
    for (int i = 0; i < 100 && w->isVisible(); ++i)
        QTest::qWait(10);
    setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(w->isVisible());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // nothing written, nothing left behind, every frame kept
    EXPECT_EQ(w->Images().size(), 7u);
    EXPECT_TRUE(fs::is_empty(out("")));
}
