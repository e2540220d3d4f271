#include "jpeg/JpegLayout.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {
/// A stored pixel, and the block it belongs to.
struct TPixel {
    int32_t x = 0, y = 0;
};

/// The picture a view shows, built pixel by pixel: each view pixel holds the
/// stored pixel it shows. Mirrored left to right first, then turned clockwise
/// a quarter at a time, as the EXIF orientations and the user's turns say.
struct TModelView {
    int32_t width = 0, height = 0;
    std::vector<TPixel> pixels; // row by row

    const TPixel& At(int32_t x, int32_t y) const { return pixels[std::size_t(y) * width + x]; }
};

TModelView Turned(int32_t storedWidth, int32_t storedHeight, const TTurn& turn) {
    TModelView v{storedWidth, storedHeight, {}};
    for (int32_t y = 0; y < storedHeight; ++y)
        for (int32_t x = 0; x < storedWidth; ++x)
            v.pixels.push_back({turn.mirror ? storedWidth - 1 - x : x, y});
    for (int q = 0; q < turn.quarters; ++q) {
        // clockwise: the left column becomes the top row
        TModelView t{v.height, v.width, std::vector<TPixel>(v.pixels.size())};
        for (int32_t y = 0; y < v.height; ++y)
            for (int32_t x = 0; x < v.width; ++x)
                t.pixels[std::size_t(x) * t.width + (v.height - 1 - y)] = v.At(x, y);
        v = std::move(t);
    }
    return v;
}

/// The transformer turns whole blocks; a partial block that the turn would
/// bring to the view's left or top edge cannot be turned in place, so that
/// strip is left out. Told by where the stored picture's last column and last
/// row land in the turned picture.
std::pair<int32_t, int32_t> KeptSize(const TJpegLayout& l, const TTurn& turn) {
    const TModelView whole = Turned(l.width, l.height, turn);
    bool lastColumnLeads = true, lastRowLeads = true;
    for (int32_t y = 0; y < whole.height; ++y)
        for (int32_t x = 0; x < whole.width; ++x) {
            const TPixel p = whole.At(x, y);
            if (p.x == l.width - 1 && x != 0 && y != 0) lastColumnLeads = false;
            if (p.y == l.height - 1 && x != 0 && y != 0) lastRowLeads = false;
        }
    // a whole edge on the view's left or top: each of its pixels has x or y 0
    const auto edgeOnLeftOrTop = [&](bool column) {
        bool left = true, top = true;
        for (int32_t y = 0; y < whole.height; ++y)
            for (int32_t x = 0; x < whole.width; ++x) {
                const TPixel p = whole.At(x, y);
                if (column ? p.x != l.width - 1 : p.y != l.height - 1) continue;
                left &= x == 0;
                top &= y == 0;
            }
        return left || top;
    };
    int32_t w = l.width, h = l.height;
    if (lastColumnLeads && edgeOnLeftOrTop(true)) w = l.width / l.blockWidth * l.blockWidth;
    if (lastRowLeads && edgeOnLeftOrTop(false)) h = l.height / l.blockHeight * l.blockHeight;
    return {w, h};
}

/// The stored block a pixel lies in, as one number.
int32_t BlockOf(const TPixel& p, const TJpegLayout& l) {
    return (p.y / l.blockHeight) * 1000 + p.x / l.blockWidth;
}

/// The largest run inside [from, from + length) and [0, limit) whose start is
/// a block boundary of the view, found by trying every start; {0, 0} for none.
std::pair<int32_t, int32_t> LargestRun(int32_t from, int32_t length, int32_t limit,
                                       const std::vector<bool>& boundary) {
    std::pair<int32_t, int32_t> best{0, 0};
    const int32_t end = std::min(from + length, limit);
    for (int32_t start = std::max(0, from); start < end; ++start)
        if (boundary[std::size_t(start)] && end - start > best.second) best = {start, end - start};
    return best;
}

struct TSampling {
    const char* name;
    int32_t blockWidth, blockHeight;
};
} // namespace

// Every sampling, every orientation, every turn and corners across a block,
// against a picture turned pixel by pixel: the view shows whole blocks from
// its corner on, ExactCut's corner is a block corner of the stored picture,
// the cut lies inside the area asked for and is the largest such, and the
// view mapping carries the cut back to the stored pixels it shows.
TEST(JpegLayoutTest, ViewsAndExactCutsAgreeWithAPictureTurnedPixelByPixel) {
    const TSampling samplings[] = {
        {"4:4:4", 8, 8}, {"4:2:0", 16, 16}, {"4:2:2", 16, 8}, {"4:4:0", 8, 16}, {"4:1:1", 32, 8}};
    int cuts = 0;
    for (const TSampling& s : samplings)
        for (const int32_t extraW : {0, 1, s.blockWidth - 1})
            for (const int32_t extraH : {0, 3, s.blockHeight - 1})
                for (int orientation = 1; orientation <= 8; ++orientation)
                    for (const int32_t rotation : {0, 90, 180, 270}) {
                        TJpegLayout l;
                        l.width = 2 * s.blockWidth + extraW;
                        l.height = 2 * s.blockHeight + extraH;
                        l.blockWidth = s.blockWidth;
                        l.blockHeight = s.blockHeight;
                        l.orientation = orientation;
                        SCOPED_TRACE(std::string(s.name) + " " + std::to_string(l.width) + "x" +
                                     std::to_string(l.height) + " orientation " +
                                     std::to_string(orientation) + " turned " +
                                     std::to_string(rotation));
                        const TJpegView view = ViewOf(l, true, rotation);
                        const TTurn turn = OrientationTurn(orientation).Then(rotation);
                        ASSERT_EQ(view.turn, turn);
                        const auto [keptW, keptH] = KeptSize(l, turn);
                        const TModelView model = Turned(keptW, keptH, turn);
                        ASSERT_EQ(view.width, model.width);
                        ASSERT_EQ(view.height, model.height);
                        ASSERT_EQ(view.storedWidth, keptW);
                        ASSERT_EQ(view.storedHeight, keptH);

                        // each cell of the view's grid shows one stored block
                        for (int32_t y = 0; y < model.height; ++y)
                            for (int32_t x = 0; x < model.width; ++x)
                                ASSERT_EQ(BlockOf(model.At(x, y), l),
                                          BlockOf(model.At(x - x % view.blockWidth,
                                                           y - y % view.blockHeight),
                                                  l))
                                    << "at " << x << "," << y;
                        // where a new stored block starts, along each of the view's axes
                        std::vector<bool> column(std::size_t(model.width)),
                            row(std::size_t(model.height));
                        for (int32_t x = 0; x < model.width; ++x)
                            column[std::size_t(x)] = x == 0 || BlockOf(model.At(x, 0), l) !=
                                                                   BlockOf(model.At(x - 1, 0), l);
                        for (int32_t y = 0; y < model.height; ++y)
                            row[std::size_t(y)] = y == 0 || BlockOf(model.At(0, y), l) !=
                                                                BlockOf(model.At(0, y - 1), l);

                        const int32_t bw = view.blockWidth, bh = view.blockHeight;
                        for (const int32_t x : {-1, 0, 1, bw - 1, bw, bw + 1})
                            for (const int32_t y : {-1, 0, 1, bh - 1, bh, bh + 1})
                                for (const int32_t size : {bw + 3, 4 * bw})
                                    for (const int32_t tall : {bh, 3 * bh + 5}) {
                                        const TCropRect asked{x, y, size, tall};
                                        const TCropRect cut = ExactCut(view, asked);
                                        ++cuts;
                                        const auto [cx, cw] =
                                            LargestRun(x, size, model.width, column);
                                        const auto [cy, ch] =
                                            LargestRun(y, tall, model.height, row);
                                        const TCropRect expected = cw > 0 && ch > 0
                                                                       ? TCropRect{cx, cy, cw, ch}
                                                                       : TCropRect{};
                                        if (expected.width == 0 || expected.height == 0) {
                                            EXPECT_TRUE(cut.width <= 0 || cut.height <= 0);
                                            continue;
                                        }
                                        ASSERT_EQ(cut, expected) << "asked " << x << "," << y << " "
                                                                 << size << "x" << tall;
                                        // the stored pixels the cut shows, framed
                                        int32_t left = keptW, top = keptH, right = 0, bottom = 0;
                                        for (const int32_t vy : {cut.y, cut.y + cut.height - 1})
                                            for (const int32_t vx :
                                                 {cut.x, cut.x + cut.width - 1}) {
                                                const TPixel p = model.At(vx, vy);
                                                left = std::min(left, p.x);
                                                top = std::min(top, p.y);
                                                right = std::max(right, p.x + 1);
                                                bottom = std::max(bottom, p.y + 1);
                                            }
                                        const TCropRect stored{left, top, right - left,
                                                               bottom - top};
                                        ASSERT_EQ(FromView(view, cut), stored);
                                        ASSERT_EQ(ToView(view, stored), cut);
                                    }
                    }
    EXPECT_GT(cuts, 100000);
}

TEST(JpegLayoutTest, OrientationsAreTheTurnsThatShowThePictureUpright) {
    // the pixel stored at the top-left corner, shown where EXIF says it belongs
    const struct {
        int orientation;
        int32_t x, y; // where the stored corner shows in a 3x2 stored picture
    } cases[] = {{1, 0, 0}, {2, 2, 0}, {3, 2, 1}, {4, 0, 1},
                 {5, 0, 0}, {6, 1, 0}, {7, 1, 2}, {8, 0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        const TModelView v = Turned(3, 2, OrientationTurn(c.orientation));
        EXPECT_EQ(v.At(c.x, c.y).x, 0);
        EXPECT_EQ(v.At(c.x, c.y).y, 0);
    }
}
