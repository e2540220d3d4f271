#include "ui/MainForm.h"

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "CropRunWait.h"
#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "core/ConsoleApp.h"
#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "frames/IFrame.h"
#include "grid/CropContainer.h"
#include "grid/ImageLoader.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "jpeg/JpegThumbnail.h"
#include "model/CropAspects.h"

namespace fs = std::filesystem;

namespace {
class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.file("prog"));
        fs::create_directories(dir.file("cfg"));
        fs::create_directories(dir.file("photos"));
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            MakeJpeg(photo(name), 320, 240);
        MakeJpeg(photo("tall photo.jpg"), 240, 320);
        WriteFileBytes(photo("broken.jpg"), "not a JPEG at all");
    }
    std::string photo(const std::string& name) const { return dir.file("photos/" + name); }
    std::string out(const std::string& name) const { return dir.file("out/" + name); }

    std::unique_ptr<TMainForm> Open(std::vector<std::string> files = {}) {
        auto window = std::make_unique<TMainForm>(TSettingsFile(dir.file("prog"), dir.file("cfg")),
                                                  std::move(files), &prompt);
        window->show();
        QApplication::processEvents();
        window->DirEdit()->setText(QString::fromStdString(dir.file("out/deeper/")));
        return window;
    }
    // Waits for the files named at start to arrive through the 100 ms timer.
    static void WaitForImages(TMainForm& w, std::size_t n) {
        for (int i = 0; i < 100 && w.Images().size() < n; ++i)
            QTest::qWait(20);
    }
    static void Trigger(TMainForm& w, const char* action) { w.Action(action)->trigger(); }

    TTempDir dir;
    TScriptedPrompt prompt;
};
} // namespace

TEST_F(MainFormTest, CommandLineFilesArriveAndBadOnesAreSkipped) {
    auto w = Open({photo("a.jpg"), photo("missing.jpg"), photo("broken.jpg"), photo("b.jpg")});
    WaitForImages(*w, 2);
    QTest::qWait(100);
    ASSERT_EQ(w->Images().size(), 2u);
    EXPECT_EQ(w->Images()[0]->SourceFileName(), photo("a.jpg"));
    EXPECT_EQ(w->CurrentFrame(), w->Images()[0]);
    // once the thumbnails shown are made
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->StatusText() == "Images added"; }, 10000))
        << w->StatusText().toStdString();
    // what could not be read is told once, with why
    WaitForAddRun(*w);
    ASSERT_EQ(prompt.errors.size(), 1u);
    // in the user's words, the decoder's after them
    EXPECT_EQ(prompt.errors[0].rfind("These folders and files could not be read:\n"
                                     "missing.jpg: The file does not exist\n"
                                     "broken.jpg: The file is not a JPEG photo (",
                                     0),
              0u)
        << prompt.errors[0];
    EXPECT_EQ(std::count(prompt.errors[0].begin(), prompt.errors[0].end(), '\n'), 2);

    // adding while a frame is current keeps that frame current
    w->SetCurrentFrame(w->Images()[1]);
    w->AddFiles({photo("c.jpg")});
    WaitForAddRun(*w);
    ASSERT_EQ(w->Images().size(), 3u);
    EXPECT_EQ(w->CurrentFrame(), w->Images()[1]);

    // files that come while a run is on (a drop) follow it; a file listed already,
    // also by another spelling, gets no second frame
    QTimer::singleShot(0, w.get(), [&] {
        w->AddFiles({dir.file("photos/../photos/a.jpg"), photo("tall photo.jpg")});
    });
    w->AddFiles({photo("tall photo.jpg"), photo("b.jpg"), photo("tall photo.jpg")});
    WaitForAddRun(*w);
    std::vector<std::string> names;
    for (TIFrame* f : w->Images())
        names.push_back(fs::path(f->SourceFileName()).filename());
    EXPECT_EQ(names, (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "tall photo.jpg"}));
    EXPECT_EQ(w->CurrentFrame(), w->Images()[0]);
    EXPECT_EQ(w->StatusText(),
              QStringLiteral("2 files are already in the list and were not added again."));
    w->AddFiles({photo("c.jpg")});
    EXPECT_EQ(w->Images().size(), 4u);
    EXPECT_EQ(w->CurrentFrame(), w->Images()[2]);
    EXPECT_EQ(w->StatusText(),
              QStringLiteral("\"c.jpg\" is already in the list; its frame is selected."));
}

TEST_F(MainFormTest, CommandLineFoldersAddTheirPhotosInTheirPlace) {
    fs::create_directories(dir.file("photos/inner"));
    MakeJpeg(photo("inner/deep.jpg"), 64, 48);
    auto w = Open({photo("tall photo.jpg"), dir.file("photos"), photo("a.jpg")});
    WaitForImages(*w, 1);
    WaitForAddRun(*w);
    std::vector<std::string> names;
    for (TIFrame* f : w->Images())
        names.push_back(fs::path(f->SourceFileName()).filename());
    // as Add Folder: the folder's own photos, sorted, without its subfolders; each file once
    EXPECT_EQ(names, (std::vector<std::string>{"tall photo.jpg", "a.jpg", "b.jpg", "c.jpg"}));
    // once the thumbnails shown are made
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->StatusText() == "Images added"; }, 10000))
        << w->StatusText().toStdString();
}

TEST_F(MainFormTest, FoldersAreSortedIgnoringCase) {
    MakeJpeg(photo("Z.JPG"), 64, 48);
    MakeJpeg(photo("b2.jpeg"), 64, 48);
    // a FIFO named like a photo is no photo and never waited on; a link to
    // nothing is told
    ASSERT_EQ(mkfifo(photo("pipe.jpg").c_str(), 0600), 0);
    fs::create_symlink("gone.jpg", photo("link.jpg"));
    auto w = Open();
    w->AddFolder(dir.file("photos"), false);
    WaitForAddRun(*w);
    std::vector<std::string> names;
    for (TIFrame* f : w->Images())
        names.push_back(fs::path(f->SourceFileName()).filename());
    EXPECT_EQ(names, (std::vector<std::string>{"a.jpg", "b.jpg", "b2.jpeg", "c.jpg",
                                               "tall photo.jpg", "Z.JPG"}));
    // the link at once, the photo that is none after the add
    ASSERT_EQ(prompt.errors.size(), 2u);
    EXPECT_EQ(prompt.errors[0], "These folders and files could not be read:\n" + photo("link.jpg") +
                                    ": No such file or directory");
    EXPECT_EQ(prompt.errors[1].rfind("These folders and files could not be read:\nbroken.jpg: ", 0),
              0u);
}

TEST_F(MainFormTest, KeysMoveBetweenFramesAndStopAtTheEnds) {
    auto w = Open({photo("a.jpg"), photo("b.jpg"), photo("c.jpg")});
    WaitForImages(*w, 3);
    ASSERT_EQ(w->Images().size(), 3u);
    const auto key = [&](Qt::Key k) {
        QTest::keyClick(w->CurrentFrame()->Cropper()->NewHandler(), k);
    };
    EXPECT_EQ(w->CurrentFrame(), w->Images()[0]);
    key(Qt::Key_PageUp);
    EXPECT_EQ(w->CurrentFrame(), w->Images()[0]);
    key(Qt::Key_PageDown);
    EXPECT_EQ(w->CurrentFrame(), w->Images()[1]);
    key(Qt::Key_End);
    EXPECT_EQ(w->CurrentFrame(), w->Images()[2]);
    key(Qt::Key_PageDown);
    EXPECT_EQ(w->CurrentFrame(), w->Images()[2]);
    key(Qt::Key_Home);
    EXPECT_EQ(w->CurrentFrame(), w->Images()[0]);
}

TEST_F(MainFormTest, AFramesButtonsAndDoubleClickActOnThatFrameWhicheverWasCurrent) {
    auto w = Open({photo("a.jpg"), photo("b.jpg"), photo("c.jpg")});
    WaitForImages(*w, 3);
    ASSERT_EQ(w->Images().size(), 3u);
    w->Container()->LayoutNow();
    std::vector<std::string> opened;
    w->SetOpener([&](const std::string& path) { opened.push_back(path); });
    TIFrame* first = w->Images()[0];
    TIFrame* second = w->Images()[1];
    TIFrame* third = w->Images()[2];
    const auto click = [](TIFrame* frame, const char* button) {
        QTest::mouseClick(frame->findChild<QPushButton*>(button), Qt::LeftButton);
    };
    ASSERT_EQ(w->CurrentFrame(), first);
    click(second, "ClockBtn");
    EXPECT_EQ(w->CurrentFrame(), second);
    EXPECT_EQ(second->Rotation(), 90);
    click(second, "CounterBtn");
    click(second, "CounterBtn");
    EXPECT_EQ(second->Rotation(), 270);
    EXPECT_EQ(first->Rotation(), 0);

    // a double click in an editor previews that frame's crop
    QTest::mouseDClick(third->Cropper(), Qt::LeftButton, Qt::NoModifier,
                       third->Cropper()->rect().center());
    EXPECT_EQ(w->CurrentFrame(), third);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(ReadJpegThumbnail(opened[0], 0, 8).imageWidth, third->GetCrop().width);

    // the crop button crops its own frame, and only that one
    w->SetCurrentFrame(first);
    click(second, "CropBtn");
    WaitForCropRun(*w);
    EXPECT_TRUE(fs::exists(out("deeper/b.jpg")));
    EXPECT_FALSE(fs::exists(out("deeper/a.jpg")));
    EXPECT_EQ(w->Images(), (std::vector<TIFrame*>{first, third}));
    EXPECT_EQ(w->CurrentFrame(), third);
    EXPECT_TRUE(prompt.messages.empty());

    // a navigation key in a frame's controls moves the current frame
    QTest::keyClick(third->findChild<QLineEdit*>("FileNameEdit"), Qt::Key_PageUp);
    EXPECT_EQ(w->CurrentFrame(), first);
}

TEST_F(MainFormTest, RemovingPicksTheNextFrameAndDisablesCommandsWhenEmpty) {
    auto w = Open({photo("a.jpg"), photo("b.jpg")});
    WaitForImages(*w, 2);
    ASSERT_EQ(w->Images().size(), 2u);
    w->SetCurrentFrame(w->Images()[1]);
    Trigger(*w, "RemoveAction");
    ASSERT_EQ(w->Images().size(), 1u);
    EXPECT_EQ(w->CurrentFrame(), w->Images()[0]);
    Trigger(*w, "RemoveAction");
    EXPECT_TRUE(w->Images().empty());
    EXPECT_EQ(w->CurrentFrame(), nullptr);
    for (const char* name : {"PreviewAction", "CropCurrentAction", "RotateLeftAction",
                             "RotateRightAction", "RemoveAction"})
        EXPECT_FALSE(w->Action(name)->isEnabled()) << name;
    Trigger(*w, "CropCurrentAction"); // disabled: nothing happens
    w->CropCurrentActionExecute();
    WaitForCropRun(*w);
    EXPECT_EQ(w->StatusText(), QStringLiteral("No current image to crop"));
    // the empty list says how to fill it
    auto* hint = w->findChild<QLabel*>("EmptyHint");
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text(), "Add photos with File \u2192 Add Images, or drop them here.");
}

// Undoing a removal shows the frame that came back, however far down the list it is.
TEST_F(MainFormTest, UndoingARemovalShowsTheFrameThatCameBack) {
    std::vector<std::string> files;
    for (int i = 0; i < 12; ++i) {
        files.push_back(photo("p" + std::to_string(10 + i) + ".jpg"));
        MakeJpeg(files.back(), 320, 240);
    }
    auto w = Open();
    w->resize(700, 500);
    w->AddFiles(files);
    WaitForAddRun(*w);
    ASSERT_EQ(w->Images().size(), 12u);
    EXPECT_FALSE(w->findChild<QLabel*>("EmptyHint")->isVisible());
    const auto shown = [&w](TIFrame* frame) {
        const QRect view = w->Container()->rect();
        const QRect at(frame->mapTo(w->Container(), QPoint(0, 0)), frame->size());
        return frame->isVisible() && view.intersects(at);
    };
    TIFrame* middle = w->Images()[6];
    w->SetCurrentFrame(middle);
    Trigger(*w, "RemoveAction");
    w->SetCurrentFrame(w->Images()[0]);
    w->Container()->LayoutNow();
    ASSERT_FALSE(shown(w->Images()[10]));
    Trigger(*w, "UndoAction");
    ASSERT_EQ(w->Images().size(), 12u);
    EXPECT_EQ(w->Images()[6]->SourceFileName(), files[6]);
    EXPECT_EQ(w->CurrentFrame(), w->Images()[6]);
    EXPECT_TRUE(shown(w->Images()[6]));
    EXPECT_FALSE(shown(w->Images()[11]));
}

TEST_F(MainFormTest, ViewSizeColumnsAndDetailsReachEveryFrameAndTheSettings) {
    auto w = Open({photo("a.jpg"), photo("b.jpg")});
    WaitForImages(*w, 2);
    Trigger(*w, "SmallAction");
    EXPECT_EQ(w->ImageSize(), 200);
    for (TIFrame* f : w->Images())
        EXPECT_EQ(f->height(), 200);
    Trigger(*w, "HugeAction");
    EXPECT_EQ(w->ImageSize(), 800);
    Trigger(*w, "Columns3Action");
    EXPECT_EQ(w->Settings().getInteger("MaxColumns"), 3);
    EXPECT_EQ(w->Container()->MaxColumns(), 3);
    Trigger(*w, "BriefAction");
    EXPECT_EQ(w->Settings().getString("Details"), "Brief");
    for (TIFrame* f : w->Images())
        EXPECT_EQ(f->Details(), "Brief");
    Trigger(*w, "RotateRightAction");
    EXPECT_EQ(w->CurrentFrame()->Rotation(), 90);
    Trigger(*w, "RotateLeftAction");
    Trigger(*w, "RotateLeftAction");
    EXPECT_EQ(w->CurrentFrame()->Rotation(), 270);
}

TEST_F(MainFormTest, CropCurrentWritesTheFileAndTheFrameLeaves) {
    auto w = Open({photo("a.jpg"), photo("tall photo.jpg")});
    WaitForImages(*w, 2);
    ASSERT_EQ(w->Images().size(), 2u);
    const std::string before = ReadFileBytes(photo("a.jpg"));
    w->SetCurrentFrame(w->Images()[0]);
    QTest::keyClick(w->CurrentFrame()->Cropper()->NewHandler(), Qt::Key_Return);
    WaitForCropRun(*w);
    EXPECT_TRUE(fs::exists(out("deeper/a.jpg")));
    EXPECT_EQ(w->StatusText(), QStringLiteral("Finished cropping"));
    ASSERT_EQ(w->Images().size(), 1u);
    EXPECT_EQ(w->CurrentFrame(), w->Images()[0]);
    EXPECT_EQ(ReadFileBytes(photo("a.jpg")), before);
    EXPECT_FALSE(w->Processing());
    EXPECT_TRUE(w->DirEdit()->isEnabled());
    // safe names turn the blank into "_"
    w->CropCurrentActionExecute();
    WaitForCropRun(*w);
    EXPECT_TRUE(fs::exists(out("deeper/tall_photo.jpg")));
    EXPECT_TRUE(w->Images().empty());
}

TEST_F(MainFormTest, ExistingFilesAskInListOrderAndCancelWritesNothing) {
    fs::create_directories(out("deeper"));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        WriteFileBytes(out("deeper/") + name, "old");
    auto w = Open({photo("a.jpg"), photo("b.jpg"), photo("c.jpg")});
    WaitForImages(*w, 3);
    ASSERT_EQ(w->Images().size(), 3u);
    // in the list's order: a Yes, b No, c Cancel; the Yes given before is void
    prompt.answers = {TAnswer::Yes, TAnswer::No, TAnswer::Cancel};
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    EXPECT_EQ(prompt.questions, (std::vector<std::string>{"Overwrite a.jpg?", "Overwrite b.jpg?",
                                                          "Overwrite c.jpg?"}));
    EXPECT_EQ(prompt.titles[0], "File exists");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        EXPECT_EQ(ReadFileBytes(out("deeper/") + name), "old") << name;
    EXPECT_EQ(w->Images().size(), 3u);
    EXPECT_EQ(w->StatusText(), QStringLiteral("Cropping cancelled"));
    ASSERT_EQ(prompt.summaries.size(), 1u);
    EXPECT_EQ(prompt.summaries[0].substr(0, prompt.summaries[0].find('\n')),
              "Photos written: 0, skipped: 1, failed: 0, not started: 2.");

    chmod(out("deeper/b.jpg").c_str(), 0444);
    w->Settings().setValue("ExistingFile", "Overwrite");
    prompt.questions.clear();
    prompt.titles.clear();
    prompt.answers = {TAnswer::Yes};
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    ASSERT_EQ(prompt.titles.size(), 1u); // only the read-only file asks
    EXPECT_EQ(prompt.titles[0], "READ ONLY");
    EXPECT_EQ(prompt.questions[0], "File b.jpg is read only.\n\nOverwrite anyway?");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        EXPECT_NE(ReadFileBytes(out("deeper/") + name), "old") << name;
    EXPECT_FALSE(IsReadOnly(out("deeper/b.jpg")));
    EXPECT_TRUE(w->Images().empty());

    // nothing to crop: said so, and no folder made
    w->DirEdit()->setText(QString::fromStdString(out("never")));
    prompt.messages.clear();
    w->CropImagesActionExecute();
    EXPECT_FALSE(w->Processing());
    EXPECT_EQ(prompt.messages,
              std::vector<std::string>{"There are no photos to crop: add some first."});
    EXPECT_EQ(prompt.summaries.size(), 2u);
    EXPECT_FALSE(fs::exists(out("never")));
}

// A read-only output loses its mark only when the new file takes its name: a
// run cancelled before it, or a job that fails, leaves file and mark as they were.
TEST_F(MainFormTest, AReadOnlyMarkGoesOnlyWithTheFileItMarks) {
    fs::create_directories(out("deeper"));
    for (const char* name : {"a.jpg", "b.jpg"}) {
        WriteFileBytes(out("deeper/") + name, "old");
        chmod((out("deeper/") + name).c_str(), 0444);
    }
    auto w = Open({photo("a.jpg"), photo("b.jpg")});
    WaitForImages(*w, 2);
    ASSERT_EQ(w->Images().size(), 2u);
    // a: exists Yes, read only Yes; b: exists Cancel
    prompt.answers = {TAnswer::Yes, TAnswer::Yes, TAnswer::Cancel};
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    EXPECT_EQ(prompt.titles, (std::vector<std::string>{"File exists", "READ ONLY", "File exists"}));
    for (const char* name : {"a.jpg", "b.jpg"}) {
        EXPECT_EQ(ReadFileBytes(out("deeper/") + name), "old") << name;
        EXPECT_TRUE(IsReadOnly(out("deeper/") + name)) << name;
    }
    EXPECT_EQ(w->Images().size(), 2u);

    // b's photo is cut short since its frame was made: its job fails
    const std::string whole = ReadFileBytes(photo("b.jpg"));
    WriteFileBytes(photo("b.jpg"), whole.substr(0, whole.size() / 2));
    prompt.answers = {TAnswer::YesToAll, TAnswer::YesToAll};
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    EXPECT_NE(ReadFileBytes(out("deeper/a.jpg")), "old");
    EXPECT_FALSE(IsReadOnly(out("deeper/a.jpg")));
    EXPECT_EQ(ReadFileBytes(out("deeper/b.jpg")), "old");
    EXPECT_TRUE(IsReadOnly(out("deeper/b.jpg")));
    ASSERT_EQ(prompt.summaryFailed.size(), 2u);
    EXPECT_FALSE(prompt.summaryFailed[0]);
    EXPECT_TRUE(prompt.summaryFailed[1]); // shown as a warning
    ASSERT_EQ(w->Images().size(), 1u);
    EXPECT_EQ(w->Images()[0]->SourceFileName(), photo("b.jpg"));
}

TEST_F(MainFormTest, UnwritableNamesKeepTheirFrames) {
    auto w = Open({photo("a.jpg")});
    WaitForImages(*w, 1);
    ASSERT_EQ(w->Images().size(), 1u);
    w->CurrentFrame()->SetDestFileName("..");
    w->CropCurrentActionExecute();
    WaitForCropRun(*w);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(w->Images().size(), 1u);

    // a folder in the output's place: the message names the output and why it stayed
    fs::create_directories(out("deeper/a.jpg"));
    w->CurrentFrame()->SetDestFileName("a.jpg");
    w->Settings().setValue("ExistingFile", "Overwrite");
    w->CropCurrentActionExecute();
    WaitForCropRun(*w);
    ASSERT_EQ(prompt.messages.size(), 2u);
    const std::string& text = prompt.messages[1];
    EXPECT_EQ(text.rfind("Error: Defective JPEGTran call:\n", 0), 0u);
    EXPECT_NE(text.find("\" \"" + out("deeper/a.jpg") + "\"\nUnable to replace " +
                        out("deeper/a.jpg") + ": Is a directory"),
              std::string::npos)
        << text;
    EXPECT_EQ(w->Images().size(), 1u);
}

TEST_F(MainFormTest, APhotoReplacedSinceItWasAddedIsNotCut) {
    auto w = Open({photo("a.jpg")});
    WaitForImages(*w, 1);
    ASSERT_EQ(w->Images().size(), 1u);
    // turned by another program meanwhile: a portrait where the landscape was
    const std::string source = w->CurrentFrame()->SourceFileName();
    const auto layout = ReadJpegLayout(source);
    MakeJpeg(source, layout.height, layout.width);
    w->CropCurrentActionExecute();
    WaitForCropRun(*w);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_NE(prompt.messages[0].find("has changed since it was added"), std::string::npos)
        << prompt.messages[0];
    EXPECT_EQ(w->Images().size(), 1u);
    EXPECT_FALSE(fs::exists(out("deeper/a.jpg")));
}

TEST_F(MainFormTest, ClosingAsksAndWritesTheSettingsThatStartAgain) {
    auto w = Open({photo("a.jpg")});
    WaitForImages(*w, 1);
    // photos not saved in an order: Save / Discard / Cancel
    prompt.answers = {TAnswer::Cancel};
    EXPECT_FALSE(w->close());
    EXPECT_EQ(prompt.questions.back(),
              "The print order has changes that are not saved.\n\nSave them first?");
    EXPECT_EQ(w->Images().size(), 1u);
    Trigger(*w, "LargeAction");
    Trigger(*w, "Columns2Action");
    prompt.answers = {TAnswer::No};
    EXPECT_TRUE(w->close());
    w.reset();

    TStorageTank saved;
    saved.loadFromFile(dir.file("prog/Trimvale.ini"));
    EXPECT_EQ(saved.name(), "Settings");
    EXPECT_EQ(saved.getInteger("ImageSize"), 500);
    EXPECT_EQ(saved.getInteger("MaxColumns"), 2);
    EXPECT_EQ(saved.getString("CroppedDir"), dir.file("out/deeper/"));
    EXPECT_EQ(saved.getString("ProgramVersion"), "0.6.4");
    EXPECT_EQ(saved.getString("Spatial_MainForm_WindowState"), "wsNormal");
    ASSERT_NE(saved.getTank("Aspects"), nullptr);
    // written in this order at exit, the aspect registry last
    const int order[] = {saved.indexOf("Spatial_MainForm_WindowState"), saved.indexOf("ImageSize"),
                         saved.indexOf("CroppedDir"), saved.indexOf("ProgramVersion"),
                         saved.indexOf("Aspects")};
    EXPECT_TRUE(std::is_sorted(std::begin(order), std::end(order)));
    EXPECT_EQ(order[4], saved.count() - 1);
    TCropAspects builtIn;
    builtIn.LoadDefaults();
    EXPECT_EQ(saved.getTank("Aspects")->toString(), builtIn.SaveToTank()->toString());

    auto again = Open();
    EXPECT_EQ(again->ImageSize(), 500);
    EXPECT_TRUE(again->Action("Columns2Action")->isChecked());
    EXPECT_EQ(GetCropAspects().CurrentList().Count(), 24);
    EXPECT_TRUE(again->close()); // empty list: no question
}

TEST_F(MainFormTest, AWrongSettingsFileIsReportedAtStartAndKeptAtExit) {
    const std::string ini = dir.file("prog/Trimvale.ini");
    const std::string wrong = "Settings\xA4x\xA4\r\nInteger\xA4ImageSize\xA4"
                              "500\r\n";
    WriteFileBytes(ini, wrong);
    auto w = Open();
    ASSERT_EQ(prompt.errors.size(), 1u);
    EXPECT_NE(prompt.errors[0].find("Settings¤x¤"), std::string::npos);
    EXPECT_EQ(w->Settings().prompt(), &prompt); // the store's own boxes reach the user too
    EXPECT_EQ(w->ImageSize(), 350);
    EXPECT_TRUE(w->close());
    EXPECT_EQ(ReadFileBytes(ini + ".bak"), wrong);
    EXPECT_EQ(prompt.errors.size(), 1u);
}

TEST_F(MainFormTest, OddStoredViewValuesFallBack) {
    TStorageTank s("Settings");
    s.setValue("ImageSize", int32_t{420});
    s.setValue("MaxColumns", int32_t{12});
    s.setValue("Details", "brief");
    s.saveToFile(dir.file("prog/Trimvale.ini"));
    auto w = Open();
    EXPECT_EQ(w->ImageSize(), 350);
    EXPECT_TRUE(w->Action("MediumAction")->isChecked());
    EXPECT_TRUE(w->Action("UnlimitedAction")->isChecked());
    EXPECT_EQ(w->Container()->MaxColumns(), 12);
    EXPECT_TRUE(w->Action("FullAction")->isChecked());
}

TEST_F(MainFormTest, TheStoredLanguageReachesQtsOwnTexts) {
    TStorageTank s("Settings");
    s.setValue("Language", "de_DE");
    s.saveToFile(dir.file("prog/Trimvale.ini"));
    auto w = Open();
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), "&Ja");
    EXPECT_EQ(box.button(QMessageBox::No)->text(), "&Nein");
    SelectLanguage("en_US");
    InstallQtTranslation("en_US");
}

TEST_F(MainFormTest, DroppedFoldersComeBeforeDroppedFiles) {
    fs::create_directories(dir.file("dropped"));
    MakeJpeg(dir.file("dropped/inner.jpg"), 64, 48);
    auto w = Open();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(photo("b.jpg"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.file("dropped"))),
                  QUrl::fromLocalFile(QString::fromStdString(photo("a.jpg")))});
    const QPoint at = w->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(w->Images().empty()); // the drop returned before the thumbnail run
    WaitForImages(*w, 3);
    std::vector<std::string> names;
    for (TIFrame* f : w->Images())
        names.push_back(fs::path(f->SourceFileName()).filename());
    EXPECT_EQ(names, (std::vector<std::string>{"inner.jpg", "b.jpg", "a.jpg"}));
}

namespace {
// Asks the window to close while the crop run waits for an answer.
struct TClosingPrompt : TScriptedPrompt {
    QWidget* window = nullptr;
    using TScriptedPrompt::Ask;
    TAnswer Ask(const std::string& title, const std::string& text) override {
        if (window) {
            QWidget* w = window;
            window = nullptr;
            w->close();
        }
        return TScriptedPrompt::Ask(title, text);
    }
};
} // namespace

TEST_F(MainFormTest, CloseConfirmedDuringTheQuestionsEndsTheRunBeforeAnyJob) {
    fs::create_directories(out("deeper"));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        WriteFileBytes(out("deeper/") + name, "old");
    TClosingPrompt closer;
    auto w = std::make_unique<TMainForm>(TSettingsFile(dir.file("prog"), dir.file("cfg")),
                                         std::vector<std::string>{}, &closer);
    w->show();
    w->DirEdit()->setText(QString::fromStdString(out("deeper")));
    w->AddFiles({photo("a.jpg"), photo("b.jpg"), photo("c.jpg")});
    WaitForAddRun(*w);
    ASSERT_EQ(w->Images().size(), 3u);
    closer.window = w.get();
    // the close question, then the overwrite question for a
    closer.answers = {TAnswer::Yes, TAnswer::Yes};
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    EXPECT_EQ(closer.questions.front(), "Trimvale is currently processing!\n\nExit anyway?");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        EXPECT_EQ(ReadFileBytes(out("deeper/") + name), "old") << name;
    EXPECT_EQ(w->StatusText(), QStringLiteral("Cropping cancelled"));
    for (int i = 0; i < 50 && w->isVisible(); ++i)
        QTest::qWait(10);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(fs::exists(dir.file("prog/Trimvale.ini")));
}

TEST_F(MainFormTest, CroppedFilesCarrySizeResolutionTimesAndPermissions) {
    const std::string src = photo("a.jpg");
    const timespec times[2] = {{1500000000, 0}, {1600000000, 0}};
    utimensat(AT_FDCWD, src.c_str(), times, 0);
    chmod(src.c_str(), 0640);
    const std::string before = ReadFileBytes(src);
    auto w = Open({src});
    WaitForImages(*w, 1);
    ASSERT_EQ(w->Images().size(), 1u);
    w->Settings().setValue("CopyFileDates", true);
    w->Settings().setValue("CopyFilepermissions", true);
    const TCropRect crop = w->CurrentFrame()->GetCrop();
    const int ppi = w->CurrentFrame()->Resolution();
    ASSERT_GT(ppi, 0);
    w->CropCurrentActionExecute();
    WaitForCropRun(*w);

    const std::string result = out("deeper/a.jpg");
    const TThumbnail header = ReadJpegThumbnail(result, 0, 8);
    EXPECT_EQ(header.imageWidth, crop.width);
    EXPECT_EQ(header.imageHeight, crop.height);
    std::vector<std::string> lines;
    ExecuteConsoleApp("exiftool", {"-s3", "-XResolution", "-YResolution", result}, lines);
    EXPECT_EQ(lines, (std::vector<std::string>{std::to_string(ppi), std::to_string(ppi)}));
    struct stat st;
    ASSERT_EQ(stat(result.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1600000000);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadFileBytes(src), before);
}

TEST_F(MainFormTest, PreviewsGoIntoAPrivateFolderOfEachWindowThatGoesAtExit) {
    fs::create_directory(dir.file("tmp"));
    const std::string savedTmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    setenv("TMPDIR", dir.file("tmp").c_str(), 1);
    WriteFileBytes(dir.file("tmp/CropPreview.jpg"), "planted by someone else");
    fs::copy_file(photo("a.jpg"), photo("gone.jpg"));
    auto w = Open({photo("a.jpg")});
    auto other = Open({photo("gone.jpg")});
    WaitForImages(*w, 1);
    WaitForImages(*other, 1);
    std::vector<std::string> opened, otherOpened;
    w->SetOpener([&](const std::string& path) { opened.push_back(path); });
    other->SetOpener([&](const std::string& path) { otherOpened.push_back(path); });
    w->activateWindow(); // shortcuts reach only the active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w->CurrentFrame()->Cropper()->NewHandler(), Qt::Key_Return, Qt::ShiftModifier);
    w->PreviewActionExecute();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], w->PreviewFile());
    EXPECT_EQ(opened[1], w->PreviewFile());
    const fs::path folder = fs::path(opened[0]).parent_path();
    EXPECT_EQ(folder.parent_path(), dir.file("tmp"));
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::path(opened[0]).filename(), "CropPreview.jpg");
    EXPECT_EQ(ReadJpegThumbnail(opened[0], 0, 8).imageWidth, w->CurrentFrame()->GetCrop().width);
    EXPECT_EQ(w->Images().size(), 1u); // the preview changes nothing in the list

    // another window whose photo vanished reports it and leaves every other file alone
    fs::remove(photo("gone.jpg"));
    other->PreviewActionExecute();
    EXPECT_TRUE(otherOpened.empty());
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], "The file does not exist");
    EXPECT_NE(other->PreviewFile(), w->PreviewFile());
    EXPECT_TRUE(fs::exists(w->PreviewFile()));
    EXPECT_EQ(ReadFileBytes(dir.file("tmp/CropPreview.jpg")), "planted by someone else");

    const std::string preview = w->PreviewFile();
    w->RemoveExecute();
    EXPECT_TRUE(w->close());
    EXPECT_FALSE(fs::exists(preview));
    EXPECT_FALSE(fs::exists(folder));
    other.reset(); // a window that never closed removes its folder too
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("tmp")), fs::directory_iterator()), 1);
    setenv("TMPDIR", savedTmp.c_str(), 1);
    if (savedTmp.empty()) unsetenv("TMPDIR");
}

TEST_F(MainFormTest, TurningAPhotoThatVanishedReportsItAndKeepsTheFrame) {
    fs::copy_file(photo("a.jpg"), photo("gone.jpg"));
    auto w = Open({photo("gone.jpg")});
    WaitForImages(*w, 1);
    ASSERT_EQ(w->Images().size(), 1u);
    fs::remove(photo("gone.jpg"));
    Trigger(*w, "RotateRightAction");
    EXPECT_EQ(prompt.messages.size(), 1u);
    ASSERT_EQ(w->Images().size(), 1u);
    EXPECT_EQ(w->CurrentFrame()->Rotation(), 0);
}

TEST_F(MainFormTest, ANewViewSizeDecodesFramesOutOfViewAtTheirNewHeight) {
    std::vector<std::string> files;
    for (int i = 0; i < 8; ++i) {
        const std::string name = photo("many" + std::to_string(i) + ".jpg");
        fs::copy_file(photo("a.jpg"), name);
        files.push_back(name);
    }
    auto w = Open(files);
    WaitForImages(*w, 8);
    WaitForAddRun(*w);
    ASSERT_EQ(w->Images().size(), 8u);
    Trigger(*w, "SmallAction");
    Trigger(*w, "HugeAction");
    w->Container()->LayoutNow(); // as the grid's own timer would, before anything scrolls
    // each frame gets its new thumbnail once it is in view
    for (TIFrame* f : w->Images()) {
        w->SetCurrentFrame(f);
        // the grid shows it, then its decode is asked for and arrives, each between events
        QTest::qWaitFor(
            [&] { return f->Cropper()->Area().Thumbnail().Height() == f->Cropper()->height(); },
            5000);
        EXPECT_EQ(f->Cropper()->Area().Thumbnail().Height(), f->Cropper()->height());
    }
}

TEST_F(MainFormTest, FocusEntersNoFrameWithoutMakingItCurrent) {
    auto w = Open({photo("a.jpg"), photo("b.jpg"), photo("c.jpg")});
    WaitForImages(*w, 3);
    w->Container()->LayoutNow();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    TIFrame* second = w->Images()[1];
    ASSERT_EQ(w->CurrentFrame(), w->Images()[0]);
    auto* flip = second->findChild<QCheckBox*>("RotateCheck");
    QTest::mouseClick(flip, Qt::LeftButton);
    EXPECT_EQ(w->CurrentFrame(), second);
    EXPECT_EQ(QApplication::focusWidget(), flip); // it stays where the user put it
    EXPECT_TRUE(flip->isChecked());
    QTest::keyClick(flip, Qt::Key_D, Qt::ControlModifier); // removes the photo just changed
    ASSERT_EQ(w->Images().size(), 2u);
    EXPECT_EQ(fs::path(w->Images()[1]->SourceFileName()).filename(), "c.jpg");

    // hiding the detail panel under the focus leaves it in the current frame
    auto* combo = w->CurrentFrame()->findChild<QWidget*>("AspectCombo");
    combo->setFocus(Qt::TabFocusReason);
    TIFrame* current = w->CurrentFrame();
    Trigger(*w, "NoneAction");
    EXPECT_EQ(w->CurrentFrame(), current);
    EXPECT_EQ(QApplication::focusWidget(), current->Cropper()->NewHandler());
    Trigger(*w, "FullAction");

    const auto holder = [&w]() -> TIFrame* {
        for (TIFrame* f : w->Images())
            if (f->isAncestorOf(QApplication::focusWidget())) return f;
        return nullptr;
    };
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            if (TIFrame* f = holder()) EXPECT_EQ(f, w->CurrentFrame()) << key << " " << i;
        }
    }
}

TEST_F(MainFormTest, SidewaysPhotosAreFramedAndCutUpright) {
    // a.jpg as a phone stores it: turned left, EXIF Orientation 6 ("turn right to show")
    const std::string jpeg = ReadFileBytes(photo("a.jpg"));
    const std::string tiff(
        "Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 32);
    WriteFileBytes(photo("phone.jpg"), jpeg.substr(0, 2) + "\xFF\xE1" + char(0) +
                                           char(tiff.size() + 2) + tiff + jpeg.substr(2));
    for (const bool honour : {true, false}) {
        SCOPED_TRACE(honour);
        auto w = Open();
        w->Settings().setValue("HonourOrientation", honour);
        w->AddFiles({photo("phone.jpg")});
        WaitForAddRun(*w);
        ASSERT_EQ(w->Images().size(), 1u);
        TIFrame* frame = w->CurrentFrame();
        EXPECT_EQ(frame->Orientation(), honour ? 6 : 1);
        EXPECT_EQ(frame->Cropper()->Area().IsPortrait(), honour); // and its aspect flipped
        const TCropRect crop = frame->GetCrop();
        w->CropCurrentActionExecute();
        WaitForCropRun(*w);
        const std::string result = out("deeper/phone.jpg");
        EXPECT_EQ(ReadJpegThumbnail(result, 0, 8, {}, false).imageWidth, crop.width);
        std::vector<std::string> lines;
        ExecuteConsoleApp("exiftool", {"-s3", "-n", "-Orientation", result}, lines);
        EXPECT_EQ(lines, std::vector<std::string>{honour ? "1" : "6"});
        fs::remove(result);
    }
}

// Photos of two folders with one name are not cropped one over the other: the
// later gets "a (2).jpg". A photo whose data ends early fails with jpegtran's
// own words and keeps its frame.
TEST_F(MainFormTest, SameNamesGetFreeNamesAndFailuresSayWhy) {
    fs::create_directories(dir.file("other"));
    MakeJpeg(dir.file("other/a.jpg"), 240, 320);
    const std::string whole = ReadFileBytes(photo("b.jpg"));
    auto w = Open();
    w->Settings().setValue("ExistingFile", "Overwrite");
    w->AddFiles({photo("a.jpg"), dir.file("other/a.jpg"), photo("b.jpg")});
    WaitForAddRun(*w);
    ASSERT_EQ(w->Images().size(), 3u);
    // cut short after its frame was made, as a copy still being written would be:
    // not the photo its area was chosen on
    WriteFileBytes(photo("b.jpg"), whole.substr(0, whole.size() / 2));
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    // one account of the run, the failure in it in the user's words
    EXPECT_TRUE(prompt.errors.empty());
    ASSERT_EQ(prompt.summaries.size(), 1u);
    const std::string& summary = prompt.summaries[0];
    // the first of the list keeps the name, the later gets the first free one
    const std::string head = "Photos written: 2, skipped: 0, failed: 1, not started: 0.\n"
                             "Destination: " +
                             out("deeper") +
                             "\n\nThese photos were written under another name:\n"
                             "a.jpg \u2192 a (2).jpg\n"
                             "\nThese photos were not cropped:\n"
                             "b.jpg: The photo " +
                             photo("b.jpg") + " has changed since it was added";
    EXPECT_EQ(summary.substr(0, head.size()), head);
    EXPECT_EQ(prompt.summaryFolders[0], out("deeper"));
    EXPECT_TRUE(prompt.summaryFailed[0]);
    ASSERT_EQ(w->Images().size(), 1u);
    EXPECT_EQ(w->Images()[0]->SourceFileName(), photo("b.jpg"));
    EXPECT_FALSE(fs::exists(out("deeper/b.jpg")));
    // in list order: the landscape photo comes first, the other folder's portrait one later
    const TJpegLayout first = ReadJpegLayout(out("deeper/a.jpg"));
    const TJpegLayout later = ReadJpegLayout(out("deeper/a (2).jpg"));
    EXPECT_GT(first.width, first.height);
    EXPECT_LT(later.width, later.height);
}

TEST_F(MainFormTest, AnIncompletePhotoIsMarkedAndAskedAboutBeforeItsCrop) {
    const std::string whole = ReadFileBytes(photo("b.jpg"));
    WriteFileBytes(photo("half.jpg"), whole.substr(0, whole.size() / 2));
    auto w = Open({photo("a.jpg"), photo("half.jpg")});
    WaitForImages(*w, 2);
    ASSERT_EQ(w->Images().size(), 2u);
    TIFrame* half = w->Images()[1];
    ASSERT_EQ(half->SourceFileName(), photo("half.jpg"));
    const auto mark = [](TIFrame* frame) {
        return frame->DetailPanel()->findChild<QLabel*>("IncompleteLabel");
    };
    ASSERT_TRUE(mark(half));
    EXPECT_TRUE(mark(half)->isVisibleTo(half));
    // the whole text in its tip; beside the name as much of it as fits
    EXPECT_EQ(mark(half)->toolTip(), QStringLiteral("incomplete: the lower part is grey"));
    EXPECT_TRUE(QStringLiteral("incomplete: the lower part is grey")
                    .startsWith(mark(half)->text().remove(QChar(0x2026))));
    const QLineEdit* name = half->findChild<QLineEdit*>("FileNameEdit");
    EXPECT_GE(name->width(), name->fontMetrics().horizontalAdvance(name->text()));
    EXPECT_FALSE(mark(w->Images()[0])->isVisibleTo(w->Images()[0]));
    // No keeps the incomplete photo in the list and crops the other
    prompt.answers = {TAnswer::No};
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    EXPECT_EQ(prompt.titles, std::vector<std::string>{"Incomplete photo"});
    EXPECT_EQ(prompt.questions,
              std::vector<std::string>{
                  "half.jpg is incomplete: its lower part is grey. Crop it anyway?"});
    EXPECT_TRUE(fs::exists(out("deeper/a.jpg")));
    EXPECT_FALSE(fs::exists(out("deeper/half.jpg")));
    ASSERT_EQ(w->Images().size(), 1u);
    EXPECT_EQ(w->Images()[0], half);
    ASSERT_EQ(prompt.summaries.size(), 1u);
    const std::string head = "Photos written: 1, skipped: 1, failed: 0, not started: 0.";
    EXPECT_EQ(prompt.summaries[0].substr(0, head.size()), head);
}
