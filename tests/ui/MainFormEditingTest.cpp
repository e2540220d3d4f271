// Editing a whole list through the window: undo and redo, frames chosen
// together, answers for the rest of a run, keys of every keyboard and turns.
#include <filesystem>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include "CropRunWait.h"
#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "core/StorageTank.h"
#include "frames/IFrame.h"
#include "jpeg/JpegThumbnail.h"
#include "model/CropAspects.h"
#include "ui/MainForm.h"

namespace fs = std::filesystem;

namespace {
class MainFormEditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"prog", "cfg", "photos"})
            fs::create_directories(dir.file(folder));
    }
    std::string photo(const std::string& name) const { return dir.file("photos/" + name); }

    std::unique_ptr<TMainForm> Open(const std::vector<std::string>& files,
                                    const std::string& outFolder = "out") {
        auto window = std::make_unique<TMainForm>(TSettingsFile(dir.file("prog"), dir.file("cfg")),
                                                  std::vector<std::string>{}, &prompt);
        window->show();
        QApplication::processEvents();
        window->DirEdit()->setText(QString::fromStdString(dir.file(outFolder)));
        window->AddFiles(files);
        WaitForAddRun(*window);
        return window;
    }
    static void Trigger(TMainForm& w, const char* action) { w.Action(action)->trigger(); }
    static void Key(TIFrame* frame, Qt::Key key, Qt::KeyboardModifiers keys = {}) {
        QTest::keyClick(frame->Cropper()->NewHandler(), key, keys);
    }
    /// Chooses an aspect in the frame's list as the user does.
    static QString CurrentAspect(TIFrame* frame) {
        return frame->findChild<QComboBox*>(QStringLiteral("AspectCombo"))->currentText();
    }
    static void ChooseAspect(TIFrame* frame, const QString& name) {
        auto* combo = frame->findChild<QComboBox*>(QStringLiteral("AspectCombo"));
        const int index = combo->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    /// A left press on a frame's picture with the given keys.
    static void Press(TIFrame* frame, Qt::KeyboardModifiers keys) {
        const QPointF at(4, 4);
        QMouseEvent press(QEvent::MouseButtonPress, at, frame->Cropper()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, keys);
        QApplication::sendEvent(frame->Cropper(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, frame->Cropper()->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, keys);
        QApplication::sendEvent(frame->Cropper(), &release);
    }
    /// What each frame would crop: file, turn and area.
    static std::vector<std::tuple<std::string, int, TCropRect, QString>> Crops(const TMainForm& w) {
        std::vector<std::tuple<std::string, int, TCropRect, QString>> crops;
        for (TIFrame* f : w.Images())
            crops.emplace_back(fs::path(f->SourceFileName()).filename(), f->Rotation(),
                               f->GetCrop(), CurrentAspect(f));
        return crops;
    }
    static TThumbnail Header(const std::string& file) { return ReadJpegThumbnail(file, 0, 8); }

    TTempDir dir;
    TScriptedPrompt prompt;
};
} // namespace

// Each change undone gives back the frames (and so the files) of a run without it;
// redone, the change is there again, as one step however many keys or frames it took.
TEST_F(MainFormEditingTest, EachChangeUndoneAndRedoneGivesTheRunWithoutAndWithIt) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        MakeJpeg(photo(name), 320, 240);
    // the outputs of a run without any change
    {
        auto w = Open({photo("a.jpg"), photo("b.jpg"), photo("c.jpg")}, "plain");
        Trigger(*w, "SelectAllAction");
        w->CropCurrentActionExecute();
        WaitForCropRun(*w);
        ASSERT_TRUE(w->Images().empty());
    }
    struct Case {
        const char* name;
        std::function<void(TMainForm&)> change;
    };
    const Case cases[] = {
        {"a run of keys moves the area",
         [](TMainForm& w) {
             for (int i = 0; i < 3; ++i)
                 Key(w.Images()[1], Qt::Key_Minus);
             Key(w.Images()[1], Qt::Key_Right);
         }},
        {"a turn", [](TMainForm& w) { Trigger(w, "RotateRightAction"); }},
        {"an aspect", [](TMainForm& w) { ChooseAspect(w.Images()[1], "13x18 cm"); }},
        {"a flip", [](TMainForm& w) { Key(w.Images()[1], Qt::Key_Space); }},
        {"a removal", [](TMainForm& w) { Trigger(w, "RemoveAction"); }},
        {"two frames turned together",
         [](TMainForm& w) {
             Press(w.Images()[2], Qt::ControlModifier);
             Trigger(w, "RotateLeftAction");
         }},
        {"an aspect, then the list reordered",
         [](TMainForm& w) {
             ChooseAspect(w.Images()[1], "13x18 cm");
             // the aspect the frame had before moves: undo finds it by its name (last, as
             // the windows after it would start with the list as this one leaves it)
             TCropAspectList& list = GetCropAspects().CurrentList();
             const QString had = CurrentAspect(w.Images()[0]);
             for (int i = 0; i < list.Count(); ++i)
                 if (QString::fromStdString(list.Items(i).Description()) == had) {
                     i > 0 ? list.MoveUp(i) : list.MoveDown(i);
                     break;
                 }
         }},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = "out" + std::to_string(++run);
        auto w = Open({photo("a.jpg"), photo("b.jpg"), photo("c.jpg")}, out);
        w->SetCurrentFrame(w->Images()[1]);
        const auto before = Crops(*w);
        c.change(*w);
        const auto changed = Crops(*w);
        ASSERT_NE(changed, before);
        Trigger(*w, "UndoAction");
        EXPECT_EQ(Crops(*w), before);
        Trigger(*w, "RedoAction");
        EXPECT_EQ(Crops(*w), changed);
        Trigger(*w, "UndoAction");
        Trigger(*w, "UndoAction"); // the step before: the files were added
        EXPECT_TRUE(w->Images().empty());
        Trigger(*w, "RedoAction");
        EXPECT_EQ(Crops(*w), before);

        Trigger(*w, "SelectAllAction");
        w->CropCurrentActionExecute();
        WaitForCropRun(*w);
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            EXPECT_EQ(ReadFileBytes(dir.file(out + "/" + name)),
                      ReadFileBytes(dir.file(std::string("plain/") + name)))
                << name;
        // the frames the crop took away come back; the files stay written
        Trigger(*w, "UndoAction");
        EXPECT_EQ(Crops(*w), before);
        EXPECT_TRUE(fs::exists(dir.file(out + "/b.jpg")));
    }
}

// Three of five frames chosen with Ctrl and Shift take "13x18 cm" each with its own
// largest area, and only they are cropped.
TEST_F(MainFormEditingTest, AnAspectForThreeChosenFramesCropsThoseThree) {
    std::vector<std::string> files;
    for (int i = 0; i < 5; ++i) {
        files.push_back(photo("p" + std::to_string(i) + ".jpg"));
        MakeJpeg(files.back(), i == 3 ? 480 : 640, i == 3 ? 640 : 480);
    }
    auto w = Open(files);
    ASSERT_EQ(w->Images().size(), 5u);
    const std::vector<TIFrame*> frames = w->Images();
    const QString plainAspect = frames[0]->findChild<QComboBox*>("AspectCombo")->currentText();
    Press(frames[1], {});
    Press(frames[3], Qt::ShiftModifier);   // 1 to 3
    Press(frames[2], Qt::ControlModifier); // 2 leaves
    Press(frames[0], Qt::ControlModifier); // 0 joins and is current
    EXPECT_EQ(w->ChosenFrames(), (std::vector<TIFrame*>{frames[0], frames[1], frames[3]}));
    EXPECT_EQ(w->CurrentFrame(), frames[0]);
    EXPECT_TRUE(frames[1]->Marked());
    EXPECT_FALSE(frames[2]->Marked());

    ChooseAspect(frames[0], "13x18 cm");
    EXPECT_EQ(frames[1]->GetCrop(), (TCropRect{0, 0, 640, 457}));
    EXPECT_EQ(frames[3]->GetCrop(), (TCropRect{0, 0, 457, 639})); // flipped on a portrait photo
    EXPECT_EQ(frames[2]->findChild<QComboBox*>("AspectCombo")->currentText(), plainAspect);

    w->CropCurrentActionExecute();
    WaitForCropRun(*w);
    EXPECT_EQ(w->Images(), (std::vector<TIFrame*>{frames[2], frames[4]}));
    for (const auto& [name, width, height] :
         {std::tuple{"p0.jpg", 640, 457}, {"p1.jpg", 640, 457}, {"p3.jpg", 457, 639}}) {
        const TThumbnail h = Header(dir.file(std::string("out/") + name));
        EXPECT_EQ(h.imageWidth, width) << name;
        EXPECT_EQ(h.imageHeight, height) << name;
    }
    EXPECT_FALSE(fs::exists(dir.file("out/p2.jpg")));

    // Ctrl+A chooses all; "Clear list" asks, and one undo brings every frame back
    Trigger(*w, "SelectAllAction");
    EXPECT_EQ(w->ChosenFrames().size(), 2u);
    prompt.answers = {TAnswer::No, TAnswer::Yes};
    Trigger(*w, "ClearListAction");
    EXPECT_EQ(w->Images().size(), 2u);
    Trigger(*w, "ClearListAction");
    EXPECT_TRUE(w->Images().empty());
    EXPECT_EQ(prompt.questions.back(),
              "Remove all 2 photos from the list? None of them has been cropped.");
    Trigger(*w, "UndoAction");
    // the same frames in their places, not made again from the files
    EXPECT_EQ(w->Images(), (std::vector<TIFrame*>{frames[2], frames[4]}));
    Trigger(*w, "RedoAction");
    EXPECT_TRUE(w->Images().empty());
}

// One answer settles the rest of the run (the plan's own test has every answer).
TEST_F(MainFormEditingTest, YesToAllAnswersTheRestOfTheRun) {
    fs::create_directories(dir.file("out"));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
        MakeJpeg(photo(name), 320, 240);
        WriteFileBytes(dir.file(std::string("out/") + name), "old");
    }
    auto w = Open({photo("a.jpg"), photo("b.jpg"), photo("c.jpg")});
    prompt.answers = {TAnswer::YesToAll};
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    EXPECT_EQ(prompt.questions, std::vector<std::string>{"Overwrite a.jpg?"});
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        EXPECT_EQ(Header(dir.file(std::string("out/") + name)).imageWidth, 320) << name;
    EXPECT_TRUE(w->Images().empty());
}

// The main keyboard's minus shrinks like the keypad's; Ctrl+R then Ctrl+L gives the
// area back; "13x19 cm" on 3:2 photo is the whole photo.
TEST_F(MainFormEditingTest, KeysTurnsAndExactRatiosCropWhatTheyShould) {
    MakeJpeg(photo("wide.jpg"), 3000, 2000);
    MakeJpeg(photo("a.jpg"), 640, 480);
    MakeJpeg(photo("b.jpg"), 640, 480);
    MakeJpeg(photo("tall.jpg"), 480, 640);
    auto w = Open({photo("a.jpg"), photo("b.jpg"), photo("tall.jpg"), photo("wide.jpg")});
    ASSERT_EQ(w->Images().size(), 4u);
    EXPECT_EQ(w->Action("UndoAction")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    EXPECT_EQ(w->Action("RedoAction")->shortcuts(),
              (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
                                   QKeySequence(QStringLiteral("Ctrl+Y"))}));
    EXPECT_EQ(w->Action("SelectAllAction")->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    TIFrame* a = w->Images()[0];
    TIFrame* b = w->Images()[1];
    Key(a, Qt::Key_Minus);
    Key(b, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(a->GetCrop(), b->GetCrop());
    EXPECT_LT(a->GetCrop().width, 640);

    for (TIFrame* frame : {a, w->Images()[2]}) {
        w->SetCurrentFrame(frame);
        const TCropRect before = frame->GetCrop();
        Trigger(*w, "RotateRightAction");
        EXPECT_EQ(frame->Rotation(), 90);
        EXPECT_EQ(frame->GetCrop().width, before.height); // the area turned with the photo
        Trigger(*w, "RotateLeftAction");
        EXPECT_EQ(frame->Rotation(), 0);
        EXPECT_EQ(frame->GetCrop(), before);
    }

    TIFrame* wide = w->Images()[3];
    ChooseAspect(wide, "13x19 cm");
    EXPECT_EQ(wide->GetCrop(), (TCropRect{0, 0, 3000, 2000}));
    w->SetCurrentFrame(wide);
    w->CropCurrentActionExecute();
    WaitForCropRun(*w);
    const TThumbnail h = Header(dir.file("out/wide.jpg"));
    EXPECT_EQ(h.imageWidth, 3000);
    EXPECT_EQ(h.imageHeight, 2000);
}

// Ctrl+A in a text field selects its text; in a crop area, every frame.
TEST_F(MainFormEditingTest, CtrlAChoosesAllFramesOutsideTextFields) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        MakeJpeg(photo(name), 320, 240);
    auto w = Open({photo("a.jpg"), photo("b.jpg"), photo("c.jpg")});
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->DirEdit()->setFocus();
    QTest::keyClick(w->DirEdit(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(w->DirEdit()->selectedText(), w->DirEdit()->text());
    EXPECT_EQ(w->ChosenFrames().size(), 1u);
    w->Images()[1]->Cropper()->GrabFocus();
    QTest::keyClick(w->Images()[1]->Cropper()->NewHandler(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(w->ChosenFrames().size(), 3u);
    Press(w->Images()[2], {}); // a plain press: that frame alone
    EXPECT_EQ(w->ChosenFrames(), std::vector<TIFrame*>{w->Images()[2]});
}
