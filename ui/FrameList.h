#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QTimer>

#include "frames/CFrame.h"
#include "model/PrintOrder.h"

class IFrameCommands;
class IThumbnailSource;
class IUserPrompt;
class TCContainer;
class TIFrame;
class TStorageTank;

/// The print order as the window shows it: one image frame per photo in the
/// grid, in the order's order, the current frame and the frames chosen with
/// it, and the steps to undo and redo. Frames edit their photo; the order
/// follows each change, and an undo or redo changes the order first and the
/// frames after it. A frame out of the list stays, without its thumbnail,
/// while a step may bring it back.
class TFrameList : public QObject, private IOrderListener {
    Q_OBJECT
public:
    TFrameList(TCContainer& container, TStorageTank& settings, IUserPrompt& prompt,
               IFrameCommands& commands, IThumbnailSource* reloads);
    ~TFrameList() override;

    const TPrintOrder& Order() const { return order_; }
    /// For the crop run, which puts its results into the order.
    TPrintOrder& Order() { return order_; }
    const std::vector<TIFrame*>& Frames() const { return frames_; }
    TIFrame* Current() const { return current_; }
    int IndexOf(const TIFrame* frame) const;
    /// The photo the frame shows; null for a frame out of the list.
    const TOrderPhoto* PhotoOf(const TIFrame* frame) const;
    /// The height of every frame.
    int ImageSize() const { return imageSize_; }
    /// Every frame takes the height and decodes its thumbnail again for it.
    void SetImageSize(int height);
    /// "None", "Brief" or "Full" for every frame.
    void SetDetails(const std::string& level);
    /// While set (a crop run is on), nothing changes the list or its photos.
    void SetLocked(bool locked) { locked_ = locked; }

    /// Makes a frame for the file at the end of the list; load reads its photo.
    /// Null (nothing changed) when the file cannot be read.
    TIFrame* Place(const std::string& path, const std::function<bool(TIFrame&)>& load,
                   bool makeCurrent);
    /// Makes a frame that reads its photo on the spot.
    TIFrame* Place(const std::string& path, bool makeCurrent);
    /// Takes the frame out of the list, into the open step.
    void Remove(TIFrame* frame);

    void SetCurrent(TIFrame* frame);
    /// Makes the frame the user works in current, if it is one of the list.
    void SelectedFrom(TIFrame* frame);
    /// The current frame and the frames chosen with it, in list order.
    std::vector<TIFrame*> Chosen() const;
    /// A press with Ctrl (the frame joins or leaves) or Shift (the frames from the
    /// current one to this one).
    void Choose(TIFrame* frame, Qt::KeyboardModifiers keys);
    void SelectAll();
    /// Moves the current frame as a navigation key asks.
    void Navigate(TCFrame::TNavigation where);

    /// Turns the chosen frames by the given degrees clockwise; one step.
    void TurnChosen(int degrees);
    void RemoveChosen();
    void RemoveAll();

    /// Ends the step the changes since the last one make: one to undo.
    void Checkpoint();
    bool CanUndo() const;
    bool CanRedo() const { return order_.CanRedo(); }
    void Undo() { Step(true); }
    void Redo() { Step(false); }
    /// What the change does to the frames (new settings, a new aspect list) is no step.
    void WithoutStep(const std::function<void()>& change);
    /// Faces of new photos are still looked for, or their areas still to slide.
    bool LookingForFaces() const { return !firstChoice_.empty() || !toSlide_.empty(); }

signals:
    /// The current frame or the list changed: the commands on them are due.
    void ListChanged();
    /// A step was made, undone or done again, or a run of keys began.
    void StepsChanged();

private:
    void Step(bool back);
    void FrameChanged(TIFrame* frame);
    void AspectChosenIn(TIFrame* frame, bool flip);
    void KeyEdited();
    void ChooseOnly();
    /// Keeps the frames chosen when the given one, one of them, becomes current.
    void KeepChoiceFor(TIFrame* frame);
    // IOrderListener: an undo or redo changed the order; the frames follow
    void PhotoInserted(std::size_t index) override;
    void PhotoRemoved(std::size_t index, const TOrderPhoto& photo) override;
    void PhotoChanged(std::size_t index) override;
    void RestoreFrame(TIFrame& frame, const TFrameState& state);
    void Release(TIFrame* frame);
    void Keep(TIFrame* frame);
    void PruneKept();
    /// A kept frame back at the end of the list, sized and set as the list is now;
    /// null when none is kept for the file.
    TIFrame* ReturnKept(const std::string& file);
    /// With the setting on, the faces of the frame's photo are looked for; later
    /// proposals keep them whole. False when they are not.
    bool LookForFaces(TIFrame* frame);
    void FacesFound(TIFrame* frame, std::vector<TCropRect> faces);
    /// The first areas still as proposed slide to their faces, as one step of
    /// their own, once no other step is open.
    void SlideToFaces();

    TCContainer& container_;
    TStorageTank& settings_;
    IUserPrompt& prompt_;
    IFrameCommands& commands_;
    IThumbnailSource* reloads_;
    TPrintOrder order_;
    std::vector<TIFrame*> frames_; // frames_[i] shows order_.At(i)
    TIFrame* current_ = nullptr;
    std::unique_ptr<TIFrame> released_;
    std::map<std::string, std::unique_ptr<TIFrame>> kept_; // frames out of the list, by file
    int imageSize_ = 350;
    bool locked_ = false;
    // frames whose faces are looked for, with their first choice: only an area
    // still as first proposed slides to the faces
    std::map<const TIFrame*, TFrameState> firstChoice_;
    std::vector<std::pair<TIFrame*, TFrameState>> toSlide_;
    QTimer slide_;
    bool restoring_ = false;      // the frames follow the order
    bool spreading_ = false;      // an aspect goes to all chosen frames
    QTimer keyRun_;               // ends a run of key presses
    std::size_t firstBack_ = 0;   // the first place an undo or redo brought a frame back to
    TIFrame* lastBack_ = nullptr; // the last frame it brought back
};
