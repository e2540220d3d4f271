#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/ObserverPattern2.h"
#include "jpeg/Bitmap.h"
#include "jpeg/JpegThumbnail.h"

/// Key codes understood by TCropArea::HandleKey; the editor widget maps its
/// toolkit's keys onto them.
enum TCropKey : int {
    kKeySpace = 32,
    kKeyPageUp = 33,
    kKeyPageDown = 34,
    kKeyEnd = 35,
    kKeyHome = 36,
    kKeyLeft = 37,
    kKeyUp = 38,
    kKeyRight = 39,
    kKeyDown = 40,
    kKeyAdd = 107,      ///< plus or equals, on the keypad or the main keyboard
    kKeySubtract = 109, ///< minus, on the keypad or the main keyboard
};

/// Modifier set passed with a key: any combination of the flags below.
using TShiftState = unsigned;
constexpr TShiftState kShift = 1;
constexpr TShiftState kCtrl = 2;
constexpr TShiftState kAlt = 4;

/// A surface height in device pixels at a pixel ratio: what a thumbnail for it is
/// decoded at, never below one pixel or above the largest thumbnail.
int32_t DeviceHeight(int32_t surfaceHeight, double pixelRatio);

/// The crop area of one image and its thumbnail: a rectangle in full-image pixels
/// of the rotated image, kept inside the image, bound to the aspect and with its
/// corner on the grid. Free of any toolkit, so that the editor widget owns one and
/// only paints and forwards input. Events ("Recalculated", "FlipAspect" and the
/// navigation events) go through a subject, with a sender that the widget may set
/// to itself.
class TCropArea : public TObject {
public:
    /// Decodes one image: file, clockwise rotation, surface height.
    using TReader = std::function<TThumbnail(const std::string&, int32_t, int32_t)>;

    /// Events go to the given subject with the given sender; by default to a
    /// subject of the crop area's own with the crop area as sender.
    explicit TCropArea(ISubject* subject = nullptr, TObject* sender = nullptr);
    TCropArea(const TCropArea&) = delete;
    TCropArea& operator=(const TCropArea&) = delete;

    void SetEventTarget(ISubject* subject, TObject* sender);
    ISubject& Subject() { return *subject_; }
    /// Replaces the JPEG reader (tests feed sizes without files).
    void SetReader(TReader reader) { reader_ = std::move(reader); }
    /// Called at the end of every recalculation, before "Recalculated" is sent.
    void SetRepaint(std::function<void()> repaint) { repaint_ = std::move(repaint); }
    /// Whether the next read shows a photo upright by its EXIF orientation (the default).
    void SetHonourOrientation(bool honour) { honourOrientation_ = honour; }
    bool HonourOrientation() const { return honourOrientation_; }
    /// Keeps the height of a portrait area to whole blocks, so that the turn to
    /// landscape after the crop can cut it exactly; recalculates.
    void SetWholeBlockPortrait(bool on);

    // --- state ---
    const std::string& Kind() const { return kind_; }
    double AspectH() const { return aspectH_; }
    double AspectV() const { return aspectV_; }
    int32_t ImageWidth() const { return imageWidth_; }
    int32_t ImageHeight() const { return imageHeight_; }
    double ImageRatio() const { return imageRatio_; }
    int32_t Rotation() const { return rotation_; }
    int32_t CropX() const { return cropX_; }
    int32_t CropY() const { return cropY_; }
    int32_t CropWidth() const { return cropWidth_; }
    int32_t StoredHeight() const { return storedHeight_; }
    bool CropVisible() const { return cropVisible_; }
    bool Loaded() const { return loaded_; }
    /// The file's data ended early: the thumbnail's rest is grey.
    bool Incomplete() const { return incomplete_; }
    int32_t ThumbWidth() const { return thumbWidth_; }
    int32_t ThumbHeight() const { return thumbHeight_; }
    const std::string& FileName() const { return fileName_; }
    /// The file as it was when it was loaded: what a crop checks it against.
    const TJpegLayout& SourceLayout() const { return sourceLayout_; }
    /// The EXIF orientation the image is shown upright by; 1 when none is applied.
    int Orientation() const { return orientation_; }
    /// The corner grid: the least common multiple of the grid step set and the
    /// file's block in the current turn (32 across a 4:1:1 photo, else 16).
    int32_t GridX() const { return CommonGrid(gridX_, blockX_); }
    int32_t GridY() const { return CommonGrid(gridY_, blockY_); }
    const TBitmap& Thumbnail() const { return thumbnail_; }
    /// Changes whenever the thumbnail does, so that what is made from it can be kept.
    uint64_t ThumbnailVersion() const { return thumbnailVersion_; }
    /// Scratch bitmap of the thumbnail's size for the faded and screened looks,
    /// made on first use, so that a frame never drawn in such a look keeps none.
    TBitmap& WorkBitmap();
    /// Frees the work bitmap until it is used again (a frame out of view).
    void ReleaseWorkBitmap() { work_ = TBitmap(); }

    // --- geometry ---
    void SetGrid(int32_t gridX, int32_t gridY, int32_t gridWidth, int32_t gridHeight);
    /// Key resize steps with Shift, without modifier and with Ctrl (1, 8, 32).
    void SetSteps(int32_t fine, int32_t normal, int32_t coarse);
    void SetAspect(const std::string& kind, double horizontal, double vertical);
    void SetKind(const std::string& kind);
    void SetCropVisible(bool visible);
    void SetArea(int32_t x, int32_t y, int32_t width);
    void SetPosition(int32_t x, int32_t y);
    /// Puts back an area read with GetCrop (its height kept where the kind stores one).
    void Restore(const TCropRect& area);
    /// The largest area of the aspect (or the fixed size) at the top-left corner.
    void Maximize();
    /// Centres the area; the grid then moves it up and left by up to a step.
    void Center();
    /// The area a frame proposes for an aspect: the aspect applied (its sizes
    /// swapped when flipped), the largest area of it, centred.
    void Propose(const std::string& kind, double horizontal, double vertical, bool flipped);
    /// The view is higher than wide; such a photo gets its aspect flipped.
    bool IsPortrait() const { return imageWidth_ < imageHeight_; }
    /// Clamps, fits to the aspect and snaps to the grid, then tells the observers.
    void Recalculate();
    /// Height of the area: derived from the width for "defined", else stored.
    int32_t CropHeight() const;
    TCropRect GetCrop() const;
    /// Handles a key of the editor; plus and minus are consumed (set to 0).
    bool HandleKey(int& key, TShiftState shift);

    // --- thumbnail pixels ---
    void SetThumbPosition(int32_t tx, int32_t ty);
    void SetThumbWidth(int32_t tw);
    void SetThumbHeight(int32_t th);
    /// The area in thumbnail pixels; false (rect unchanged) while nothing is loaded.
    bool GetThumbCrop(TCropRect& rect) const;

    // --- image ---
    /// Reads the image and proposes the whole image as area; false when it cannot
    /// be read, leaving the state as it was.
    bool LoadImage(const std::string& fileName);
    /// Decodes the file at the current rotation and surface height; raises TError.
    void ReadImage(const std::string& fileName);
    /// Decodes the loaded image again, for a new surface height.
    void Reload();
    /// LoadImage with a thumbnail decoded elsewhere for the current rotation
    /// and surface height.
    bool LoadThumbnail(const std::string& fileName, TThumbnail thumb);
    /// Takes a thumbnail decoded elsewhere as ReadImage would take its own.
    void SetThumbnail(TThumbnail thumb);
    /// Frees the thumbnail and the work bitmap; the sizes stay, so the area
    /// keeps its place until a new thumbnail arrives.
    void DropThumbnail();
    /// Turns the image clockwise to 0, 90, 180 or 270 degrees and decodes it again;
    /// the area turns with the picture (its aspect too), and turning back to where a
    /// run of turns began gives back the area it had there.
    void SetRotation(int32_t degrees);
    /// Size of the paint surface; its height is the thumbnail height on decoding.
    void SetSurfaceSize(int32_t width, int32_t height);
    /// Device pixels per surface pixel (1 by default). Thumbnails are decoded that
    /// much higher so that they stay sharp on a scaled screen; every thumbnail size
    /// and position the area reports stays in surface pixels.
    void SetPixelRatio(double ratio);
    double PixelRatio() const { return pixelRatio_; }
    /// The height a decode for the current surface asks for, in device pixels.
    int32_t DecodeHeight() const { return DeviceHeight(surfaceHeight_, pixelRatio_); }
    /// Fits the thumbnail size to the surface without decoding.
    void FitThumbnail();
    /// Width an editor of the given height wants: Trunc(height x ratio).
    int32_t PreferredWidth(int32_t height) const;

    // --- read-outs ---
    /// "(x, y)", for example "(160, 0)".
    std::string PositionText() const;
    /// "WxH", for example "2666x1999".
    std::string SizeText() const;

private:
    void Notify(const std::string& event);
    void Resize(int sign, TShiftState shift);
    /// Carries the area (from the image w x h at rotation from) through a clockwise turn.
    void TurnArea(int32_t from, int32_t turn, const TCropRect& r, int32_t w, int32_t h);

    TSubject ownSubject_;
    ISubject* subject_;
    TObject* sender_;
    TReader reader_;
    std::function<void()> repaint_;
    bool honourOrientation_ = true;
    bool wholeBlockPortrait_ = false;
    int orientation_ = 1;
    int32_t blockX_ = 1; // the file's block in the current turn
    int32_t blockY_ = 1;
    // the areas before each turn since the area last changed otherwise, by rotation
    std::vector<std::pair<int32_t, TCropRect>> turnTrail_;
    TCropRect turnResult_{};

    std::string kind_ = "defined";
    double aspectH_ = 3.0;
    double aspectV_ = 2.0;
    int32_t imageWidth_ = 0;
    int32_t imageHeight_ = 0;
    double imageRatio_ = 0.0;
    int32_t rotation_ = 0;
    int32_t cropX_ = 0;
    int32_t cropY_ = 0;
    int32_t cropWidth_ = 0;
    int32_t storedHeight_ = 0;
    int32_t gridX_ = 1;
    int32_t gridY_ = 1;
    int32_t gridWidth_ = 1;
    int32_t gridHeight_ = 1;
    int32_t fineStep_ = 1;
    int32_t normalStep_ = 8;
    int32_t coarseStep_ = 32;
    bool cropVisible_ = false;
    bool loaded_ = false;
    bool incomplete_ = false;
    int32_t thumbWidth_ = 0;
    int32_t thumbHeight_ = 200;
    int32_t surfaceWidth_ = 0;
    double pixelRatio_ = 1.0;
    int32_t surfaceHeight_ = 200;
    std::string fileName_;
    TJpegLayout sourceLayout_;
    TBitmap thumbnail_;
    uint64_t thumbnailVersion_ = 0;
    TBitmap work_;
};

/// The crop kind of an aspect unit: "nocrop", "free", "fixed" for "pixels",
/// "defined" for every other unit.
std::string KindOfUnit(const std::string& unit);

/// What a newly added frame proposes for a file, worked out from its header
/// alone: the view (upright when honoured), the aspect flipped for a portrait
/// view when autoFlip is set, the largest area of it centred on the file's grid.
struct TCropProposal {
    TCropRect crop;
    std::string kind;
    bool flipped = false;
    int orientation = 1; ///< applied EXIF orientation, for the transformer
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    TJpegLayout layout; ///< the file as it was read for the proposal
};
/// Raises TError when the header cannot be read.
TCropProposal ProposeCrop(const std::string& fileName, const std::string& unit, double horizontal,
                          double vertical, bool autoFlip, bool honourOrientation,
                          bool wholeBlockPortrait = false);
