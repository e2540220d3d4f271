#include "model/CropArea.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {
/// The view of a stored w x h picture turned by rotation, on a block of one pixel.
TJpegView View(int32_t w, int32_t h, int32_t rotation = 0) {
    const bool turned = rotation == 90 || rotation == 270;
    TJpegView view;
    view.width = turned ? h : w;
    view.height = turned ? w : h;
    return view;
}

/// A crop area on a picture that is only a size, as the image frame sets it up.
class CropAreaTest : public ::testing::Test {
protected:
    /// Opens a picture as the image frame does: grid, view, show, aspect proposal.
    void Load(int32_t w, int32_t h, const std::string& kind = "defined", double ah = 4,
              double av = 3) {
        fileWidth = w;
        fileHeight = h;
        area.UseBlockGrid();
        area.Open(View(w, h, area.Rotation()));
        area.SetCropVisible(true);
        Propose(kind, ah, av);
    }
    void Propose(const std::string& kind, double ah, double av) {
        area.Propose(kind, ah, av, false);
    }
    bool TurnTo(int32_t degrees) {
        return area.Turn(degrees, View(fileWidth, fileHeight, degrees));
    }

    TCropArea area;
    int32_t fileWidth = 0, fileHeight = 0;
};
} // namespace

TEST_F(CropAreaTest, ProposedAreasForAspectsAreLargestCentredAndSnapped) {
    struct Case {
        int32_t w, h;
        std::string kind;
        double ah, av;
        TCropRect expected;
    } cases[] = {
        // 3000 / (4/3) = 2250 does not fit, so the height decides: 2666 wide, 1999 high
        {3000, 2000, "defined", 4, 3, {160, 0, 2666, 1999}},
        {3000, 2000, "defined", 3, 4, {736, 0, 1500, 2000}},
        {2000, 1500, "fixed", 1600, 1200, {192, 144, 1600, 1200}},
        {3000, 2000, "free", 5, 7, {0, 0, 3000, 2000}},
        {1000, 1000, "defined", 1, 1, {0, 0, 1000, 1000}},
        {999, 601, "defined", 3, 2, {48, 0, 901, 600}},
        // exact ratios in stored centimetres keep their whole pixels: "13x19 cm" is 3:2,
        // "13x18 cm" 7:5 (truncation alone gave 3000x1999 and 2800x1999)
        {3000, 2000, "defined", 19.05, 12.7, {0, 0, 3000, 2000}},
        {3000, 2000, "defined", 17.78, 12.7, {96, 0, 2800, 2000}},
        {2000, 3000, "defined", 12.7, 19.05, {0, 0, 2000, 3000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " " + c.kind);
        Load(c.w, c.h, c.kind, c.ah, c.av);
        EXPECT_EQ(area.GetCrop(), c.expected);
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

TEST_F(CropAreaTest, MovesGoByTheGridAndStopOnTheLastGridLineInside) {
    Load(3000, 2000); // 2666x1999 at (160, 0)
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(area.Move(1, 0));
    EXPECT_EQ(area.CropX(), 320); // 3000 - 2666 = 334, snapped down
    for (int i = 0; i < 40; ++i)
        area.Move(-1, 0);
    EXPECT_EQ(area.CropX(), 0);
    area.Move(0, 1);
    EXPECT_EQ(area.CropY(), 0); // only one pixel of room, below a grid step
    Propose("defined", 1, 1);   // 2000x2000 at (496, 0)
    area.Move(-1, 0);
    EXPECT_EQ(area.GetCrop(), (TCropRect{480, 0, 2000, 2000}));
    area.Move(0, -1);
    EXPECT_EQ(area.CropY(), 0);
}

TEST_F(CropAreaTest, ResizeStepsAreFineNormalAndCoarse) {
    const std::pair<TCropArea::TStep, int32_t> cases[] = {
        {TCropArea::TStep::Normal, 8}, {TCropArea::TStep::Fine, 1}, {TCropArea::TStep::Coarse, 32}};
    for (const auto& [step, size] : cases) {
        SCOPED_TRACE(size);
        Load(3000, 2000, "free", 1, 1);
        area.SetStoredHeight(1000);
        area.SetArea(160, 160, 1000);
        EXPECT_TRUE(area.Grow(1, step));
        EXPECT_EQ(area.CropWidth(), 1000 + size);
        EXPECT_EQ(area.CropHeight(), 1000 + size);
        area.Grow(-1, step);
        EXPECT_EQ(area.GetCrop(), (TCropRect{160, 160, 1000, 1000}));
    }
}

TEST_F(CropAreaTest, ResizeByKindAndAtTheLimits) {
    // "defined": only the width changes and the height follows by truncation
    Load(3000, 2000);
    area.SetArea(160, 160, 993);
    area.Grow(1, TCropArea::TStep::Normal);
    EXPECT_EQ(area.GetCrop(), (TCropRect{160, 160, 1001, 750})); // 1001 / (4/3) = 750.75

    // every second grid step the corner moves along (1025 leaves 1 over 2 x 16)
    Propose("free", 1, 1);
    area.SetStoredHeight(1000);
    area.SetArea(160, 160, 1024);
    area.Grow(1, TCropArea::TStep::Fine);
    EXPECT_EQ(area.GetCrop(), (TCropRect{144, 144, 1025, 1001}));

    // a fixed size is handled but stays
    Propose("fixed", 800, 600);
    const TCropRect fixed = area.GetCrop();
    EXPECT_TRUE(area.Grow(1, TCropArea::TStep::Normal));
    EXPECT_EQ(area.GetCrop(), fixed);

    // shrinking below one pixel stops at the size step
    Propose("free", 1, 1);
    area.SetArea(16, 16, 1);
    area.Grow(-1, TCropArea::TStep::Fine);
    EXPECT_EQ(area.CropWidth(), 1);

    // growing past the image clamps to it
    area.SetArea(0, 0, 2999);
    area.Grow(1, TCropArea::TStep::Coarse);
    EXPECT_EQ(area.CropWidth(), 3000);
}

TEST_F(CropAreaTest, NothingHappensBeforeAViewIsOpen) {
    area.SetArea(10, 10, 100);
    area.SetAspect("defined", 4, 3);
    EXPECT_FALSE(area.Shown());
    EXPECT_FALSE(area.Move(1, 0));
    EXPECT_FALSE(area.Grow(1, TCropArea::TStep::Normal));
    EXPECT_EQ(area.CropX(), 10); // stored as given, nothing clamped to a size of zero
    EXPECT_EQ(area.CropWidth(), 100);
    EXPECT_TRUE(area.Turn(90, TJpegView())); // only the turn is kept
    EXPECT_EQ(area.Rotation(), 90);
    EXPECT_EQ(area.CropX(), 10);
}

TEST_F(CropAreaTest, NoCropAspectWithoutSizesStaysHiddenAndIgnoresKeys) {
    Load(3000, 2000);
    Propose("nocrop", 0, 0); // the built-in "No crop" aspect has no sizes
    EXPECT_EQ(area.Kind(), "nocrop");
    EXPECT_FALSE(area.Editable());
    EXPECT_FALSE(area.Move(1, 0));
    EXPECT_FALSE(area.Grow(1, TCropArea::TStep::Normal));
}

TEST_F(CropAreaTest, TheAreaTurnsWithThePictureAndTurnsBackExactly) {
    Load(3000, 2000); // 2666x1999 at (160, 0)
    EXPECT_TRUE(TurnTo(90));
    EXPECT_EQ(area.Rotation(), 90);
    EXPECT_EQ(area.ImageWidth(), 2000);
    EXPECT_EQ(area.ImageHeight(), 3000);
    // the aspect turns too; the corner (1, 160) goes to the nearest grid line
    EXPECT_EQ(area.AspectH(), 3);
    EXPECT_EQ(area.GetCrop(), (TCropRect{0, 160, 2000, 2666}));
    for (int ignored : {90, 45, -90, 360})
        EXPECT_FALSE(TurnTo(ignored)) << ignored;
    EXPECT_EQ(area.Rotation(), 90);
    TurnTo(0);
    EXPECT_EQ(area.GetCrop(), (TCropRect{160, 0, 2666, 1999}));

    // four quarter turns and a half turn there and back come home; a move in between
    // starts a new run, which then comes back to the moved area
    for (const std::vector<int>& turns :
         std::vector<std::vector<int>>{{90, 180, 270, 0}, {270, 0}, {180, 0}, {270, 180, 90, 0}}) {
        for (int t : turns)
            TurnTo(t);
        EXPECT_EQ(area.GetCrop(), (TCropRect{160, 0, 2666, 1999})) << turns.size();
    }
    area.SetPosition(176, 0);
    TurnTo(180);
    EXPECT_EQ(area.GetCrop(), (TCropRect{160, 0, 2666, 1999})); // 3000 - 176 - 2666 = 158
    TurnTo(90);
    TurnTo(0);
    EXPECT_EQ(area.GetCrop(), (TCropRect{176, 0, 2666, 1999}));

    // a fixed size turns its sizes; a size larger than the turned image is clamped
    Propose("fixed", 2400, 1800); // at (288, 96)
    TurnTo(270);
    EXPECT_EQ(area.Kind(), "fixed");
    EXPECT_EQ(area.GetCrop(), (TCropRect{96, 320, 1800, 2400}));
    TurnTo(0);
    Propose("free", 0, 0);
    area.SetArea(0, 0, 2900);
    TurnTo(90);
    EXPECT_EQ(area.GetCrop(), (TCropRect{0, 0, 2000, 2900}));
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

// A whole editing session on the value alone, as the command line or a saved
// order would drive it: each step's area follows from the one before.
TEST(CropAreaValueTest, AnEditingSessionNeedsNoWindow) {
    TJpegView view = View(4000, 3000);
    view.blockWidth = view.blockHeight = 16; // 4:2:0
    TJpegView turned = View(4000, 3000, 90);
    turned.blockWidth = turned.blockHeight = 16;
    using TStep = TCropArea::TStep;
    struct Step {
        const char* what;
        std::function<bool(TCropArea&)> apply;
        TCropRect expected;
    } steps[] = {
        // 4000 / 1.5 = 2666.7 high, centred at 167 and snapped up to 160
        {"3:2 proposed",
         [](TCropArea& a) { return a.Propose("defined", 3, 2, false), true; },
         {0, 160, 4000, 2666}},
        {"down a block", [](TCropArea& a) { return a.Move(0, 1); }, {0, 176, 4000, 2666}},
        {"right: no room", [](TCropArea& a) { return a.Move(1, 0); }, {0, 176, 4000, 2666}},
        {"coarse shrink",
         [](TCropArea& a) { return a.Grow(-1, TStep::Coarse); },
         {0, 176, 3968, 2645}},
        {"fine shrink", [](TCropArea& a) { return a.Grow(-1, TStep::Fine); }, {0, 176, 3967, 2644}},
        // the corner (3000 - 176 - 2644 = 180) goes to the nearest block line; the
        // width is the one whose 2:3 height comes nearest to 3967
        {"turned right", [&](TCropArea& a) { return a.Turn(90, turned); }, {176, 0, 2645, 3967}},
        {"turned back", [&](TCropArea& a) { return a.Turn(0, view); }, {0, 176, 3967, 2644}},
        {"square",
         [](TCropArea& a) { return a.Propose("defined", 1, 1, false), true; },
         {496, 0, 3000, 3000}},
        {"3:2 flipped",
         [](TCropArea& a) { return a.Propose("defined", 3, 2, true), true; },
         {992, 0, 2000, 3000}},
        // a "defined" height follows the width: 3967 at 2:3 does not fit, the height decides
        {"restored",
         [](TCropArea& a) {
             return a.Restore({0, 176, 3967, 2644}), true;
         },
         {0, 0, 2000, 3000}},
        {"fixed too large",
         [](TCropArea& a) { return a.Propose("fixed", 5000, 100, false), true; },
         {0, 0, 4000, 3000}},
        {"hidden takes no move", [](TCropArea& a) { return !a.Move(0, 1); }, {0, 0, 4000, 3000}},
    };
    TCropArea area;
    area.UseBlockGrid();
    area.Open(view);
    area.SetCropVisible(true);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        const TCropArea before = area;
        EXPECT_TRUE(s.apply(area));
        EXPECT_EQ(area.GetCrop(), s.expected);
        // a value: the copy taken before is untouched and compares by content
        TCropArea again = before;
        EXPECT_EQ(again, before);
        s.apply(again);
        EXPECT_EQ(again, area);
    }
    EXPECT_EQ(area.Kind(), "nocrop");
    EXPECT_FALSE(area.Editable());
}
