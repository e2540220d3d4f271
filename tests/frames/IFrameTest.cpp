#include "frames/IFrame.h"

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "FrameTestSupport.h"
#include "model/CropAspects.h"

namespace {
const QColor kSkyBlue(166, 202, 240);

/// Records the main-window commands a frame asks for, and for which frame.
struct TCommandLog : IFrameCommands {
    std::vector<std::string> runs;
    std::vector<TIFrame*> frames;
    bool removeEnabled = true;
    void Run(const char* name, TIFrame& frame) {
        runs.push_back(name);
        frames.push_back(&frame);
    }
    void Preview(TIFrame& f) override { Run("Preview", f); }
    void CropCurrent(TIFrame& f) override { Run("CropCurrent", f); }
    void RotateLeft(TIFrame& f) override { Run("RotateLeft", f); }
    void RotateRight(TIFrame& f) override { Run("RotateRight", f); }
    void Remove(TIFrame& f) override { Run("Remove", f); }
    bool IsEnabled(TFrameCommand c) const override {
        return c != TFrameCommand::Remove || removeEnabled;
    }
};

/// A frame of the design size on the built-in aspects (default "10x15 cm",
/// position 10 "4:3 Monitor", 11 "Free"), showing a 3000x2000 picture.
class IFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry.LoadDefaults();
        frame = std::make_unique<TIFrame>(nullptr, &registry);
        UseFakeImage(area(), 3000, 2000, 0x808080);
        log.Listen(*frame);
    }
    TCropView& area() { return frame->Cropper()->Area(); }
    template <typename T> T* Child(const char* name) {
        T* child = frame->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QComboBox* combo() { return Child<QComboBox>("AspectCombo"); }
    QCheckBox* flip() { return Child<QCheckBox>("RotateCheck"); }
    QString Text(const char* label) { return Child<QLabel>(label)->text(); }
    void Choose(int index) {
        combo()->setCurrentIndex(index);
        emit combo()->activated(index);
    }
    void Show() {
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        log.Clear();
    }

    TCropAspects registry;
    TFrameSignalLog log;
    std::unique_ptr<TIFrame> frame;
};
} // namespace

TEST_F(IFrameTest, LoadFileAppliesTheChosenAspectAndNamesTheDestination) {
    EXPECT_EQ(combo()->currentIndex(), 1);
    EXPECT_FALSE(frame->LoadFile("missing.jpg"));
    EXPECT_TRUE(frame->DestFileName().empty());

    ASSERT_TRUE(frame->LoadFile("/photos/trip/IMG 1.jpg"));
    EXPECT_EQ(frame->DestFileName(), "IMG 1.jpg");
    EXPECT_EQ(frame->SourceFileName(), "/photos/trip/IMG 1.jpg");
    EXPECT_EQ(frame->GetCrop(), (TCropRect{0, 0, 3000, 2000}));
    EXPECT_EQ(Text("PosLabel"), "(0, 0)");
    EXPECT_EQ(Text("SizeLabel"), "3000x2000");
    EXPECT_EQ(Text("PPILabel"), "500"); // 3000 pixels over 15.24 cm

    Choose(10);
    EXPECT_EQ(Text("PosLabel"), "(160, 0)");
    EXPECT_EQ(Text("SizeLabel"), "2666x1999");
    EXPECT_EQ(Text("PPILabel"), "N/A");
    EXPECT_EQ(Child<QLabel>("PPILabel")->palette().color(QPalette::Window),
              frame->palette().color(QPalette::Button));
}

TEST(IFrameResolution, ColourShowsTheLimitsOf150And300) {
    struct TCase {
        double inches;
        const char* text;
        QColor color;
    };
    const TCase cases[] = {
        {20.2, "149", QColor(255, 102, 102)}, // 3000 / 20.2 = 148.5
        {20, "150", QColor(255, 255, 0)},
        {10.04, "299", QColor(255, 255, 0)},
        {10, "300", QColor(102, 204, 102)},
    };
    TCropAspects registry;
    auto list = std::make_unique<TCropAspectList>();
    for (const TCase& c : cases) {
        auto aspect = std::make_unique<TCropAspect>();
        aspect->SetAll(c.text, "inches", c.inches, c.inches / 2);
        list->Add(std::move(aspect));
    }
    registry.AddList(std::move(list));
    TIFrame frame(nullptr, &registry);
    UseFakeImage(frame.Cropper()->Area(), 3000, 2000, 0);
    ASSERT_TRUE(frame.LoadFile("photo.jpg"));
    auto* combo = frame.findChild<QComboBox*>("AspectCombo");
    auto* ppi = frame.findChild<QLabel*>("PPILabel");
    for (int i = 0; i < 4; ++i) {
        combo->setCurrentIndex(i);
        emit combo->activated(i);
        EXPECT_EQ(frame.GetCrop().width, 3000);
        EXPECT_EQ(ppi->text(), cases[i].text);
        EXPECT_EQ(ppi->palette().color(QPalette::Window), cases[i].color) << cases[i].text;
    }
}

TEST_F(IFrameTest, FlipIsToggledBySpaceHiddenForFreeAndKeptThrough) {
    Show();
    ASSERT_TRUE(frame->LoadFile("photo.jpg"));
    Choose(10);
    frame->FocusCrop();
    QTest::keyClick(frame->Cropper()->NewHandler(), Qt::Key_Space);
    EXPECT_TRUE(flip()->isChecked());
    EXPECT_EQ(frame->GetCrop(), (TCropRect{736, 0, 1500, 2000}));

    Choose(11); // "Free"
    EXPECT_FALSE(flip()->isVisible());
    EXPECT_TRUE(flip()->isChecked());
    Choose(10);
    EXPECT_TRUE(flip()->isVisible());
    EXPECT_EQ(frame->GetCrop().width, 1500);

    // choosing the same aspect again discards a manual placement
    QTest::keyClick(frame->Cropper()->NewHandler(), Qt::Key_Left);
    EXPECT_EQ(frame->GetCrop().x, 720);
    Choose(10);
    EXPECT_EQ(frame->GetCrop().x, 736);

    // Space in the editor is the popup menu's flip, once; Ctrl+F is not (it adds a folder)
    QTest::keyClick(frame->Cropper()->NewHandler(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(flip()->isChecked());
    QTest::keyClick(frame->Cropper()->NewHandler(), Qt::Key_Space);
    EXPECT_FALSE(flip()->isChecked());
    EXPECT_EQ(frame->GetCrop().width, 2666);
}

TEST_F(IFrameTest, AutoFlipTurnsTheAspectForPortraitImagesOnly) {
    UseFakeImage(area(), 2000, 3000, 0);
    ASSERT_TRUE(frame->LoadFile("portrait.jpg"));
    frame->AutoFlip();
    EXPECT_TRUE(flip()->isChecked());
    EXPECT_EQ(frame->GetCrop(), (TCropRect{0, 0, 2000, 3000}));

    TIFrame square(nullptr, &registry);
    UseFakeImage(square.Cropper()->Area(), 2000, 2000, 0);
    ASSERT_TRUE(square.LoadFile("square.jpg"));
    square.AutoFlip();
    EXPECT_FALSE(square.findChild<QCheckBox*>("RotateCheck")->isChecked());
}

TEST_F(IFrameTest, ListChangesKeepTheChoiceByTextOrFallBackToTheDefault) {
    ASSERT_TRUE(frame->LoadFile("photo.jpg"));
    Choose(10);
    registry.CurrentList().Delete(0);
    EXPECT_EQ(combo()->currentText().toStdString(), registry.CurrentList().Items(9).Description());
    EXPECT_EQ(combo()->count(), 23);

    registry.CurrentList().Delete(9); // the chosen one goes: the default, area kept
    EXPECT_EQ(combo()->currentIndex(), registry.CurrentList().DefaultIndex());
    EXPECT_EQ(frame->GetCrop(), (TCropRect{160, 0, 2666, 1999}));

    // a new default in the list leaves the frame's choice and area alone
    const int chosen = combo()->currentIndex();
    ASSERT_NE(chosen, 3);
    registry.CurrentList().SetDefault(3);
    EXPECT_EQ(combo()->currentIndex(), chosen);
    EXPECT_EQ(frame->GetCrop(), (TCropRect{160, 0, 2666, 1999}));
}

TEST_F(IFrameTest, DetailLevelsShapeThePanelAndTheThumbnail) {
    frame->resize(700, 407); // wide enough for the thumbnail to take the full height
    ASSERT_TRUE(frame->LoadFile("photo.jpg"));
    auto* detail = frame->DetailPanel();
    auto* edit = Child<QLineEdit>("FileNameEdit");
    auto* ppi = Child<QLabel>("PPILabel");

    frame->SetDetails("None");
    EXPECT_FALSE(detail->isVisibleTo(frame.get()));
    EXPECT_EQ(frame->minimumWidth(), 50);
    EXPECT_EQ(frame->Cropper()->height(), 407 - 20);
    EXPECT_EQ(area().ThumbHeight(), 387); // decoded again for the new height
    EXPECT_EQ(frame->PreferredWidth(), 580 + 20);

    frame->SetDetails("Brief");
    EXPECT_TRUE(detail->isVisibleTo(frame.get()));
    EXPECT_EQ(detail->height(), 7 + 21 + 5);
    for (const char* hidden : {"FilenameCaption", "PosLabel", "SizeLabel", "PPICaption"})
        EXPECT_FALSE(Child<QWidget>(hidden)->isVisibleTo(frame.get())) << hidden;
    EXPECT_TRUE(ppi->isVisibleTo(frame.get()));
    EXPECT_EQ(edit->x(), 0);
    EXPECT_EQ(edit->geometry().right() + 1, ppi->x() - 5);
    EXPECT_EQ(Child<QPushButton>("CropBtn")->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(frame->minimumWidth(), 50);

    frame->SetDetails("Full");
    EXPECT_EQ(detail->height(), 65);
    EXPECT_EQ(frame->minimumWidth(), 365);
    EXPECT_EQ(frame->Cropper()->height(), 407 - 20 - 65);
    EXPECT_EQ(frame->PreferredWidth(), 483 + 20);
    EXPECT_TRUE(Child<QWidget>("PosLabel")->isVisibleTo(frame.get()));
    EXPECT_EQ(Child<QPushButton>("CropBtn")->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(edit->x(), combo()->x());
    EXPECT_EQ(edit->geometry().right() + 1, Child<QLabel>("PosLabel")->x() - 5);

    // a file that went away keeps its old thumbnail instead of failing the view
    UseFakeImage(area(), 3000, 2000, 0);
    area().SetReader([](const std::string&, int32_t, int32_t) -> TThumbnail {
        throw TError("JpegThumbnail: gone");
    });
    frame->SetDetails("None");
    EXPECT_FALSE(frame->Reload());
    EXPECT_EQ(area().ThumbHeight(), 387);
}

TEST_F(IFrameTest, ButtonsAndADoubleClickAskTheWindowAndPressesSelect) {
    Show();
    ASSERT_TRUE(frame->LoadFile("photo.jpg"));
    TCommandLog commands;
    commands.removeEnabled = false; // only the menu asks whether a command may run
    frame->SetCommands(&commands);
    QTest::mouseClick(Child<QPushButton>("ClockBtn"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>("CounterBtn"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>("CropBtn"), Qt::LeftButton);
    EXPECT_EQ(commands.runs,
              (std::vector<std::string>{"RotateRight", "RotateLeft", "CropCurrent"}));

    log.Clear();
    TCFrame* editor = frame->Cropper();
    const QPoint centre = editor->rect().center();
    QTest::mouseClick(editor, Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_GT(log.Count("Selected"), 0u);
    EXPECT_EQ(Child<QWidget>("CropAreaBorder")->palette().color(QPalette::Window), kSkyBlue);

    QTest::mouseDClick(editor, Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_EQ(commands.runs.back(), "Preview");
    EXPECT_EQ(commands.runs.size(), 4u);
    for (TIFrame* asked : commands.frames)
        EXPECT_EQ(asked, frame.get());

    // the name edit and the read-outs select the frame
    frame->SetSelected(true);
    for (const char* name : {"FileNameEdit", "PosLabel", "FilenameCaption"}) {
        log.Clear();
        QTest::mouseClick(Child<QWidget>(name), Qt::LeftButton, Qt::NoModifier, {2, 2});
        EXPECT_EQ(log.Significant(), std::vector<std::string>{"Selected"}) << name;
    }

    frame->SetSelected(true);
    EXPECT_EQ(frame->palette().color(QPalette::Window),
              frame->palette().color(QPalette::Highlight));
    frame->SetSelected(false);
    EXPECT_EQ(Child<QWidget>("CropAreaBorder")->palette().color(QPalette::Window),
              frame->palette().color(QPalette::Button));
}

TEST_F(IFrameTest, NavigationKeysLeaveTheDetailControlsAsEditorEvents) {
    Show();
    ASSERT_TRUE(frame->LoadFile("photo.jpg"));
    auto* edit = Child<QLineEdit>("FileNameEdit");
    edit->setFocus();
    log.Clear();
    QTest::keyClick(edit, Qt::Key_Home); // moves the text cursor only
    EXPECT_TRUE(log.names.empty());
    EXPECT_EQ(edit->cursorPosition(), 0);
    QTest::keyClick(edit, Qt::Key_PageDown);
    QTest::keyClick(combo(), Qt::Key_End);
    QTest::keyClick(Child<QPushButton>("CropBtn"), Qt::Key_PageUp);
    QTest::keyClick(flip(), Qt::Key_Home);
    EXPECT_EQ(log.names,
              (std::vector<std::string>{"NextImage", "EndImage", "PreviousImage", "HomeImage"}));
    EXPECT_EQ(combo()->currentIndex(), 1); // the key did not move the choice

    // the editor's own navigation is passed on by the frame
    log.Clear();
    frame->FocusCrop();
    QTest::keyClick(frame->Cropper()->NewHandler(), Qt::Key_PageUp);
    // the editor's focus, then FocusCrop's own
    EXPECT_EQ(log.names, (std::vector<std::string>{"Selected", "Selected", "PreviousImage"}));
}

TEST_F(IFrameTest, PopupMenuOffersDataAspectsLooksAndTheMainWindowsCommands) {
    ASSERT_TRUE(frame->LoadFile("photo.jpg"));
    QMenu* menu = frame->CropperMenu();
    auto item = [&](const char* name) { return menu->findChild<QAction*>(name); };

    frame->CropperMenuPopup();
    EXPECT_FALSE(item("PreviewItem")->isEnabled()); // no main window behind it
    EXPECT_EQ(menu->defaultAction(), item("PreviewItem"));

    TCommandLog commands;
    commands.removeEnabled = false;
    frame->SetCommands(&commands);
    frame->CropperMenuPopup();
    EXPECT_FALSE(item("RemoveItem")->isEnabled());
    for (const char* name :
         {"PreviewItem", "CropItem", "RotateLeftItem", "RotateRightItem", "RemoveItem"})
        item(name)->trigger();
    EXPECT_EQ(commands.runs,
              (std::vector<std::string>{"Preview", "CropCurrent", "RotateLeft", "RotateRight"}));

    QMenu* data = menu->findChild<QMenu*>("DataMenu");
    ASSERT_EQ(data->actions().size(), 3);
    EXPECT_EQ(data->actions()[0]->text(), "Filename: photo.jpg");
    frame->SetDestFileName("Salt & Pepper.jpg");
    frame->CropperMenuPopup();
    EXPECT_EQ(data->actions()[0]->text(), "Filename: Salt && Pepper.jpg"); // shown with one "&"
    EXPECT_EQ(data->actions()[1]->text(), "Spatial: (0, 0) 3000x2000");
    EXPECT_EQ(data->actions()[2]->text(), "PPI: 500");

    QMenu* aspects = menu->findChild<QMenu*>("AspectsMenu");
    ASSERT_EQ(aspects->actions().size(), 24);
    EXPECT_TRUE(aspects->actions()[1]->isChecked());
    EXPECT_FALSE(aspects->actions()[10]->isChecked());
    aspects->actions()[10]->trigger();
    EXPECT_EQ(combo()->currentIndex(), 10);
    EXPECT_EQ(frame->GetCrop().width, 2666);

    item("FlipAspectItem")->trigger();
    EXPECT_TRUE(flip()->isChecked());
    frame->CropperMenuPopup();
    EXPECT_TRUE(item("FlipAspectItem")->isChecked());

    for (int look = 0; look < 5; ++look) {
        item(("Look" + std::to_string(look)).c_str())->trigger();
        EXPECT_EQ(frame->Cropper()->Look(), look);
    }
    frame->SetLook(1);
    EXPECT_TRUE(item("Look1")->isChecked());
    EXPECT_FALSE(item("Look4")->isChecked());
}

TEST_F(IFrameTest, AspectWithAmpersandIsChosenFromTheSubmenu) {
    auto aspect = std::make_unique<TCropAspect>();
    aspect->SetAll("Square & small", "none", 1, 1);
    registry.CurrentList().Add(std::move(aspect));
    ASSERT_TRUE(frame->LoadFile("photo.jpg"));
    frame->CropperMenuPopup();
    QMenu* aspects = frame->CropperMenu()->findChild<QMenu*>("AspectsMenu");
    ASSERT_EQ(aspects->actions().size(), 25);
    aspects->actions()[24]->trigger();
    EXPECT_EQ(combo()->currentIndex(), 24);
    EXPECT_EQ(frame->GetCrop(), (TCropRect{496, 0, 2000, 2000}));
}

TEST_F(IFrameTest, NamesAreMadeSafeAndTemplatedAndTheRegistryForgetsAGoneFrame) {
    frame->SetDestFileName("Ærø Café (2).jpg");
    frame->MakeNameSafe();
    EXPECT_EQ(frame->DestFileName(), "Aeroe_Cafe__2_.jpg");
    frame->ApplyTemplate("%N_Crop");
    EXPECT_EQ(frame->DestFileName(), "Aeroe_Cafe__2__Crop.jpg");

    frame.reset();
    registry.LoadDefaults(); // would reach the freed frame if it were still attached
    SUCCEED();
}

TEST_F(IFrameTest, AThumbnailWiderThanItsEditorIsFittedWheneverItIsMade) {
    // the design size leaves a 345x322 editor, where a 3:2 photo 322 high would be 483 wide
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"load", [&] { ASSERT_TRUE(frame->LoadFile("photo.jpg")); }},
        {"reload", [&] { frame->Reload(); }},
        {"turn", [&] { frame->SetRotation(180); }},
        {"details", [&] { frame->SetDetails("Brief"); }},
    };
    for (const auto& [name, step] : steps) {
        step();
        EXPECT_EQ(frame->Cropper()->ThumbRect().x(), 0) << name;
        EXPECT_EQ(area().ThumbWidth(), 345) << name;
        EXPECT_EQ(area().ThumbHeight(), 230) << name;
    }
}

TEST_F(IFrameTest, OnlyTheSelectedFramesFlipBoxAnswersItsAccessKey) {
    QWidget window;
    TIFrame first(&window, &registry), second(&window, &registry);
    second.move(370, 0);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (TIFrame* current : {&second, &first}) {
        first.SetSelected(current == &first);
        second.SetSelected(current == &second);
        QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
        QTest::qWait(300); // the box clicks itself after a short animation
        EXPECT_TRUE(current->findChild<QCheckBox*>("RotateCheck")->isChecked());
        EXPECT_TRUE(current->isAncestorOf(QApplication::focusWidget()) ||
                    !window.isAncestorOf(QApplication::focusWidget()));
    }
}

TEST_F(IFrameTest, MenuKeyAndShiftF10OpenTheCropAreasMenu) {
    Show();
    ASSERT_TRUE(frame->LoadFile("photo.jpg"));
    QWidget* receiver = frame->Cropper()->NewHandler();
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard,
                              {0, 10}); // as the window system sends it
    const std::function<void()> inputs[] = {
        [&] { QTest::keyClick(receiver, Qt::Key_F10, Qt::ShiftModifier); },
        [&] { QApplication::sendEvent(receiver, &menuKey); }};
    for (const auto& input : inputs) {
        frame->FocusCrop();
        QPointer<QWidget> shown; // a modal menu is closed, so that a wrong one cannot hang the test
        QTimer::singleShot(100, [&shown] {
            if ((shown = QApplication::activePopupWidget())) shown->close();
        });
        input();
        QTest::qWait(200);
        EXPECT_EQ(shown, frame->CropperMenu());
    }
}
