#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "jpeg/JpegLayout.h"

/// What the user decided for one photo: the turn, the aspect choice and its
/// flip, the crop area and the output's name. The file names the photo.
struct TFrameState {
    std::string File;
    std::string DestName;
    int32_t Rotation = 0;
    int AspectIndex = -1;
    std::string Aspect; // its description: found again after the list was edited
    bool Flipped = false;
    TCropRect Crop;
    /// The same edit (the destination name is the name edit's own, never a step).
    bool SameEdit(const TFrameState& other) const {
        // the aspect by its description: an edited list alone changes no photo
        return File == other.File && Rotation == other.Rotation && Aspect == other.Aspect &&
               Flipped == other.Flipped && Crop == other.Crop;
    }
};

/// Where a photo of the order stands.
enum class TPhotoState { Pending, Written, Failed };

/// One photo of the print order: what the user chose, what the crop needs
/// besides it, and what became of it.
struct TOrderPhoto {
    TFrameState Choice;
    /// The file as it was read when it was added: what a crop checks it against.
    TJpegLayout Source;
    std::string Kind = "defined"; ///< the crop kind of the chosen aspect
    int Orientation = 1;          ///< the EXIF orientation the photo is shown upright by
    int Resolution = -1;          ///< print resolution of the crop; -1 without one
    bool Incomplete = false;      ///< its data ends early: the rest shows grey
    /// A cheap check of the file's content made when it was added, so that a
    /// saved order can tell a photo touched from one changed; "" until made.
    std::string ContentCheck;
    TPhotoState State = TPhotoState::Pending;
    std::string Reason; ///< why it failed, in the user's words
    /// The faces found in the photo, in pixels of its stored picture; none until looked for.
    std::vector<TCropRect> Faces;
    const std::string& File() const { return Choice.File; }
};

/// One change of the order, as it is undone and done again.
struct TOrderChange {
    enum TWhat { Added, Removed, Edited };
    TWhat What = Edited;
    std::size_t Index = 0; ///< the photo's place when the change was made
    TOrderPhoto Before;    ///< Removed, Edited
    TOrderPhoto After;     ///< Added, Edited
};

/// Told of every change the order's undo and redo make, so that a view can follow.
class IOrderListener {
public:
    virtual ~IOrderListener() = default;
    virtual void PhotoInserted(std::size_t index) = 0;
    virtual void PhotoRemoved(std::size_t index, const TOrderPhoto& photo) = 0;
    virtual void PhotoChanged(std::size_t index) = 0;
};

/// The print order: the photos in list order with what the user chose for
/// each, and the steps to undo and redo. Every change is recorded into the
/// open step; EndStep makes what one user action did one step, however many
/// photos it touched. Free of any toolkit: the window shows it, the crop run
/// reads it, and it can be kept without either.
class TPrintOrder {
public:
    explicit TPrintOrder(std::size_t undoLimit = 100) : undoLimit_(undoLimit) {}

    std::size_t Count() const { return photos_.size(); }
    bool Empty() const { return photos_.empty(); }
    const TOrderPhoto& At(std::size_t index) const { return photos_[index]; }
    const std::vector<TOrderPhoto>& Photos() const { return photos_; }
    /// The place of the photo of a file; -1 when it is not in the order.
    int IndexOf(const std::string& file) const;

    /// Adds a photo at the given place (the end when beyond it).
    void Insert(std::size_t index, TOrderPhoto photo);
    void Remove(std::size_t index);
    /// Takes the photo's new state; a change of the choice beyond its name is
    /// part of the open step, the rest (name, resolution, state) is not.
    void Update(std::size_t index, TOrderPhoto photo);
    /// Removes a photo without any step: it cannot be shown again.
    void Forget(std::size_t index) {
        photos_.erase(photos_.begin() + static_cast<std::ptrdiff_t>(index));
    }
    /// Takes the photo's new state without any step (a setting changed it).
    void Replace(std::size_t index, TOrderPhoto photo) {
        KeepCheck(photos_[index], photo);
        photos_[index] = std::move(photo);
    }

    /// What became of the photo's crop; no step.
    void SetResult(std::size_t index, TPhotoState state, std::string reason = {}) {
        photos_[index].State = state;
        photos_[index].Reason = std::move(reason);
    }

    /// Ends the open step; false when it held nothing.
    bool EndStep();
    bool StepOpen() const { return !open_.empty(); }
    bool CanUndo() const { return !done_.empty(); }
    bool CanRedo() const { return !undone_.empty(); }
    /// The last step undone (an open one is ended first); the listener follows.
    void Undo(IOrderListener& listener);
    void Redo(IOrderListener& listener);

private:
    /// A view's photo carries no content check: the one made when it was added stays.
    static void KeepCheck(const TOrderPhoto& now, TOrderPhoto& photo) {
        if (photo.ContentCheck.empty() && photo.File() == now.File())
            photo.ContentCheck = now.ContentCheck;
    }
    void Apply(const TOrderChange& change, bool forward, IOrderListener& listener);

    std::vector<TOrderPhoto> photos_;
    std::vector<TOrderChange> open_;
    // where in the open step each photo's edit is, since the last photo came or went:
    // a run of edits of one photo is one change
    std::unordered_map<std::size_t, std::size_t> edits_;
    std::deque<std::vector<TOrderChange>> done_;
    std::vector<std::vector<TOrderChange>> undone_;
    std::size_t undoLimit_;
};
