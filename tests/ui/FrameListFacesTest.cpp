// The faces of a new photo reach its first area through the frame list: it slides
// once they are found, as a step of its own, unless the user moved it first.
#include "ui/FrameList.h"

#include <QTest>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "NoCommands.h"
#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "core/StorageTank.h"
#include "frames/IFrame.h"
#include "grid/CropContainer.h"
#include "model/CropAspects.h"

namespace {
/// Answers nothing by itself: the test says when the faces are found.
class TFacesByHand : public IThumbnailSource {
public:
    uint64_t Request(QObject*, const std::string&, int32_t, int32_t, bool, TDone) override {
        return next++;
    }
    bool Withdraw(uint64_t) override { return true; }
    uint64_t RequestFaces(QObject*, const std::string& file, TFacesDone done) override {
        asked.push_back(file);
        found.push_back(std::move(done));
        return next++;
    }
    std::vector<std::string> asked;
    std::vector<TFacesDone> found;
    uint64_t next = 1;
};

class FrameListFacesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetCropAspects().Count() == 0) GetCropAspects().LoadDefaults();
        container.resize(900, 700);
        container.show();
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            samples::MakePhoto(dir.file(name), 640, 480);
    }
    TCropRect Area(std::size_t i) const { return list.Frames()[i]->Cropper()->Area().GetCrop(); }
    void AddAll() {
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            ASSERT_TRUE(list.Place(dir.file(name), true));
        list.Checkpoint();
    }

    TTempDir dir;
    TCContainer container;
    TStorageTank settings{"Settings"};
    TScriptedPrompt prompt;
    TNoCommands commands;
    TFacesByHand source;
    TFrameList list{container, settings, prompt, commands, &source};
};
} // namespace

TEST_F(FrameListFacesTest, TheFirstAreaSlidesToTheFacesAsAStepOfItsOwnUnlessTheUserMovedIt) {
    AddAll();
    ASSERT_EQ(source.asked.size(), 3u);
    // 640x480 under the default 3:2 aspect: 640x426, centred at y 16
    const TCropRect centred{0, 16, 640, 426};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(Area(i), centred) << i;
    // the user moves the second area down before its faces come
    list.Frames()[1]->Cropper()->Area().Edit([](TCropArea& a) { a.Move(0, 1); });
    list.Checkpoint();
    const TCropRect moved = Area(1);
    ASSERT_NE(moved, centred);

    // a face at the top left of each of the first two; none in the third
    const std::vector<TCropRect> faces{{40, 14, 64, 48}};
    source.found[0](faces);
    source.found[1](faces);
    // the areas of photos added together slide together, once all their faces are in
    QTest::qWait(50);
    EXPECT_EQ(Area(0), centred);
    source.found[2]({});
    QTest::qWait(50);
    EXPECT_EQ(Area(0), (TCropRect{0, 0, 640, 426}));
    EXPECT_EQ(list.Order().At(0).Choice.Crop, Area(0));
    EXPECT_EQ(Area(1), moved);
    EXPECT_EQ(Area(2), centred);

    // the slide is one step: undone, the centred area is back and the user's move stays
    list.Undo();
    EXPECT_EQ(Area(0), centred);
    EXPECT_EQ(Area(1), moved);
    list.Redo();
    EXPECT_EQ(Area(0), (TCropRect{0, 0, 640, 426}));

    // a flip proposes with the faces: the portrait area goes to the face at the left
    list.Frames()[0]->ToggleFlip();
    EXPECT_EQ(Area(0), (TCropRect{0, 0, 320, 480}));
    list.Frames()[2]->ToggleFlip();
    EXPECT_EQ(Area(2), (TCropRect{160, 0, 320, 480}));
}

TEST_F(FrameListFacesTest, WithTheSettingOffNoFacesAreLookedFor) {
    settings.setValue("KeepFaces", false);
    AddAll();
    EXPECT_TRUE(source.asked.empty());
}
