#include "model/FaceSlide.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
bool Holds(const TCropRect& area, const TCropRect& face) {
    return face.x >= area.x && face.y >= area.y && face.x + face.width <= area.x + area.width &&
           face.y + face.height <= area.y + area.height;
}

struct TSlideCase {
    std::string what;
    int32_t width, height;
    TCropRect area; // the centred proposal
    std::vector<TCropRect> faces;
    TCropRect expected;
};
} // namespace

// A 4000x3000 photo under 10x15 cm keeps the full width (4000x2656, centred at y 176);
// a square area of it is 3000 wide (centred at x 496).
TEST(FaceSlideTest, SlidesOnlyWhereAFaceWouldBeCutAndKeepsTheMostFaceArea) {
    const TCropRect wide{0, 176, 4000, 2656}, square{496, 0, 3000, 3000};
    const std::vector<TSlideCase> cases{
        {"no faces: centred", 4000, 3000, wide, {}, wide},
        {"faces well inside: centred", 4000, 3000, wide, {{1800, 1200, 300, 300}}, wide},
        {"a face at the top edge: up to the edge", 4000, 3000, wide, {{1800, 40, 300, 300}},
         {0, 0, 4000, 2656}},
        {"a face at the bottom edge: down to the last grid line", 4000, 3000, wide,
         {{1800, 2650, 300, 300}}, {0, 336, 4000, 2656}},
        {"a face whose hair would be cut: room above it", 4000, 3000, wide,
         {{1800, 200, 300, 300}}, {0, 0, 4000, 2656}},
        {"a face at the left edge of a square", 4000, 3000, square, {{100, 1200, 300, 300}},
         {0, 0, 3000, 3000}},
        {"a face at the right edge of a square", 4000, 3000, square, {{3650, 1200, 300, 300}},
         {992, 0, 3000, 3000}},
        {"two faces at both sides that fit only without room: centred on them", 4000, 3000, square,
         {{400, 1200, 300, 300}, {3000, 1200, 300, 300}}, {352, 0, 3000, 3000}},
        {"a group wider than the area: the larger faces stay whole", 4000, 3000, square,
         {{50, 1200, 200, 200}, {3000, 1200, 500, 500}, {3500, 1200, 450, 450}},
         {992, 0, 3000, 3000}},
        {"a face larger than the area: it stays", 4000, 3000, {0, 1000, 4000, 1000},
         {{1000, 500, 2000, 2000}}, {0, 1000, 4000, 1000}},
        {"a face beyond the picture's edge counts as far as it shows", 4000, 3000, square,
         {{-100, 1200, 300, 300}}, {0, 0, 3000, 3000}},
        {"an empty box is no face", 4000, 3000, wide, {{10, 10, 0, 40}}, wide},
    };
    for (const TSlideCase& c : cases) {
        const TCropRect got = SlideToFaces(c.width, c.height, c.area, 16, 16, c.faces);
        EXPECT_EQ(got, c.expected) << c.what << ": got " << got.x << "," << got.y;
    }
}

// Over many made-up photos: the area keeps its size, its corner stays on the grid and
// inside, and every face the centred area kept whole is still kept whole.
TEST(FaceSlideTest, NeverLosesAFaceTheCentredAreaKeptAndStaysOnTheGrid) {
    std::mt19937 random(7);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution(lo, hi)(random); };
    for (int round = 0; round < 20000; ++round) {
        const int32_t width = pick(64, 5000), height = pick(64, 5000);
        const int32_t grid = round % 3 == 0 ? 32 : 16;
        const int32_t w = pick(1, width), h = pick(1, height);
        const TCropRect area{(width - w) / 2 / grid * grid, (height - h) / 2 / grid * grid, w, h};
        std::vector<TCropRect> faces(static_cast<std::size_t>(pick(0, 6)));
        for (TCropRect& f : faces) {
            const int32_t side = pick(8, std::max(8, std::min(width, height) / 3));
            f = {pick(-side / 2, width - side / 2), pick(-side / 2, height - side / 2), side, side};
        }
        const TCropRect got = SlideToFaces(width, height, area, grid, grid, faces);
        ASSERT_EQ(got.width, w);
        ASSERT_EQ(got.height, h);
        if (got.x != area.x) {
            ASSERT_EQ(got.x % grid, 0);
        }
        if (got.y != area.y) {
            ASSERT_EQ(got.y % grid, 0);
        }
        ASSERT_GE(got.x, 0);
        ASSERT_GE(got.y, 0);
        ASSERT_LE(got.x + w, width);
        ASSERT_LE(got.y + h, height);
        bool allKept = !faces.empty();
        for (const TCropRect& f : faces) {
            const TCropRect shown{std::max(0, f.x), std::max(0, f.y),
                                  std::min(width, f.x + f.width) - std::max(0, f.x),
                                  std::min(height, f.y + f.height) - std::max(0, f.y)};
            allKept = allKept && Holds(area, shown);
        }
        if (!allKept) continue;
        for (const TCropRect& f : faces) {
            const TCropRect shown{std::max(0, f.x), std::max(0, f.y),
                                  std::min(width, f.x + f.width) - std::max(0, f.x),
                                  std::min(height, f.y + f.height) - std::max(0, f.y)};
            ASSERT_TRUE(Holds(got, shown)) << "round " << round;
        }
    }
}

// Faces are found in the stored picture; a photo shown turned or mirrored sees them where
// its view has them, less what the view leaves out.
TEST(FaceSlideTest, FacesFollowTheViewsTurn) {
    TJpegLayout layout;
    layout.width = 4000;
    layout.height = 2992;
    layout.blockWidth = layout.blockHeight = 16;
    const TCropRect face{100, 200, 300, 400};
    struct TCase {
        int orientation;
        int32_t rotation;
        TCropRect expected;
    };
    for (const TCase& c : std::vector<TCase>{
             {1, 0, {100, 200, 300, 400}},
             {6, 0, {2392, 100, 400, 300}},  // shown turned right
             {1, 90, {2392, 100, 400, 300}}, // turned by the user alike
             {3, 0, {3600, 2392, 300, 400}},
             {2, 0, {3600, 200, 300, 400}}, // mirrored
             {8, 0, {200, 3600, 400, 300}},
         }) {
        layout.orientation = c.orientation;
        const TJpegView view = ViewOf(layout, true, c.rotation);
        EXPECT_EQ(FaceInView(view, face), c.expected)
            << "orientation " << c.orientation << " rotation " << c.rotation;
    }
    layout.orientation = 1;
    EXPECT_EQ(FaceInView(ViewOf(layout, true, 0), {3900, 2900, 300, 300}),
              (TCropRect{3900, 2900, 100, 92}));
    EXPECT_EQ(FaceInView(ViewOf(layout, true, 0), {5000, 100, 30, 30}).width, 0);
}
