// A long list: frames only near the view, and every photo reached by keys,
// choice, turns, aspects, removal and undo whether it has a frame or not.
#include "ui/FrameList.h"

#include <filesystem>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "NoCommands.h"
#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "core/StorageTank.h"
#include "frames/IFrame.h"
#include "grid/BigPanel.h"
#include "grid/CropContainer.h"
#include "grid/ThumbnailPool.h"
#include "model/CropAspects.h"

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kPhotos = 400;

class FrameListRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetCropAspects().Count() == 0) GetCropAspects().LoadDefaults();
        settings.setValue("KeepFaces", false);
        pool.SetCache(&cache);
        container.resize(900, 700);
        container.show();
        // a wide and a tall picture under many names, every third one tall
        samples::MakePhoto(dir.file("wide.jpg"), 640, 480);
        samples::MakePhoto(dir.file("tall.jpg"), 480, 640);
        for (std::size_t i = 0; i < kPhotos; ++i) {
            const std::string name = dir.file("p" + std::to_string(1000 + i) + ".jpg");
            fs::create_hard_link(dir.file(i % 3 ? "wide.jpg" : "tall.jpg"), name);
            ASSERT_TRUE(list.Place(name, i == 0));
        }
        list.Checkpoint();
        container.LayoutNow();
    }
    std::size_t Framed() const {
        std::size_t n = 0;
        for (TIFrame* f : list.Frames())
            n += f ? 1 : 0;
        return n;
    }
    const TOrderPhoto& At(std::size_t i) const { return list.Order().At(i); }
    /// The photos of one shape have one choice, framed or not.
    void ExpectAlike(std::size_t a, std::size_t b) const {
        EXPECT_EQ(At(a).Choice.Crop, At(b).Choice.Crop) << a << " " << b;
        EXPECT_EQ(At(a).Choice.Rotation, At(b).Choice.Rotation) << a << " " << b;
        EXPECT_EQ(At(a).Choice.Flipped, At(b).Choice.Flipped) << a << " " << b;
        EXPECT_EQ(At(a).Choice.Aspect, At(b).Choice.Aspect) << a << " " << b;
    }

    TTempDir dir;
    TCContainer container;
    TStorageTank settings{"Settings"};
    TScriptedPrompt prompt;
    TNoCommands commands;
    TThumbnailCache cache;
    TThumbnailPool pool{2};
    TFrameList list{container, settings, prompt, commands, &pool};
};
} // namespace

TEST_F(FrameListRowsTest, ManyPhotosCostAFewFramesThatFollowTheView) {
    ASSERT_EQ(list.Count(), kPhotos);
    EXPECT_LT(Framed(), 80u);
    EXPECT_LT(list.FramesMade(), 100u);
    EXPECT_NE(list.Frames().front(), nullptr);
    EXPECT_EQ(list.Frames().back(), nullptr);

    // End: the last photo is current, in view with a frame; the first has none now
    list.Navigate(TCFrame::TNavigation::End);
    ASSERT_EQ(list.CurrentIndex(), int(kPhotos - 1));
    TIFrame* last = list.Current();
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(last->isVisible());
    EXPECT_EQ(last->SourceFileName(), At(kPhotos - 1).File());
    EXPECT_TRUE(last->Selected());
    EXPECT_EQ(list.Frames().front(), nullptr);
    EXPECT_LT(list.FramesMade(), 100u);
    // its picture comes from the pool
    EXPECT_TRUE(QTest::qWaitFor([&] { return last->Cropper()->Area().HasThumbnail(); }, 10000));

    // a frame's edit reaches the order, and comes back after the photo left the view
    QTest::keyClick(last->Cropper()->NewHandler(), Qt::Key_Minus);
    list.Checkpoint();
    const TCropRect edited = At(kPhotos - 1).Choice.Crop;
    EXPECT_EQ(last->GetCrop(), edited);
    list.Navigate(TCFrame::TNavigation::Home);
    EXPECT_EQ(list.Frames().back(), nullptr);
    list.Navigate(TCFrame::TNavigation::End);
    ASSERT_NE(list.Current(), nullptr);
    EXPECT_EQ(list.Current()->GetCrop(), edited);
    EXPECT_EQ(list.Current()->Cropper()->Area().Crop().CropWidth(), edited.width);
}

TEST_F(FrameListRowsTest, TurnsAspectsRemovalsAndUndoReachPhotosWithoutFrames) {
    const std::vector<TOrderPhoto> first = list.Order().Photos();
    list.SelectAll();
    ASSERT_EQ(list.Chosen().size(), kPhotos);

    // a turn of all: the framed photos and the others alike
    list.TurnChosen(90);
    for (std::size_t i = 0; i < kPhotos; ++i)
        EXPECT_EQ(At(i).Choice.Rotation, 90) << i;
    ExpectAlike(3, kPhotos - 1);   // tall, framed and not (kPhotos - 1 is a multiple of 3)
    ExpectAlike(1, kPhotos - 2);   // wide
    EXPECT_NE(At(1).Choice.Crop, first[1].Choice.Crop);
    list.Undo();
    for (std::size_t i = 0; i < kPhotos; ++i) {
        EXPECT_EQ(At(i).Choice.Crop, first[i].Choice.Crop) << i;
        EXPECT_EQ(At(i).Choice.Rotation, 0) << i;
    }
    list.Redo();
    EXPECT_EQ(At(kPhotos - 2).Choice.Rotation, 90);
    list.Undo();

    // an aspect chosen in the current frame goes to every chosen photo
    TIFrame* current = list.Current();
    ASSERT_NE(current, nullptr);
    auto* combo = current->findChild<QComboBox*>(QStringLiteral("AspectCombo"));
    ASSERT_NE(combo, nullptr);
    const int other = (combo->currentIndex() + 1) % combo->count();
    combo->setCurrentIndex(other);
    emit combo->activated(other);
    for (std::size_t i = 0; i < kPhotos; ++i)
        EXPECT_EQ(At(i).Choice.Aspect, combo->currentText().toStdString()) << i;
    ExpectAlike(0, kPhotos - 1);
    ExpectAlike(1, kPhotos - 2);
    list.Undo();
    EXPECT_EQ(At(kPhotos - 1).Choice.Aspect, first[kPhotos - 1].Choice.Aspect);
    EXPECT_EQ(At(kPhotos - 1).Choice.Crop, first[kPhotos - 1].Choice.Crop);

    // Shift chooses a range that runs far beyond the frames; removed, one undo brings it back
    list.SetCurrentIndex(5);
    list.ChooseAt(kPhotos - 6, Qt::ShiftModifier);
    ASSERT_EQ(list.Chosen().size(), kPhotos - 10);
    list.RemoveChosen();
    ASSERT_EQ(list.Count(), 10u);
    EXPECT_EQ(At(5).File(), first[kPhotos - 5].File());
    EXPECT_GE(list.CurrentIndex(), 0);
    list.Undo();
    ASSERT_EQ(list.Count(), kPhotos);
    for (std::size_t i = 0; i < kPhotos; ++i) {
        EXPECT_EQ(At(i).File(), first[i].File()) << i;
        EXPECT_EQ(At(i).Choice.Crop, first[i].Choice.Crop) << i;
    }
    EXPECT_LT(list.FramesMade(), 100u);

    // all removed and back: the frames come back for the rows in view
    list.RemoveAll();
    EXPECT_TRUE(list.Empty());
    list.Undo();
    ASSERT_EQ(list.Count(), kPhotos);
    container.LayoutNow();
    EXPECT_NE(list.Frames()[list.CurrentIndex()], nullptr);
}
