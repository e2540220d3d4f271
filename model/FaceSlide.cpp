#include "model/FaceSlide.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace {
struct TBox {
    int64_t left = 0, top = 0, right = 0, bottom = 0;
    int64_t Area() const { return (right - left) * (bottom - top); }
    bool Inside(int64_t x, int64_t y, int64_t w, int64_t h) const {
        return left >= x && top >= y && right <= x + w && bottom <= y + h;
    }
};

struct TFace {
    TBox box;
    TBox room; // the box with the room a print wants around a face, cut to the picture
};

/// The start along one axis that holds [from, to) of every face given, centred
/// on their span: the grid line nearest to that within where they all fit;
/// nothing when none is.
std::optional<int64_t> Fit(int64_t from, int64_t to, int64_t size, int64_t limit, int64_t grid) {
    const int64_t lo = std::max<int64_t>(0, to - size);
    const int64_t hi = std::min<int64_t>(limit - size, from);
    const int64_t first = (lo + grid - 1) / grid * grid, last = hi < 0 ? -1 : hi / grid * grid;
    if (first > last) return std::nullopt;
    const int64_t want = (from + to - size) / 2;
    const int64_t below = std::clamp(want < 0 ? 0 : want / grid * grid, first, last);
    const int64_t above = std::min(below + grid, last);
    return std::llabs(above - want) < std::llabs(want - below) ? above : below;
}

/// The area's corner that holds every face chosen (their boxes with room, or
/// without), or nothing.
std::optional<std::pair<int64_t, int64_t>> Place(const std::vector<const TBox*>& boxes,
                                                 int64_t width, int64_t height, int64_t w,
                                                 int64_t h, int64_t gx, int64_t gy) {
    if (boxes.empty()) return std::nullopt;
    TBox span = *boxes.front();
    for (const TBox* b : boxes) {
        span.left = std::min(span.left, b->left);
        span.top = std::min(span.top, b->top);
        span.right = std::max(span.right, b->right);
        span.bottom = std::max(span.bottom, b->bottom);
    }
    const auto x = Fit(span.left, span.right, w, width, gx);
    const auto y = Fit(span.top, span.bottom, h, height, gy);
    if (!x || !y) return std::nullopt;
    return std::pair(*x, *y);
}
} // namespace

TCropRect SlideToFaces(int32_t width, int32_t height, const TCropRect& area, int32_t gridX,
                       int32_t gridY, const std::vector<TCropRect>& faces) {
    const int64_t w = area.width, h = area.height;
    if (faces.empty() || w <= 0 || h <= 0 || w > width || h > height) return area;
    const int64_t gx = std::max(1, gridX), gy = std::max(1, gridY);

    std::vector<TFace> found;
    for (const TCropRect& f : faces) {
        if (f.width <= 0 || f.height <= 0) continue;
        TFace face;
        face.box = {f.x, f.y, int64_t(f.x) + f.width, int64_t(f.y) + f.height};
        // a face is framed with room for the hair above and the chin below
        face.room = {std::max<int64_t>(0, f.x - f.width / 4), std::max<int64_t>(0, f.y - f.height / 2),
                     std::min<int64_t>(width, int64_t(f.x) + f.width + f.width / 4),
                     std::min<int64_t>(height, int64_t(f.y) + f.height + f.height / 5)};
        // the box itself within the picture: a face cut by the picture's edge is
        // kept as far as it shows
        face.box = {std::max<int64_t>(0, face.box.left), std::max<int64_t>(0, face.box.top),
                    std::min<int64_t>(width, face.box.right),
                    std::min<int64_t>(height, face.box.bottom)};
        if (face.box.right <= face.box.left || face.box.bottom <= face.box.top) continue;
        face.room.left = std::min(face.room.left, face.box.left);
        face.room.top = std::min(face.room.top, face.box.top);
        face.room.right = std::max(face.room.right, face.box.right);
        face.room.bottom = std::max(face.room.bottom, face.box.bottom);
        found.push_back(face);
    }
    if (found.empty()) return area;
    if (std::all_of(found.begin(), found.end(),
                    [&](const TFace& f) { return f.room.Inside(area.x, area.y, w, h); }))
        return area;

    const auto placeAll = [&](const std::vector<const TFace*>& chosen)
        -> std::optional<std::pair<int64_t, int64_t>> {
        std::vector<const TBox*> rooms, boxes;
        for (const TFace* f : chosen) {
            rooms.push_back(&f->room);
            boxes.push_back(&f->box);
        }
        if (auto at = Place(rooms, width, height, w, h, gx, gy)) return at;
        return Place(boxes, width, height, w, h, gx, gy);
    };
    const auto rect = [&](std::pair<int64_t, int64_t> at) {
        return TCropRect{int32_t(at.first), int32_t(at.second), area.width, area.height};
    };

    std::vector<const TFace*> all;
    for (const TFace& f : found)
        all.push_back(&f);
    if (auto at = placeAll(all)) return rect(*at);

    // they cannot all fit: the corner that keeps the largest total face area whole
    // (then the most faces with their room, then the least way from where it was)
    const auto candidates = [&](auto lowOf, auto highOf, int64_t size, int64_t limit,
                                int64_t grid, int64_t now) {
        std::vector<int64_t> at{now};
        for (const TFace& f : found)
            for (int64_t v : {lowOf(f.box), highOf(f.box) - size, lowOf(f.room),
                              highOf(f.room) - size}) {
                v = std::clamp<int64_t>(v, 0, limit - size);
                at.push_back(v / grid * grid);
                if (v % grid != 0 && v / grid * grid + grid <= limit - size)
                    at.push_back(v / grid * grid + grid);
            }
        std::sort(at.begin(), at.end());
        at.erase(std::unique(at.begin(), at.end()), at.end());
        return at;
    };
    const std::vector<int64_t> xs = candidates([](const TBox& b) { return b.left; },
                                               [](const TBox& b) { return b.right; }, w, width,
                                               gx, area.x);
    const std::vector<int64_t> ys = candidates([](const TBox& b) { return b.top; },
                                               [](const TBox& b) { return b.bottom; }, h, height,
                                               gy, area.y);
    struct TScore {
        int64_t kept = -1, roomy = 0, way = 0;
        bool Better(const TScore& o) const {
            if (kept != o.kept) return kept > o.kept;
            if (roomy != o.roomy) return roomy > o.roomy;
            return way < o.way;
        }
    };
    const auto keptArea = [&](int64_t x, int64_t y, int64_t* roomy) {
        int64_t kept = 0;
        for (const TFace& f : found) {
            if (f.box.Inside(x, y, w, h)) kept += f.box.Area();
            if (roomy && f.room.Inside(x, y, w, h)) ++*roomy;
        }
        return kept;
    };
    TScore best;
    std::pair<int64_t, int64_t> bestAt{area.x, area.y};
    for (int64_t x : xs)
        for (int64_t y : ys) {
            TScore s{0, 0, std::llabs(x - area.x) + std::llabs(y - area.y)};
            s.kept = keptArea(x, y, &s.roomy);
            if (s.Better(best)) {
                best = s;
                bestAt = {x, y};
            }
        }
    if (best.kept <= 0) return area; // no face fits whole: nothing to keep
    // centred on the faces it keeps, where that keeps as much
    std::vector<const TFace*> keep;
    for (const TFace& f : found)
        if (f.box.Inside(bestAt.first, bestAt.second, w, h)) keep.push_back(&f);
    if (const auto at = placeAll(keep); at && keptArea(at->first, at->second, nullptr) >= best.kept)
        return rect(*at);
    return rect(bestAt);
}

TCropRect FaceInView(const TJpegView& view, const TCropRect& storedFace) {
    const TCropRect r = ToView(view, storedFace);
    const int64_t left = std::max<int64_t>(0, r.x), top = std::max<int64_t>(0, r.y);
    const int64_t right = std::min<int64_t>(view.width, int64_t(r.x) + r.width);
    const int64_t bottom = std::min<int64_t>(view.height, int64_t(r.y) + r.height);
    if (right <= left || bottom <= top) return {};
    return {int32_t(left), int32_t(top), int32_t(right - left), int32_t(bottom - top)};
}

std::vector<TCropRect> FacesInView(const TJpegView& view, const std::vector<TCropRect>& storedFaces) {
    std::vector<TCropRect> faces;
    for (const TCropRect& f : storedFaces)
        if (const TCropRect r = FaceInView(view, f); r.width > 0) faces.push_back(r);
    return faces;
}
