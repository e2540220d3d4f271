#include "frames/CropView.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "jpeg/bmpRot.h"
#include "model/FaceSlide.h"

namespace {
// the same significand as the area's own arithmetic
using TExtended = long double;

bool PositiveSize(double v) {
    return v > 0.0 && std::isfinite(v);
}
} // namespace

int32_t DeviceHeight(int32_t surfaceHeight, double pixelRatio) {
    const int32_t h = std::max(1, surfaceHeight);
    if (pixelRatio == 1.0) return h;
    return int32_t(std::clamp<double>(std::lround(h * pixelRatio), 1, kMaxThumbnailSide));
}

TCropView::TCropView()
    : reader_([this](const std::string& file, int32_t rotation, int32_t height) {
          return ReadJpegThumbnail(file, rotation, height, {}, honourOrientation_);
      }) {}

TJpegView TCropView::ViewOfThumbnail(const TThumbnail& thumb) {
    TJpegView view;
    view.width = thumb.imageWidth;
    view.height = thumb.imageHeight;
    view.blockWidth = thumb.blockWidth;
    view.blockHeight = thumb.blockHeight;
    return view;
}

bool TCropView::LoadImage(const std::string& fileName) {
    TThumbnail thumb;
    try {
        thumb = reader_(fileName, area_.Rotation(), DecodeHeight());
    } catch (const std::exception&) {
        return false;
    }
    return LoadThumbnail(fileName, std::move(thumb));
}

bool TCropView::LoadThumbnail(const std::string& fileName, TThumbnail thumb) {
    sourceLayout_ = thumb.layout;
    TakeThumbnail(thumb);
    fileName_ = fileName;
    area_.Open(ViewOfThumbnail(thumb));
    Changed();
    return true;
}

bool TCropView::Show(const std::string& fileName, const TJpegLayout& layout, int orientation,
                     bool incomplete, std::vector<TCropRect> faces, const TCropArea& area) {
    const bool sameThumbnail = fileName == fileName_ && area.Rotation() == area_.Rotation() &&
                               area.ImageWidth() == area_.ImageWidth() &&
                               area.ImageHeight() == area_.ImageHeight();
    fileName_ = fileName;
    sourceLayout_ = layout;
    orientation_ = orientation;
    incomplete_ = incomplete;
    faces_ = std::move(faces);
    area_ = area;
    if (area.ImageHeight() > 0) imageRatio_ = double(area.ImageWidth()) / area.ImageHeight();
    if (!sameThumbnail) DropThumbnail();
    FitThumbnail();
    Changed();
    return sameThumbnail;
}

bool TCropView::TurnShown(int32_t degrees) {
    if (!area_.TakesTurn(degrees)) return false;
    if (!Loaded()) {
        area_.Turn(degrees, TJpegView());
        return true;
    }
    TJpegLayout shown = sourceLayout_;
    shown.orientation = orientation_;
    const TJpegView view = ViewOf(shown, true, degrees);
    TurnBitmap(thumbnail_, TTurn{false, ((degrees - area_.Rotation() + 360) % 360) / 90});
    ++thumbnailVersion_;
    work_ = TBitmap();
    if (view.height > 0) imageRatio_ = double(view.width) / view.height;
    area_.Turn(degrees, view);
    FitThumbnail();
    Changed();
    return true;
}

void TCropView::Reload() {
    // decode completely before touching any state, so a failure changes nothing
    if (Loaded()) SetThumbnail(reader_(fileName_, area_.Rotation(), DecodeHeight()));
}

void TCropView::SetThumbnail(TThumbnail thumb) {
    TakeThumbnail(thumb);
    area_.SetView(ViewOfThumbnail(thumb));
    Changed();
}

void TCropView::TakeThumbnail(TThumbnail& thumb) {
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
    work_ = TBitmap();
}

void TCropView::DropThumbnail() {
    thumbnail_ = TBitmap();
    ++thumbnailVersion_;
    work_ = TBitmap();
}

void TCropView::SetRotation(int32_t degrees) {
    if (!area_.TakesTurn(degrees)) return;
    if (!Loaded()) {
        area_.Turn(degrees, TJpegView());
        return;
    }
    // the new turn's picture first: a read that fails leaves everything as it was
    TThumbnail thumb = reader_(fileName_, degrees, DecodeHeight());
    TakeThumbnail(thumb);
    area_.Turn(degrees, ViewOfThumbnail(thumb));
    Changed();
}

TBitmap& TCropView::WorkBitmap() {
    if (!thumbnail_.Empty() &&
        (work_.Width() != thumbnail_.Width() || work_.Height() != thumbnail_.Height()))
        work_ = TBitmap(thumbnail_.Width(), thumbnail_.Height(), 24);
    return work_;
}

void TCropView::SetSurfaceSize(int32_t width, int32_t height) {
    surfaceWidth_ = width;
    surfaceHeight_ = height;
}

void TCropView::SetPixelRatio(double ratio) {
    pixelRatio_ = PositiveSize(ratio) ? ratio : 1.0;
}

void TCropView::FitThumbnail() {
    if (!Loaded()) return;
    // a surface not laid out yet (size 0) still gets a thumbnail of at least one pixel
    thumbHeight_ = std::max(1, surfaceHeight_);
    thumbWidth_ = std::max(1, ThumbWidthFor(thumbHeight_, imageRatio_));
    if (surfaceWidth_ > 0 && surfaceWidth_ < thumbWidth_) {
        thumbWidth_ = std::max(1, surfaceWidth_);
        thumbHeight_ = std::max(1, TruncPixels(TExtended(thumbWidth_) / TExtended(imageRatio_)));
    }
}

int32_t TCropView::PreferredWidth(int32_t height) const {
    return ThumbWidthFor(height, imageRatio_);
}

void TCropView::SetThumbPosition(int32_t tx, int32_t ty) {
    if (!Loaded()) return;
    const int32_t x = TruncPixels(area_.ImageWidth() * (TExtended(tx) / thumbWidth_));
    const int32_t y = TruncPixels(area_.ImageHeight() * (TExtended(ty) / thumbHeight_));
    // twice: a corner clamped at the far edge settles on the grid the second time
    Edit([x, y](TCropArea& area) {
        area.SetPosition(x, y);
        area.Recalculate();
    });
}

void TCropView::SetThumbWidth(int32_t tw) {
    if (!Loaded()) return;
    const int32_t width = TruncPixels(TExtended(tw) / thumbWidth_ * area_.ImageWidth());
    Edit([width](TCropArea& area) { area.SetWidth(width); });
}

void TCropView::SetThumbHeight(int32_t th) {
    if (!Loaded()) return;
    const TCropArea& a = area_;
    if (a.Kind() == "defined") {
        // the height comes from the width through the ratio
        const int32_t width = TruncPixels(TExtended(th) / thumbHeight_ * a.ImageHeight() *
                                          (TExtended(a.AspectH()) / TExtended(a.AspectV())));
        Edit([width](TCropArea& area) { area.SetWidth(width); });
    } else {
        const int32_t height = TruncPixels(TExtended(th) / thumbHeight_ * a.ImageHeight());
        Edit([height](TCropArea& area) { area.SetStoredHeight(height); });
    }
}

bool TCropView::GetThumbCrop(TCropRect& rect) const {
    if (!Loaded()) return false;
    const TCropRect r = area_.GetCrop();
    rect.x = TruncPixels(TExtended(r.x) / area_.ImageWidth() * thumbWidth_);
    rect.y = TruncPixels(TExtended(r.y) / area_.ImageHeight() * thumbHeight_);
    rect.width = TruncPixels(TExtended(r.width) / area_.ImageWidth() * thumbWidth_);
    rect.height = TruncPixels(TExtended(r.height) / area_.ImageHeight() * thumbHeight_);
    return true;
}

std::string TCropView::PositionText() const {
    return "(" + std::to_string(area_.CropX()) + ", " + std::to_string(area_.CropY()) + ")";
}

std::string TCropView::SizeText() const {
    const TCropRect r = area_.GetCrop();
    return std::to_string(r.width) + "x" + std::to_string(r.height);
}

std::vector<TCropRect> TCropView::FacesInView() const {
    if (faces_.empty() || !area_.Shown()) return {};
    TJpegLayout shown = sourceLayout_;
    shown.orientation = orientation_;
    return ::FacesInView(ViewOf(shown, true, area_.Rotation()), faces_);
}

void TCropView::KeepFaces() {
    const std::vector<TCropRect> faces = FacesInView();
    if (!faces.empty()) Edit([&](TCropArea& area) { area.KeepFaces(faces); });
}
