#include "model/CropArea.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/FaceSlide.h"

namespace {
// Quotients and products are formed with a 64-bit significand before truncation,
// which decides cases such as 330 x (4000 / 3000) = 439.99...
using TExtended = long double;

int32_t Trunc(TExtended v) {
    return TruncPixels(v);
}

int32_t Snap(int32_t v, int32_t step) {
    return v / step * step;
}

/// Sum kept inside the 32-bit range.
int32_t Add(int32_t a, int64_t b) {
    return int32_t(std::clamp<int64_t>(a + b, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

bool PositiveSize(double v) {
    return v > 0.0 && std::isfinite(v);
}
} // namespace

int32_t TruncPixels(long double v) {
    if (std::isnan(v)) return 0;
    if (v >= TExtended(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (v <= TExtended(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    const TExtended whole = std::nearbyint(v);
    if (std::fabs(v - whole) < TExtended(1e-9)) return int32_t(whole);
    return int32_t(v);
}

void TCropArea::SetGrid(int32_t gridX, int32_t gridY, int32_t gridWidth, int32_t gridHeight) {
    // a step below 1 would divide by zero when snapping
    gridX_ = std::max(1, gridX);
    gridY_ = std::max(1, gridY);
    gridWidth_ = std::max(1, gridWidth);
    gridHeight_ = std::max(1, gridHeight);
}

void TCropArea::SetSteps(int32_t fine, int32_t normal, int32_t coarse) {
    fineStep_ = fine;
    normalStep_ = normal;
    coarseStep_ = coarse;
}

int32_t TCropArea::CropHeight() const {
    int32_t h = storedHeight_;
    if (kind_ == "defined")
        h = Trunc(TExtended(cropWidth_) / (TExtended(aspectH_) / TExtended(aspectV_)));
    h = Snap(h, gridHeight_);
    if (h == 0 && cropWidth_ > 0) h = gridHeight_;
    // a portrait area turned after the crop needs its bottom edge on the grid too
    if (wholeBlockPortrait_ && h > cropWidth_ && h >= GridY()) h = Snap(h, GridY());
    return h;
}

TCropRect TCropArea::GetCrop() const {
    return {cropX_, cropY_, cropWidth_, CropHeight()};
}

void TCropArea::Recalculate() {
    if (!shown_) return;
    cropX_ = std::max(0, cropX_);
    cropY_ = std::max(0, cropY_);
    cropWidth_ = std::max(gridWidth_, cropWidth_);
    storedHeight_ = std::max(gridHeight_, storedHeight_);
    if (cropWidth_ > imageWidth_) cropWidth_ = imageWidth_;
    const bool defined = kind_ == "defined";
    if (defined) {
        if (CropHeight() > imageHeight_)
            cropWidth_ = Trunc(TExtended(aspectH_) / TExtended(aspectV_) * imageHeight_);
    } else if (storedHeight_ > imageHeight_) {
        storedHeight_ = imageHeight_;
    }
    if (int64_t(cropX_) + cropWidth_ > imageWidth_) cropX_ = imageWidth_ - cropWidth_;
    const int64_t bottom = int64_t(cropY_) + (defined ? CropHeight() : storedHeight_);
    if (bottom > imageHeight_) cropY_ = imageHeight_ - CropHeight();
    // the lossless cut starts on the block grid, so the corner snaps up and left
    if (GridX() > 1 || GridY() > 1 || gridWidth_ > 1 || gridHeight_ > 1) {
        cropX_ = Snap(cropX_, GridX());
        cropY_ = Snap(cropY_, GridY());
        cropWidth_ = Snap(cropWidth_, gridWidth_);
    }
}

void TCropArea::SetAspect(const std::string& kind, double horizontal, double vertical) {
    turnTrail_.clear(); // the areas remembered belong to the old aspect
    aspectH_ = horizontal;
    aspectV_ = vertical;
    if (kind == "nocrop" || kind == "defined" || kind == "fixed")
        SetKind(kind);
    else
        SetKind("free");
    // without two sizes there is no ratio; "nocrop" has none and needs none
    if (kind_ != "nocrop" && (!PositiveSize(aspectH_) || !PositiveSize(aspectV_))) SetKind("free");
    if (kind_ == "fixed" && (imageWidth_ < aspectH_ || imageHeight_ < aspectV_))
        SetKind("nocrop"); // a fixed size larger than the image cannot be cut
    Recalculate();
}

void TCropArea::SetKind(const std::string& kind) {
    kind_ = kind;
    SetCropVisible(kind != "nocrop");
}

void TCropArea::SetCropVisible(bool visible) {
    if (kind_ == "nocrop") visible = false;
    if (visible == cropVisible_) return;
    cropVisible_ = visible;
    Recalculate();
}

void TCropArea::SetArea(int32_t x, int32_t y, int32_t width) {
    cropX_ = x;
    cropY_ = y;
    cropWidth_ = width;
    Recalculate();
}

void TCropArea::SetPosition(int32_t x, int32_t y) {
    cropX_ = x;
    cropY_ = y;
    Recalculate();
}

void TCropArea::Restore(const TCropRect& area) {
    storedHeight_ = area.height;
    SetArea(area.x, area.y, area.width);
}

void TCropArea::Maximize() {
    if (kind_ == "fixed") {
        storedHeight_ = Trunc(aspectV_);
        SetArea(0, 0, Trunc(aspectH_));
    } else {
        storedHeight_ = imageHeight_;
        SetArea(0, 0, imageWidth_);
    }
}

void TCropArea::Center() {
    SetPosition((imageWidth_ - cropWidth_) / 2, (imageHeight_ - CropHeight()) / 2);
}

void TCropArea::Propose(const std::string& kind, double horizontal, double vertical, bool flipped) {
    if (flipped)
        SetAspect(kind, vertical, horizontal);
    else
        SetAspect(kind, horizontal, vertical);
    Maximize();
    Center();
}

void TCropArea::SetWholeBlockPortrait(bool on) {
    if (on == wholeBlockPortrait_) return;
    wholeBlockPortrait_ = on;
    Recalculate();
}

void TCropArea::SetStoredHeight(int32_t height) {
    storedHeight_ = height;
    Recalculate();
}

bool TCropArea::Move(int columns, int rows) {
    if (!Editable()) return false;
    SetPosition(Add(cropX_, int64_t(columns) * GridX()), Add(cropY_, int64_t(rows) * GridY()));
    return true;
}

bool TCropArea::Grow(int sign, TStep size) {
    if (!Editable()) return false;
    if (kind_ == "fixed") return true; // a fixed size is handled but stays
    int32_t step = normalStep_;
    if (size == TStep::Fine)
        step = fineStep_;
    else if (size == TStep::Coarse)
        step = coarseStep_;
    step = std::max(gridWidth_, step / gridWidth_ * gridWidth_);
    const int32_t width = Add(cropWidth_, int64_t(sign) * step);
    if (kind_ == "free") storedHeight_ = Add(storedHeight_, int64_t(sign) * step);
    // the corner follows a size change by a whole grid step every second step
    const int32_t gx = GridX(), gy = GridY();
    const int32_t dx = std::max(gx, step / gx * gx);
    int32_t dy = std::max(gy, step / gy * gy);
    if (kind_ == "defined")
        dy = std::max(gy, Trunc(step / (TExtended(aspectH_) / TExtended(aspectV_))) / gy * gy);
    int32_t x = cropX_;
    int32_t y = cropY_;
    if (width % (2 * int64_t(dx)) == 1) {
        x = Add(x, -int64_t(sign) * dx);
        y = Add(y, -int64_t(sign) * dy);
    }
    SetArea(x, y, width);
    return true;
}

void TCropArea::Open(const TJpegView& view) {
    imageWidth_ = view.width;
    imageHeight_ = view.height;
    blockX_ = std::max(1, view.blockWidth);
    blockY_ = std::max(1, view.blockHeight);
    cropX_ = 0;
    cropY_ = 0;
    cropWidth_ = imageWidth_;
    storedHeight_ = kind_ == "defined" ? CropHeight() : imageHeight_;
    shown_ = true;
    Recalculate();
    Center();
}

void TCropArea::SetView(const TJpegView& view) {
    imageWidth_ = view.width;
    imageHeight_ = view.height;
    blockX_ = std::max(1, view.blockWidth);
    blockY_ = std::max(1, view.blockHeight);
    Recalculate();
}

bool TCropArea::TakesTurn(int32_t degrees) const {
    return degrees != rotation_ &&
           (degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270);
}

bool TCropArea::Turn(int32_t degrees, const TJpegView& view) {
    if (!TakesTurn(degrees)) return false;
    const int32_t old = rotation_;
    const TCropRect before = GetCrop();
    const int32_t oldWidth = imageWidth_, oldHeight = imageHeight_;
    rotation_ = degrees;
    if (!shown_) return true;
    SetView(view);
    TurnArea(old, (degrees - old + 360) % 360, before, oldWidth, oldHeight);
    return true;
}

namespace {
/// The nearest grid line at or after zero, halves rounding up.
int32_t NearestOnGrid(int32_t v, int32_t step) {
    return v <= 0 ? 0 : int32_t((int64_t(v) + step / 2) / step * step);
}
} // namespace

void TCropArea::TurnArea(int32_t from, int32_t turn, const TCropRect& r, int32_t w, int32_t h) {
    // a turn straight back to where the last turns started restores that area exactly,
    // whatever the grid and the rounding made of it on the way
    if (!turnTrail_.empty() && !(r == turnResult_)) turnTrail_.clear();
    const bool quarter = turn == 90 || turn == 270;
    if (quarter && (kind_ == "defined" || kind_ == "fixed")) std::swap(aspectH_, aspectV_);
    TCropRect t = r;
    if (turn == 90) {
        t = {h - r.y - r.height, r.x, r.height, r.width};
    } else if (turn == 270) {
        t = {r.y, w - r.x - r.width, r.height, r.width};
    } else if (turn == 180) {
        t = {w - r.x - r.width, h - r.y - r.height, r.width, r.height};
    }
    if (std::none_of(turnTrail_.begin(), turnTrail_.end(),
                     [from](const auto& step) { return step.first == from; }))
        turnTrail_.emplace_back(from, r);
    for (const auto& [rotation, rect] : turnTrail_)
        if (rotation == rotation_) t = rect;
    cropX_ = NearestOnGrid(t.x, GridX());
    cropY_ = NearestOnGrid(t.y, GridY());
    cropWidth_ = t.width;
    storedHeight_ = t.height;
    if (kind_ == "defined") {
        // the height follows the width: take the width whose height comes nearest
        // to the turned one without passing it
        for (int i = 0; i < 4 && CropHeight() < t.height; ++i) {
            ++cropWidth_;
            if (CropHeight() > t.height) {
                --cropWidth_;
                break;
            }
        }
    }
    Recalculate();
    turnResult_ = GetCrop();
}

bool TCropArea::KeepFaces(const std::vector<TCropRect>& faces) {
    if (!Editable() || faces.empty()) return false;
    const TCropRect now = GetCrop();
    const TCropRect to = SlideToFaces(imageWidth_, imageHeight_, now, GridX(), GridY(), faces);
    if (to == now) return false;
    SetPosition(to.x, to.y);
    return true;
}

std::string KindOfUnit(const std::string& unit) {
    if (unit == "nocrop" || unit == "free") return unit;
    return unit == "pixels" ? "fixed" : "defined";
}

TCropProposal ProposeCrop(const TJpegLayout& layout, const std::string& unit, double horizontal,
                          double vertical, bool autoFlip, bool honourOrientation,
                          bool wholeBlockPortrait, const std::vector<TCropRect>& faces) {
    // as a newly added frame: the whole view, shown, then the aspect with the flip
    // for a portrait view, centred once more
    TCropArea area;
    area.UseBlockGrid();
    area.SetWholeBlockPortrait(wholeBlockPortrait);
    const TJpegView view = ViewOf(layout, honourOrientation, 0);
    area.Open(view);
    area.SetCropVisible(true);
    const std::string kind = KindOfUnit(unit);
    const bool flipped = autoFlip && area.IsPortrait();
    area.Propose(kind, horizontal, vertical, flipped);
    area.Center();
    if (!faces.empty()) area.KeepFaces(FacesInView(view, faces));
    return {
        area.GetCrop(),    area.Kind(),        flipped, honourOrientation ? layout.orientation : 1,
        area.ImageWidth(), area.ImageHeight(), layout};
}

TCropProposal ProposeCrop(const std::string& fileName, const std::string& unit, double horizontal,
                          double vertical, bool autoFlip, bool honourOrientation,
                          bool wholeBlockPortrait) {
    return ProposeCrop(ReadJpegLayout(fileName), unit, horizontal, vertical, autoFlip,
                       honourOrientation, wholeBlockPortrait);
}
