#include "frames/CropView.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeThumbnail.h"
#include "TempDir.h"
#include "core/Error.h"

namespace {
/// What an editor shows of a picture that is only a stored size: the thumbnail
/// is as high as the surface (200 by default), black.
class CropViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.SetReader([this](const std::string&, int32_t rotation, int32_t surface) {
            ++reads;
            if (failReads) throw TError("broken");
            return FakeThumbnail(fileWidth, fileHeight, rotation, surface);
        });
        view.SetChangeHandler([this] { ++changes; });
    }
    void Load(int32_t w, int32_t h, const std::string& kind = "defined", double ah = 4,
              double av = 3) {
        fileWidth = w;
        fileHeight = h;
        view.Edit([](TCropArea& a) { a.UseBlockGrid(); });
        ASSERT_TRUE(view.LoadImage("photo.jpg"));
        view.Edit([&](TCropArea& a) {
            a.SetCropVisible(true);
            a.Propose(kind, ah, av, false);
        });
    }

    TCropView view;
    int32_t fileWidth = 0, fileHeight = 0;
    int reads = 0, changes = 0;
    bool failReads = false;
};
} // namespace

TEST_F(CropViewTest, ReadOutsShowPositionAndSize) {
    struct Case {
        int32_t w, h;
        std::string kind;
        double ah, av;
        std::string position, size;
    } cases[] = {
        {3000, 2000, "defined", 4, 3, "(160, 0)", "2666x1999"},
        {2000, 1500, "fixed", 1600, 1200, "(192, 144)", "1600x1200"},
        {999, 601, "defined", 3, 2, "(48, 0)", "901x600"},
    };
    for (const auto& c : cases) {
        Load(c.w, c.h, c.kind, c.ah, c.av);
        EXPECT_EQ(view.PositionText(), c.position);
        EXPECT_EQ(view.SizeText(), c.size);
    }
}

TEST_F(CropViewTest, ThumbnailAndImagePixelsConvertByProportion) {
    Load(4000, 3000, "free", 1, 1);
    // the default thumbnail is 200 high; the 4:3 width is Trunc(200 x 1.333...)
    EXPECT_EQ(view.ThumbWidth(), 266);
    view.SetSurfaceSize(500, 330);
    view.Reload();
    EXPECT_EQ(view.ThumbWidth(), 439); // 330 x 1.333... is just below 440
    EXPECT_EQ(view.ThumbHeight(), 330);

    view.SetThumbWidth(200);        // 200 / 439 x 4000 = 1822.3
    view.SetThumbHeight(100);       // 100 / 330 x 3000 = 909.09
    view.SetThumbPosition(100, 50); // 4000 x 100 / 439 = 911.2, 3000 x 50 / 330 = 454.5
    EXPECT_EQ(view.GetCrop(), (TCropRect{896, 448, 1822, 909}));
    TCropRect t;
    ASSERT_TRUE(view.GetThumbCrop(t));
    EXPECT_EQ(t, (TCropRect{98, 49, 199, 99}));

    // "defined": a height drag sets the width through the ratio
    view.Edit([](TCropArea& a) { a.Propose("defined", 4, 3, false); });
    view.SetThumbHeight(165); // 165 / 330 x 3000 x 4/3 = 2000
    EXPECT_EQ(view.Crop().CropWidth(), 2000);
    EXPECT_EQ(view.Crop().CropHeight(), 1500);
}

TEST_F(CropViewTest, FitThumbnailFollowsANarrowSurface) {
    Load(3000, 2000);
    view.SetSurfaceSize(100, 200);
    view.FitThumbnail();
    EXPECT_EQ(view.ThumbWidth(), 100);
    EXPECT_EQ(view.ThumbHeight(), 66);
    view.SetSurfaceSize(1000, 200);
    view.FitThumbnail();
    EXPECT_EQ(view.ThumbWidth(), 300);
    EXPECT_EQ(view.ThumbHeight(), 200);
    EXPECT_EQ(view.PreferredWidth(350), 525);
}

TEST_F(CropViewTest, NothingHappensBeforeAPhotoIsLoadedAndAFailedReadChangesNothing) {
    view.Edit([](TCropArea& a) { a.SetArea(10, 10, 100); });
    TCropRect r{1, 2, 3, 4};
    EXPECT_FALSE(view.GetThumbCrop(r));
    EXPECT_EQ(r, (TCropRect{1, 2, 3, 4}));
    view.SetThumbPosition(5, 5); // no thumbnail yet: no division by its zero width
    EXPECT_EQ(view.Crop().CropX(), 10);
    EXPECT_EQ(changes, 0); // nothing shown, nothing to tell

    failReads = true;
    EXPECT_FALSE(view.LoadImage("broken.jpg"));
    EXPECT_FALSE(view.Loaded());
    EXPECT_EQ(view.FileName(), "");

    // a turn whose read fails keeps the old turn, so the sizes still match it
    failReads = false;
    Load(3000, 2000);
    view.SetRotation(90);
    const TCropArea turned = view.Crop();
    const int before = reads;
    for (int ignored : {90, 45, -90, 360})
        view.SetRotation(ignored);
    EXPECT_EQ(reads, before); // nothing read for a turn that is none
    failReads = true;
    EXPECT_THROW(view.SetRotation(180), TError);
    EXPECT_EQ(view.Crop(), turned);
}

TEST(CropViewPhotoTest, LoadsAndTurnsARealPhotoAndRefusesABrokenOne) {
    TTempDir dir;
    const std::string file = dir.file("photo.jpg");
    MakeJpeg(file, 600, 400);
    TCropView view;
    view.SetSurfaceSize(300, 120);
    ASSERT_TRUE(view.LoadImage(file));
    EXPECT_EQ(view.ThumbWidth(), 180);
    EXPECT_EQ(view.Thumbnail().Width(), 180);
    EXPECT_EQ(view.WorkBitmap().Height(), 120);
    view.Edit([](TCropArea& a) {
        a.UseBlockGrid();
        a.SetAspect("defined", 3, 2);
        a.Maximize();
    });
    view.SetRotation(90);
    EXPECT_EQ(view.Crop().ImageWidth(), 400);
    EXPECT_EQ(view.Thumbnail().Width(), 79);
    EXPECT_EQ(view.GetCrop(), (TCropRect{0, 0, 400, 600})); // the area turns with the photo

    const std::string broken = dir.file("broken.jpg");
    WriteFileBytes(broken, "\xFF\xD8\xFF\xE0 not a photo");
    TCropView other;
    EXPECT_FALSE(other.LoadImage(broken));
    EXPECT_FALSE(other.Loaded());
}
