#include "model/CropArea.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "core/Error.h"
#include "core/Events.h"

namespace {
// Quotients and products are formed with a 64-bit significand before truncation,
// which decides cases such as 330 x (4000 / 3000) = 439.99...
using TExtended = long double;

/// Truncates toward zero; values beyond the 32-bit range saturate and NaN gives 0,
/// so that a degenerate aspect cannot overflow the conversion. A value within
/// 1e-9 of a whole number is that number: an exact ratio such as 19.05 : 12.7
/// stored in binary must not lose a pixel (3000 / 1.5 = 1999.99...).
int32_t Trunc(TExtended v) {
    if (std::isnan(v)) return 0;
    if (v >= TExtended(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (v <= TExtended(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    const TExtended whole = std::nearbyint(v);
    if (std::fabs(v - whole) < TExtended(1e-9)) return int32_t(whole);
    return int32_t(v);
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

TCropArea::TCropArea(ISubject* subject, TObject* sender)
    : subject_(subject ? subject : &ownSubject_), sender_(sender ? sender : this),
      reader_([this](const std::string& file, int32_t rotation, int32_t height) {
          return ReadJpegThumbnail(file, rotation, height, {}, honourOrientation_);
      }) {}

void TCropArea::SetEventTarget(ISubject* subject, TObject* sender) {
    subject_ = subject ? subject : &ownSubject_;
    sender_ = sender ? sender : this;
}

void TCropArea::Notify(const std::string& event) {
    subject_->Notify(sender_, event, std::string());
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
    if (!loaded_) return;
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
    if (repaint_) repaint_();
    Notify(Events::Recalculated);
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

bool TCropArea::HandleKey(int& key, TShiftState shift) {
    if (!loaded_ || !cropVisible_) return false;
    switch (key) {
    case kKeySpace:
        Notify(Events::FlipAspect);
        return true;
    case kKeyPageUp:
        Notify(Events::PreviousImage);
        return true;
    case kKeyPageDown:
        Notify(Events::NextImage);
        return true;
    case kKeyEnd:
        Notify(Events::EndImage);
        return true;
    case kKeyHome:
        Notify(Events::HomeImage);
        return true;
    case kKeyLeft:
        SetPosition(Add(cropX_, -int64_t(GridX())), cropY_);
        return true;
    case kKeyRight:
        SetPosition(Add(cropX_, GridX()), cropY_);
        return true;
    case kKeyUp:
        SetPosition(cropX_, Add(cropY_, -int64_t(GridY())));
        return true;
    case kKeyDown:
        SetPosition(cropX_, Add(cropY_, GridY()));
        return true;
    case kKeyAdd:
    case kKeySubtract:
        if (kind_ != "fixed") Resize(key == kKeyAdd ? 1 : -1, shift);
        key = 0; // no other control sees a resize key
        return true;
    default:
        return false;
    }
}

void TCropArea::Resize(int sign, TShiftState shift) {
    int32_t step = normalStep_;
    if (shift == kShift)
        step = fineStep_;
    else if (shift == kCtrl)
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
}

void TCropArea::SetThumbPosition(int32_t tx, int32_t ty) {
    if (!loaded_) return;
    cropX_ = Trunc(imageWidth_ * (TExtended(tx) / thumbWidth_));
    cropY_ = Trunc(imageHeight_ * (TExtended(ty) / thumbHeight_));
    Recalculate();
    Recalculate();
}

void TCropArea::SetThumbWidth(int32_t tw) {
    if (!loaded_) return;
    cropWidth_ = Trunc(TExtended(tw) / thumbWidth_ * imageWidth_);
    Recalculate();
}

void TCropArea::SetThumbHeight(int32_t th) {
    if (!loaded_) return;
    if (kind_ == "defined")
        cropWidth_ = Trunc(TExtended(th) / thumbHeight_ * imageHeight_ *
                           (TExtended(aspectH_) / TExtended(aspectV_)));
    else
        storedHeight_ = Trunc(TExtended(th) / thumbHeight_ * imageHeight_);
    Recalculate();
}

bool TCropArea::GetThumbCrop(TCropRect& rect) const {
    if (!loaded_) return false;
    rect.x = Trunc(TExtended(cropX_) / imageWidth_ * thumbWidth_);
    rect.y = Trunc(TExtended(cropY_) / imageHeight_ * thumbHeight_);
    rect.width = Trunc(TExtended(cropWidth_) / imageWidth_ * thumbWidth_);
    rect.height = Trunc(TExtended(CropHeight()) / imageHeight_ * thumbHeight_);
    return true;
}

bool TCropArea::LoadImage(const std::string& fileName) {
    TThumbnail thumb;
    try {
        thumb = reader_(fileName, rotation_, DecodeHeight());
    } catch (const std::exception&) {
        return false;
    }
    return LoadThumbnail(fileName, std::move(thumb));
}

bool TCropArea::LoadThumbnail(const std::string& fileName, TThumbnail thumb) {
    sourceLayout_ = thumb.layout;
    SetThumbnail(std::move(thumb));
    fileName_ = fileName;
    cropX_ = 0;
    cropY_ = 0;
    cropWidth_ = imageWidth_;
    storedHeight_ = kind_ == "defined" ? CropHeight() : imageHeight_;
    loaded_ = true;
    Recalculate();
    Center();
    return true;
}

void TCropArea::ReadImage(const std::string& fileName) {
    // decode completely before touching any state, so a failure changes nothing
    SetThumbnail(reader_(fileName, rotation_, DecodeHeight()));
}

void TCropArea::DropThumbnail() {
    thumbnail_ = TBitmap();
    ++thumbnailVersion_;
    work_ = TBitmap();
}

void TCropArea::SetThumbnail(TThumbnail thumb) {
    imageWidth_ = thumb.imageWidth;
    imageHeight_ = thumb.imageHeight;
    imageRatio_ = thumb.imageRatio;
    thumbWidth_ = thumb.thumbWidth;
    thumbHeight_ = thumb.thumbHeight;
    if (pixelRatio_ != 1.0) {
        // decoded at device pixels: the surface sizes are those a decode at ratio 1
        // would have given, so the area behaves alike at every ratio
        if (thumb.thumbHeight == DecodeHeight()) {
            thumbHeight_ = std::max(1, surfaceHeight_);
            thumbWidth_ = std::max(1, ThumbWidthFor(thumbHeight_, imageRatio_));
        } else {
            thumbWidth_ = std::max(1, int32_t(std::lround(thumb.thumbWidth / pixelRatio_)));
            thumbHeight_ = std::max(1, int32_t(std::lround(thumb.thumbHeight / pixelRatio_)));
        }
    }
    thumbnail_ = std::move(thumb.bitmap);
    ++thumbnailVersion_;
    orientation_ = thumb.orientation;
    incomplete_ = thumb.truncated;
    blockX_ = std::max(1, thumb.blockWidth);
    blockY_ = std::max(1, thumb.blockHeight);
    work_ = TBitmap();
    Recalculate();
}

TBitmap& TCropArea::WorkBitmap() {
    if (!thumbnail_.Empty() &&
        (work_.Width() != thumbnail_.Width() || work_.Height() != thumbnail_.Height()))
        work_ = TBitmap(thumbnail_.Width(), thumbnail_.Height(), 24);
    return work_;
}

void TCropArea::Reload() {
    if (loaded_) ReadImage(fileName_);
}

void TCropArea::SetRotation(int32_t degrees) {
    if (degrees == rotation_ || (degrees != 0 && degrees != 90 && degrees != 180 && degrees != 270))
        return;
    const int32_t old = rotation_;
    const TCropRect before = GetCrop();
    const int32_t oldWidth = imageWidth_, oldHeight = imageHeight_;
    rotation_ = degrees;
    if (!loaded_) return;
    try {
        ReadImage(fileName_);
    } catch (...) {
        rotation_ = old; // the sizes still belong to the old turn
        throw;
    }
    TurnArea(old, (degrees - old + 360) % 360, before, oldWidth, oldHeight);
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

void TCropArea::SetSurfaceSize(int32_t width, int32_t height) {
    surfaceWidth_ = width;
    surfaceHeight_ = height;
}

void TCropArea::SetPixelRatio(double ratio) {
    pixelRatio_ = PositiveSize(ratio) ? ratio : 1.0;
}

int32_t DeviceHeight(int32_t surfaceHeight, double pixelRatio) {
    const int32_t h = std::max(1, surfaceHeight);
    if (pixelRatio == 1.0) return h;
    return int32_t(std::clamp<double>(std::lround(h * pixelRatio), 1, kMaxThumbnailSide));
}

void TCropArea::FitThumbnail() {
    if (!loaded_) return;
    // a surface not laid out yet (size 0) still gets a thumbnail of at least one pixel
    thumbHeight_ = std::max(1, surfaceHeight_);
    thumbWidth_ = std::max(1, ThumbWidthFor(thumbHeight_, imageRatio_));
    if (surfaceWidth_ > 0 && surfaceWidth_ < thumbWidth_) {
        thumbWidth_ = std::max(1, surfaceWidth_);
        thumbHeight_ = std::max(1, Trunc(TExtended(thumbWidth_) / TExtended(imageRatio_)));
    }
}

int32_t TCropArea::PreferredWidth(int32_t height) const {
    return ThumbWidthFor(height, imageRatio_);
}

std::string TCropArea::PositionText() const {
    return "(" + std::to_string(cropX_) + ", " + std::to_string(cropY_) + ")";
}

std::string TCropArea::SizeText() const {
    const TCropRect r = GetCrop();
    return std::to_string(r.width) + "x" + std::to_string(r.height);
}

std::string KindOfUnit(const std::string& unit) {
    if (unit == "nocrop" || unit == "free") return unit;
    return unit == "pixels" ? "fixed" : "defined";
}

TCropProposal ProposeCrop(const std::string& fileName, const std::string& unit, double horizontal,
                          double vertical, bool autoFlip, bool honourOrientation,
                          bool wholeBlockPortrait) {
    const TJpegLayout layout = ReadJpegLayout(fileName);
    TCropArea area;
    area.SetGrid(16, 16, 1, 1);
    area.SetHonourOrientation(honourOrientation);
    area.SetWholeBlockPortrait(wholeBlockPortrait);
    // the sizes are all the geometry needs; nothing is decoded
    area.SetReader([&layout, honourOrientation](const std::string&, int32_t rotation, int32_t) {
        const TJpegView view = ViewOf(layout, honourOrientation, rotation);
        TThumbnail t;
        t.imageWidth = view.width;
        t.imageHeight = view.height;
        t.imageRatio = double(view.width) / double(std::max(1, view.height));
        t.thumbWidth = t.thumbHeight = 1;
        t.bitmap = TBitmap(1, 1, 24);
        t.layout = layout;
        t.orientation = honourOrientation ? layout.orientation : 1;
        t.blockWidth = view.blockWidth;
        t.blockHeight = view.blockHeight;
        return t;
    });
    if (!area.LoadImage(fileName)) throw TError("CropArea: cannot read " + fileName);
    area.SetCropVisible(true);
    // as a newly added frame: the aspect, the flip for a portrait view, centred once more
    const std::string kind = KindOfUnit(unit);
    const bool flipped = autoFlip && area.IsPortrait();
    area.Propose(kind, horizontal, vertical, flipped);
    area.Center();
    return {area.GetCrop(),    area.Kind(),        flipped, area.Orientation(),
            area.ImageWidth(), area.ImageHeight(), layout};
}
