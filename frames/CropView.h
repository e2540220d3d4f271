#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "jpeg/Bitmap.h"
#include "jpeg/JpegThumbnail.h"
#include "model/CropArea.h"

/// A surface height in device pixels at a pixel ratio: what a thumbnail for it is
/// decoded at, never below one pixel or above the largest thumbnail.
int32_t DeviceHeight(int32_t surfaceHeight, double pixelRatio);

/// What the crop editor shows of one photo: the crop area value and the file it
/// belongs to, the thumbnail and the surface it is drawn on (size and pixel
/// ratio), the mapping between thumbnail pixels and the area, and the read-out
/// texts. Every change to the area goes through it and ends in one call of the
/// change handler (the editor's repaint and its `Recalculated` signal), as long
/// as a photo is shown.
class TCropView {
public:
    /// Decodes one image: file, clockwise rotation, surface height in device pixels.
    using TReader = std::function<TThumbnail(const std::string&, int32_t, int32_t)>;

    TCropView();

    /// Replaces the JPEG reader (tests feed sizes without files).
    void SetReader(TReader reader) { reader_ = std::move(reader); }
    /// Called after every change while a photo is shown.
    void SetChangeHandler(std::function<void()> changed) { changed_ = std::move(changed); }
    /// Whether the next read shows a photo upright by its EXIF orientation (the default).
    void SetHonourOrientation(bool honour) { honourOrientation_ = honour; }
    bool HonourOrientation() const { return honourOrientation_; }

    // --- the area ---
    const TCropArea& Crop() const { return area_; }
    /// Applies an operation to the area, then tells the change handler.
    template <typename TOperation> void Edit(TOperation&& operation) {
        std::forward<TOperation>(operation)(area_);
        Changed();
    }
    bool Loaded() const { return area_.Shown(); }
    bool IsPortrait() const { return area_.IsPortrait(); }
    TCropRect GetCrop() const { return area_.GetCrop(); }

    // --- the photo ---
    /// Reads the image and shows the whole of it as area; false when it cannot
    /// be read, leaving the state as it was.
    bool LoadImage(const std::string& fileName);
    /// LoadImage with a thumbnail decoded elsewhere for the current rotation
    /// and decode height.
    bool LoadThumbnail(const std::string& fileName, TThumbnail thumb);
    /// Shows a photo read before, its area as it stands, without decoding: the
    /// thumbnail follows (SetThumbnail); until then the frame draws a plain
    /// placeholder of the view's proportions. A thumbnail of the same file and
    /// turn already shown stays (true).
    bool Show(const std::string& fileName, const TJpegLayout& layout, int orientation,
              bool incomplete, std::vector<TCropRect> faces, const TCropArea& area);
    /// Turns as SetRotation does without decoding: the thumbnail shown is turned
    /// in memory and stands in until one of the new turn is decoded. False for
    /// no turn.
    bool TurnShown(int32_t degrees);
    /// Whether a thumbnail is shown.
    bool HasThumbnail() const { return !thumbnail_.Empty(); }
    /// Decodes the loaded image again, for a new surface height; raises TError.
    void Reload();
    /// Takes a thumbnail of the current turn decoded elsewhere, as a reload would.
    void SetThumbnail(TThumbnail thumb);
    /// Frees the thumbnail and the work bitmap; the sizes stay, so the area
    /// keeps its place until a new thumbnail arrives.
    void DropThumbnail();
    /// Turns the photo to 0, 90, 180 or 270 degrees and decodes it again; the
    /// area turns with it. A read that fails (TError) keeps the old turn.
    void SetRotation(int32_t degrees);
    const std::string& FileName() const { return fileName_; }
    /// The file as it was when it was loaded: what a crop checks it against.
    const TJpegLayout& SourceLayout() const { return sourceLayout_; }
    /// The EXIF orientation the image is shown upright by; 1 when none is applied.
    int Orientation() const { return orientation_; }
    /// The file's data ended early: the thumbnail's rest is grey.
    bool Incomplete() const { return incomplete_; }
    /// The photo's faces, in pixels of its stored picture; they turn with it.
    void SetFaces(std::vector<TCropRect> faces) { faces_ = std::move(faces); }
    const std::vector<TCropRect>& Faces() const { return faces_; }
    /// The faces where the view of the present turn shows them.
    std::vector<TCropRect> FacesInView() const;
    /// Slides the area, its size kept, to keep the faces whole.
    void KeepFaces();

    // --- thumbnail and surface ---
    const TBitmap& Thumbnail() const { return thumbnail_; }
    /// Changes whenever the thumbnail does, so that what is made from it can be kept.
    uint64_t ThumbnailVersion() const { return thumbnailVersion_; }
    /// Scratch bitmap of the thumbnail's size for the faded and screened looks,
    /// made on first use, so that a frame never drawn in such a look keeps none.
    TBitmap& WorkBitmap();
    /// Frees the work bitmap until it is used again (a frame out of view).
    void ReleaseWorkBitmap() { work_ = TBitmap(); }
    int32_t ThumbWidth() const { return thumbWidth_; }
    int32_t ThumbHeight() const { return thumbHeight_; }
    /// Size of the paint surface; its height is the thumbnail height on decoding.
    void SetSurfaceSize(int32_t width, int32_t height);
    /// Device pixels per surface pixel (1 by default). Thumbnails are decoded that
    /// much higher so that they stay sharp on a scaled screen; every thumbnail size
    /// and position stays in surface pixels.
    void SetPixelRatio(double ratio);
    double PixelRatio() const { return pixelRatio_; }
    /// The height a decode for the current surface asks for, in device pixels.
    int32_t DecodeHeight() const { return DeviceHeight(surfaceHeight_, pixelRatio_); }
    /// Fits the thumbnail size to the surface without decoding.
    void FitThumbnail();
    /// FitThumbnail, then the area recalculated and the change told: what a new
    /// size of the surface or of the thumbnail wants.
    void Refit() {
        FitThumbnail();
        Edit([](TCropArea& area) { area.Recalculate(); });
    }
    /// Width an editor of the given height wants: Trunc(height x ratio).
    int32_t PreferredWidth(int32_t height) const;

    // --- thumbnail pixels ---
    void SetThumbPosition(int32_t tx, int32_t ty);
    void SetThumbWidth(int32_t tw);
    void SetThumbHeight(int32_t th);
    /// The area in thumbnail pixels; false (rect unchanged) while nothing is loaded.
    bool GetThumbCrop(TCropRect& rect) const;

    // --- read-outs ---
    /// "(x, y)", for example "(160, 0)".
    std::string PositionText() const;
    /// "WxH", for example "2666x1999".
    std::string SizeText() const;

private:
    void Changed() {
        if (area_.Shown() && changed_) changed_();
    }
    /// Takes a thumbnail's sizes into the surface's pixels, and its picture.
    void TakeThumbnail(TThumbnail& thumb);
    static TJpegView ViewOfThumbnail(const TThumbnail& thumb);

    TCropArea area_;
    TReader reader_;
    std::function<void()> changed_;
    bool honourOrientation_ = true;
    int orientation_ = 1;
    bool incomplete_ = false;
    std::string fileName_;
    TJpegLayout sourceLayout_;
    std::vector<TCropRect> faces_;
    double imageRatio_ = 0.0;
    int32_t thumbWidth_ = 0;
    int32_t thumbHeight_ = 200;
    int32_t surfaceWidth_ = 0;
    int32_t surfaceHeight_ = 200;
    double pixelRatio_ = 1.0;
    TBitmap thumbnail_;
    uint64_t thumbnailVersion_ = 0;
    TBitmap work_;
};
