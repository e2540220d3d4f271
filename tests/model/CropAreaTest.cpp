#include "model/CropArea.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeThumbnail.h"
#include "core/Error.h"

namespace {
struct TEventLog : TObserver {
    std::vector<std::string> events;
    std::vector<TObject*> senders;
    void Update(TObject* sender, const std::string& event, const TVariant&) override {
        events.push_back(event);
        senders.push_back(sender);
    }
};

/// A crop area whose "file" is only a stored size, so geometry needs no JPEG.
class CropAreaTest : public ::testing::Test {
protected:
    void SetUp() override {
        area.SetReader([this](const std::string&, int32_t rotation, int32_t surface) {
            ++reads;
            if (failReads) throw TError("JpegThumbnail: broken");
            return FakeThumbnail(fileWidth, fileHeight, rotation, surface);
        });
        area.Subject().Attach(&log);
    }

    /// Loads an image as the image frame does: grid, load, show, aspect proposal.
    void Load(int32_t w, int32_t h, const std::string& kind = "defined", double ah = 4,
              double av = 3) {
        fileWidth = w;
        fileHeight = h;
        area.SetGrid(16, 16, 1, 1);
        ASSERT_TRUE(area.LoadImage("photo.jpg"));
        area.SetCropVisible(true);
        Propose(kind, ah, av);
    }
    void Propose(const std::string& kind, double ah, double av) {
        area.SetAspect(kind, ah, av);
        area.Maximize();
        area.Center();
    }
    bool Key(int key, TShiftState shift = 0) { return area.HandleKey(key, shift); }

    TCropArea area;
    TEventLog log;
    int32_t fileWidth = 0, fileHeight = 0;
    int reads = 0;
    bool failReads = false;
};
} // namespace

TEST_F(CropAreaTest, ProposedAreasForAspectsAreLargestCentredAndSnapped) {
    struct Case {
        int32_t w, h;
        std::string kind;
        double ah, av;
        TCropRect expected;
        std::string position, size;
    } cases[] = {
        // 3000 / (4/3) = 2250 does not fit, so the height decides: 2666 wide, 1999 high
        {3000, 2000, "defined", 4, 3, {160, 0, 2666, 1999}, "(160, 0)", "2666x1999"},
        {3000, 2000, "defined", 3, 4, {736, 0, 1500, 2000}, "(736, 0)", "1500x2000"},
        {2000, 1500, "fixed", 1600, 1200, {192, 144, 1600, 1200}, "(192, 144)", "1600x1200"},
        {3000, 2000, "free", 5, 7, {0, 0, 3000, 2000}, "(0, 0)", "3000x2000"},
        {1000, 1000, "defined", 1, 1, {0, 0, 1000, 1000}, "(0, 0)", "1000x1000"},
        {999, 601, "defined", 3, 2, {48, 0, 901, 600}, "(48, 0)", "901x600"},
        // exact ratios in stored centimetres keep their whole pixels: "13x19 cm" is 3:2,
        // "13x18 cm" 7:5 (truncation alone gave 3000x1999 and 2800x1999)
        {3000, 2000, "defined", 19.05, 12.7, {0, 0, 3000, 2000}, "(0, 0)", "3000x2000"},
        {3000, 2000, "defined", 17.78, 12.7, {96, 0, 2800, 2000}, "(96, 0)", "2800x2000"},
        {2000, 3000, "defined", 12.7, 19.05, {0, 0, 2000, 3000}, "(0, 0)", "2000x3000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " " + c.kind);
        Load(c.w, c.h, c.kind, c.ah, c.av);
        EXPECT_EQ(area.GetCrop(), c.expected);
        EXPECT_EQ(area.PositionText(), c.position);
        EXPECT_EQ(area.SizeText(), c.size);
    }
}

TEST_F(CropAreaTest, AspectKindsAreNormalised) {
    Load(1024, 768);
    struct Case {
        std::string kind;
        double h, v;
        std::string expected;
        bool visible;
    } cases[] = {
        {"fixed", 1600, 1200, "nocrop", false}, // larger than the image
        {"fixed", 1024, 768, "fixed", true},    // exactly the image fits
        {"fixed", 1025, 10, "nocrop", false},
        {"cm", 10, 15, "free", true}, // unknown kind texts count as free
        {"defined", 0, 3, "free", true},
        {"defined", 4, -3, "free", true},
        {"nocrop", 4, 3, "nocrop", false},
        {"defined", 4, 3, "defined", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind + " " + std::to_string(c.h) + ":" + std::to_string(c.v));
        area.SetAspect(c.kind, c.h, c.v);
        EXPECT_EQ(area.Kind(), c.expected);
        EXPECT_EQ(area.CropVisible(), c.visible);
    }
}

TEST_F(CropAreaTest, ArrowKeysMoveByTheGridAndStopOnTheLastGridLineInside) {
    Load(3000, 2000); // 2666x1999 at (160, 0)
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(Key(kKeyRight, kCtrl));
    EXPECT_EQ(area.CropX(), 320); // 3000 - 2666 = 334, snapped down
    for (int i = 0; i < 40; ++i)
        Key(kKeyLeft);
    EXPECT_EQ(area.CropX(), 0);
    Key(kKeyDown, kShift);
    EXPECT_EQ(area.CropY(), 0); // only one pixel of room, below a grid step
    Propose("defined", 1, 1);   // 2000x2000 at (496, 0)
    Key(kKeyLeft);
    EXPECT_EQ(area.GetCrop(), (TCropRect{480, 0, 2000, 2000}));
    Key(kKeyUp);
    EXPECT_EQ(area.CropY(), 0);
}

TEST_F(CropAreaTest, KeypadResizeStepsFollowTheModifiers) {
    struct Case {
        TShiftState shift;
        int32_t step;
    } cases[] = {{0, 8},    {kShift, 1},       {kCtrl, 32}, {kShift | kCtrl, 8},
                 {kAlt, 8}, {kShift | kAlt, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shift);
        Load(3000, 2000, "free", 1, 1);
        area.SetThumbHeight(100); // stored height 1000 of the 200-high thumbnail
        area.SetArea(160, 160, 1000);
        int key = kKeyAdd;
        EXPECT_TRUE(area.HandleKey(key, c.shift));
        EXPECT_EQ(key, 0); // consumed
        EXPECT_EQ(area.CropWidth(), 1000 + c.step);
        EXPECT_EQ(area.CropHeight(), 1000 + c.step);
        Key(kKeySubtract, c.shift);
        EXPECT_EQ(area.GetCrop(), (TCropRect{160, 160, 1000, 1000}));
    }
}

TEST_F(CropAreaTest, ResizeByKindAndAtTheLimits) {
    // "defined": only the width changes and the height follows by truncation
    Load(3000, 2000);
    area.SetArea(160, 160, 993);
    Key(kKeyAdd);
    EXPECT_EQ(area.GetCrop(), (TCropRect{160, 160, 1001, 750})); // 1001 / (4/3) = 750.75

    // every second grid step the corner moves along (1025 leaves 1 over 2 x 16)
    Propose("free", 1, 1);
    area.SetThumbHeight(100);
    area.SetArea(160, 160, 1024);
    Key(kKeyAdd, kShift);
    EXPECT_EQ(area.GetCrop(), (TCropRect{144, 144, 1025, 1001}));

    // a fixed size is handled but stays
    Propose("fixed", 800, 600);
    const TCropRect fixed = area.GetCrop();
    int key = kKeyAdd;
    EXPECT_TRUE(area.HandleKey(key, 0));
    EXPECT_EQ(area.GetCrop(), fixed);

    // shrinking below one pixel stops at the size step
    Propose("free", 1, 1);
    area.SetArea(16, 16, 1);
    Key(kKeySubtract, kShift);
    EXPECT_EQ(area.CropWidth(), 1);

    // growing past the image clamps to it
    area.SetArea(0, 0, 2999);
    Key(kKeyAdd, kCtrl);
    EXPECT_EQ(area.CropWidth(), 3000);
}

TEST_F(CropAreaTest, KeysSendTheirEventsWithTheEditorAsSender) {
    TSubject editorSubject;
    TObject editor;
    TEventLog editorLog;
    editorSubject.Attach(&editorLog);
    Load(3000, 2000);
    area.SetEventTarget(&editorSubject, &editor);
    const std::pair<int, std::string> cases[] = {
        {kKeySpace, "FlipAspect"}, {kKeyPageUp, "PreviousImage"}, {kKeyPageDown, "NextImage"},
        {kKeyEnd, "EndImage"},     {kKeyHome, "HomeImage"},       {kKeyLeft, "Recalculated"}};
    for (const auto& [key, event] : cases) {
        editorLog.events.clear();
        EXPECT_TRUE(Key(key));
        EXPECT_EQ(editorLog.events, std::vector<std::string>{event});
        EXPECT_EQ(editorLog.senders.back(), &editor);
    }
    // the main keyboard's plus (187) and letters are not the crop area's
    EXPECT_FALSE(Key(187));
    EXPECT_FALSE(Key('A'));
}

TEST_F(CropAreaTest, NothingHappensBeforeAnImageIsLoaded) {
    area.SetArea(10, 10, 100);
    area.SetAspect("defined", 4, 3);
    EXPECT_TRUE(log.events.empty());
    EXPECT_FALSE(Key(kKeySpace));
    EXPECT_FALSE(Key(kKeyRight));
    TCropRect r{1, 2, 3, 4};
    EXPECT_FALSE(area.GetThumbCrop(r));
    EXPECT_EQ(r, (TCropRect{1, 2, 3, 4}));
    area.SetThumbPosition(5, 5); // no thumbnail yet: no division by its zero width
    EXPECT_EQ(area.CropX(), 10);

    // a failed read leaves the area unloaded and the state as it was
    failReads = true;
    EXPECT_FALSE(area.LoadImage("broken.jpg"));
    EXPECT_FALSE(area.Loaded());
    EXPECT_EQ(area.FileName(), "");
}

TEST_F(CropAreaTest, NoCropAspectWithoutSizesStaysHiddenAndIgnoresKeys) {
    Load(3000, 2000);
    Propose("nocrop", 0, 0); // the built-in "No crop" aspect has no sizes
    EXPECT_EQ(area.Kind(), "nocrop");
    EXPECT_FALSE(Key(kKeySpace));
    EXPECT_FALSE(Key(kKeyAdd));
}

TEST_F(CropAreaTest, TheAreaTurnsWithThePictureAndTurnsBackExactly) {
    Load(3000, 2000); // 2666x1999 at (160, 0)
    const int before = reads;
    area.SetRotation(90);
    EXPECT_EQ(area.Rotation(), 90);
    EXPECT_EQ(area.ImageWidth(), 2000);
    EXPECT_EQ(area.ImageHeight(), 3000);
    // the aspect turns too; the corner (1, 160) goes to the nearest grid line
    EXPECT_EQ(area.AspectH(), 3);
    EXPECT_EQ(area.GetCrop(), (TCropRect{0, 160, 2000, 2666}));
    EXPECT_EQ(reads, before + 1);
    for (int ignored : {90, 45, -90, 360})
        area.SetRotation(ignored);
    EXPECT_EQ(reads, before + 1);
    EXPECT_EQ(area.Rotation(), 90);
    area.SetRotation(0);
    EXPECT_EQ(area.GetCrop(), (TCropRect{160, 0, 2666, 1999}));

    // four quarter turns and a half turn there and back come home; a move in between
    // starts a new run, which then comes back to the moved area
    for (const std::vector<int>& turns :
         std::vector<std::vector<int>>{{90, 180, 270, 0}, {270, 0}, {180, 0}, {270, 180, 90, 0}}) {
        for (int t : turns)
            area.SetRotation(t);
        EXPECT_EQ(area.GetCrop(), (TCropRect{160, 0, 2666, 1999})) << turns.size();
    }
    area.SetPosition(176, 0);
    area.SetRotation(180);
    EXPECT_EQ(area.GetCrop(), (TCropRect{160, 0, 2666, 1999})); // 3000 - 176 - 2666 = 158
    area.SetRotation(90);
    area.SetRotation(0);
    EXPECT_EQ(area.GetCrop(), (TCropRect{176, 0, 2666, 1999}));

    // a fixed size turns its sizes; a size larger than the turned image is clamped
    Propose("fixed", 2400, 1800); // at (288, 96)
    area.SetRotation(270);
    EXPECT_EQ(area.Kind(), "fixed");
    EXPECT_EQ(area.GetCrop(), (TCropRect{96, 320, 1800, 2400}));
    area.SetRotation(0);
    Propose("free", 0, 0);
    area.SetArea(0, 0, 2900);
    area.SetRotation(90);
    EXPECT_EQ(area.GetCrop(), (TCropRect{0, 0, 2000, 2900}));

    // a read that fails keeps the old turn, so the sizes still match it
    failReads = true;
    EXPECT_THROW(area.SetRotation(180), TError);
    EXPECT_EQ(area.Rotation(), 90);
}

TEST_F(CropAreaTest, ThumbnailAndImagePixelsConvertByProportion) {
    Load(4000, 3000, "free", 1, 1);
    // the default thumbnail is 200 high; the 4:3 width is Trunc(200 x 1.333...)
    EXPECT_EQ(area.ThumbWidth(), 266);
    area.SetSurfaceSize(500, 330);
    area.Reload();
    EXPECT_EQ(area.ThumbWidth(), 439); // 330 x 1.333... is just below 440
    EXPECT_EQ(area.ThumbHeight(), 330);

    area.SetThumbWidth(200);        // 200 / 439 x 4000 = 1822.3
    area.SetThumbHeight(100);       // 100 / 330 x 3000 = 909.09
    area.SetThumbPosition(100, 50); // 4000 x 100 / 439 = 911.2, 3000 x 50 / 330 = 454.5
    EXPECT_EQ(area.GetCrop(), (TCropRect{896, 448, 1822, 909}));
    TCropRect t;
    ASSERT_TRUE(area.GetThumbCrop(t));
    EXPECT_EQ(t, (TCropRect{98, 49, 199, 99}));

    // "defined": a height drag sets the width through the ratio
    Propose("defined", 4, 3);
    area.SetThumbHeight(165); // 165 / 330 x 3000 x 4/3 = 2000
    EXPECT_EQ(area.CropWidth(), 2000);
    EXPECT_EQ(area.CropHeight(), 1500);
}

TEST_F(CropAreaTest, FitThumbnailFollowsANarrowSurface) {
    Load(3000, 2000);
    area.SetSurfaceSize(100, 200);
    area.FitThumbnail();
    EXPECT_EQ(area.ThumbWidth(), 100);
    EXPECT_EQ(area.ThumbHeight(), 66);
    area.SetSurfaceSize(1000, 200);
    area.FitThumbnail();
    EXPECT_EQ(area.ThumbWidth(), 300);
    EXPECT_EQ(area.ThumbHeight(), 200);
    EXPECT_EQ(area.PreferredWidth(350), 525);
}

TEST_F(CropAreaTest, DegenerateAspectsAndGridsStayInsideTheImage) {
    Load(3000, 2000);
    area.SetGrid(0, -5, 0, 0); // treated as steps of 1
    for (double h : {1e-300, 1e300}) {
        Propose("defined", h, 1);
        const TCropRect r = area.GetCrop();
        EXPECT_GE(r.x, 0);
        EXPECT_GE(r.y, 0);
        EXPECT_LE(r.x + r.width, 3000);
        EXPECT_LE(r.y + r.height, 2000);
    }
    area.SetPosition(2147483647, 2147483647);
    EXPECT_LE(area.CropX() + area.CropWidth(), 3000);
}
