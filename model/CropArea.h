#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "jpeg/JpegLayout.h"

/// The lossless cut starts on the block grid: corners keep to 16 pixels (or the
/// file's own block where that is larger, as across a 4:1:1 photo).
constexpr int32_t kBlockGrid = 16;

/// Truncates toward zero as the crop geometry does: with a 64-bit significand,
/// saturating at the 32-bit range, NaN giving 0, and a value within 1e-9 of a
/// whole number taken as that number (3000 / 1.5 stored in binary is 2000).
int32_t TruncPixels(long double v);

/// The crop area of one photo as a plain value: a rectangle in full pixels of the
/// view (the picture upright and turned), kept inside the view, bound to the
/// aspect and with its corner on the grid, with the turns since it last changed
/// otherwise. Copies compare equal when they describe the same area, so a value
/// can be stored, compared and put back. It knows nothing of thumbnails, keys or
/// windows: the editor shows it and maps its input onto the operations below,
/// and the command line proposes a first area with it from a header alone.
///
/// Until a view is opened the area has no place: every operation that would
/// need the picture's size only stores what it is given.
class TCropArea {
public:
    /// The size steps of a resize: Shift, no modifier and Ctrl in the editor.
    enum class TStep { Fine, Normal, Coarse };

    // --- set-up ---
    void SetGrid(int32_t gridX, int32_t gridY, int32_t gridWidth, int32_t gridHeight);
    /// Corners on the block grid, sizes by the pixel: what a frame and the command line use.
    void UseBlockGrid() { SetGrid(kBlockGrid, kBlockGrid, 1, 1); }
    /// Resize steps with Shift, without modifier and with Ctrl (1, 8, 32).
    void SetSteps(int32_t fine, int32_t normal, int32_t coarse);
    /// Keeps the height of a portrait area to whole blocks, so that the turn to
    /// landscape after the crop can cut it exactly.
    void SetWholeBlockPortrait(bool on);

    // --- the view ---
    /// Shows a view: the whole of it becomes the area, centred. The turn the view
    /// is in must be the area's Rotation.
    void Open(const TJpegView& view);
    /// The same view measured again (a thumbnail decoded anew): sizes and block.
    void SetView(const TJpegView& view);
    /// Turns to 0, 90, 180 or 270 degrees clockwise with the view of the new turn;
    /// the area turns with the picture (its aspect too), and turning back to where
    /// a run of turns began gives back the area it had there. False for a turn
    /// that is no change or no quarter; before a view is open only the turn is kept.
    bool Turn(int32_t degrees, const TJpegView& view);
    /// Whether Turn would take these degrees.
    bool TakesTurn(int32_t degrees) const;

    // --- the aspect ---
    void SetAspect(const std::string& kind, double horizontal, double vertical);
    void SetKind(const std::string& kind);
    void SetCropVisible(bool visible);
    /// The largest area of the aspect (or the fixed size) at the top-left corner.
    void Maximize();
    /// Centres the area; the grid then moves it up and left by up to a step.
    void Center();
    /// The one proposal of an area for an aspect: the aspect applied (its sizes
    /// swapped when flipped), the largest area of it, centred.
    void Propose(const std::string& kind, double horizontal, double vertical, bool flipped);
    /// Slides the area, its size kept, so that it keeps the faces (in pixels of
    /// the view) whole; see SlideToFaces. False when it stays.
    bool KeepFaces(const std::vector<TCropRect>& faces);

    // --- the area ---
    void SetArea(int32_t x, int32_t y, int32_t width);
    void SetPosition(int32_t x, int32_t y);
    void SetWidth(int32_t width) { SetArea(cropX_, cropY_, width); }
    /// The height kept for the kinds that store one ("free", "fixed").
    void SetStoredHeight(int32_t height);
    /// Puts back an area read with GetCrop (its height kept where the kind stores one).
    void Restore(const TCropRect& area);
    /// Moves by whole grid steps (-1, 0 or 1 each); false while not Editable.
    bool Move(int columns, int rows);
    /// Grows (sign 1) or shrinks (-1) by a step; a fixed size stays. False while
    /// not Editable.
    bool Grow(int sign, TStep step);
    /// Clamps, fits to the aspect and snaps to the grid.
    void Recalculate();

    // --- state ---
    bool Shown() const { return shown_; }
    /// Shown and visible: what the editor's keys act on.
    bool Editable() const { return shown_ && cropVisible_; }
    const std::string& Kind() const { return kind_; }
    double AspectH() const { return aspectH_; }
    double AspectV() const { return aspectV_; }
    int32_t ImageWidth() const { return imageWidth_; }
    int32_t ImageHeight() const { return imageHeight_; }
    /// The view is higher than wide; such a photo gets its aspect flipped.
    bool IsPortrait() const { return imageWidth_ < imageHeight_; }
    int32_t Rotation() const { return rotation_; }
    int32_t CropX() const { return cropX_; }
    int32_t CropY() const { return cropY_; }
    int32_t CropWidth() const { return cropWidth_; }
    int32_t StoredHeight() const { return storedHeight_; }
    /// Height of the area: derived from the width for "defined", else stored.
    int32_t CropHeight() const;
    TCropRect GetCrop() const;
    bool CropVisible() const { return cropVisible_; }
    /// The corner grid: the least common multiple of the grid step set and the
    /// file's block in the current turn (32 across a 4:1:1 photo, else 16).
    int32_t GridX() const { return CommonGrid(gridX_, blockX_); }
    int32_t GridY() const { return CommonGrid(gridY_, blockY_); }

    bool operator==(const TCropArea&) const = default;

private:
    /// Carries the area (from the view w x h at rotation from) through a clockwise turn.
    void TurnArea(int32_t from, int32_t turn, const TCropRect& r, int32_t w, int32_t h);

    bool shown_ = false;
    bool wholeBlockPortrait_ = false;
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
/// The proposal for a header already read; with faces (in pixels of the stored
/// picture) the area keeps them whole.
TCropProposal ProposeCrop(const TJpegLayout& layout, const std::string& unit, double horizontal,
                          double vertical, bool autoFlip, bool honourOrientation,
                          bool wholeBlockPortrait = false,
                          const std::vector<TCropRect>& faces = {});
/// Reads the header first; raises TError when it cannot be read.
TCropProposal ProposeCrop(const std::string& fileName, const std::string& unit, double horizontal,
                          double vertical, bool autoFlip, bool honourOrientation,
                          bool wholeBlockPortrait = false);
