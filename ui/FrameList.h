#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QObject>
#include <QTimer>

#include "frames/CFrame.h"
#include "model/CropArea.h"
#include "model/PrintOrder.h"

class IFrameCommands;
class IThumbnailSource;
class IUserPrompt;
class TCContainer;
class TCropAspectList;
class TIFrame;
class TStorageTank;
struct TGridCells;

/// The print order as the window shows it: the photos in the order's order,
/// the current one and those chosen with it, and the steps to undo and redo.
/// Every photo is a row of the order with its crop area; image frames are made
/// only for the rows in and near the view and are handed on to other rows as
/// the grid scrolls, so ten thousand photos cost a few dozen frames. What acts
/// on photos (a turn, an aspect, a removal, undo) acts on the rows, framed or
/// not; a frame edits its row, and the order follows each change.
class TFrameList : public QObject, private IOrderListener {
    Q_OBJECT
public:
    TFrameList(TCContainer& container, TStorageTank& settings, IUserPrompt& prompt,
               IFrameCommands& commands, IThumbnailSource* reloads);
    ~TFrameList() override;

    const TPrintOrder& Order() const { return order_; }
    /// For the crop run, which puts its results into the order.
    TPrintOrder& Order() { return order_; }
    std::size_t Count() const { return rows_.size(); }
    bool Empty() const { return rows_.empty(); }
    /// The frame of each photo, null for a photo away from the view.
    const std::vector<TIFrame*>& Frames() const { return frames_; }
    /// The frame of the current photo; null when there is none or it is away from the view.
    TIFrame* Current() const;
    /// The current photo's place, -1 when there is none.
    int CurrentIndex() const { return current_; }
    int IndexOf(const TIFrame* frame) const;
    /// The photo the frame shows; null for a frame without one.
    const TOrderPhoto* PhotoOf(const TIFrame* frame) const;
    /// The height of every frame.
    int ImageSize() const { return imageSize_; }
    /// Every frame takes the height and decodes its thumbnail again for it.
    void SetImageSize(int height);
    /// "None", "Brief" or "Full" for every frame.
    void SetDetails(const std::string& level);
    /// While set (a crop run is on), nothing changes the list or its photos.
    void SetLocked(bool locked) { locked_ = locked; }

    /// A photo whose header was read (and whose data ends early when incomplete)
    /// at the end of the list, with its first crop area.
    void Add(const std::string& path, const TJpegLayout& layout, bool incomplete,
             bool makeCurrent);
    /// Reads the file's header and adds it; false (nothing changed) when it cannot be read.
    bool Place(const std::string& path, bool makeCurrent);
    /// A photo of a saved order: the file's header read again, the choice put back;
    /// false when the file cannot be read.
    bool PlaceSaved(const TFrameState& choice);
    /// Takes the photo at index out of the list, into the open step.
    void RemoveAt(std::size_t index);

    void SetCurrent(TIFrame* frame) { SetCurrentIndex(IndexOf(frame)); }
    /// Makes the photo at index current (none for -1) and scrolls it into view.
    void SetCurrentIndex(int index);
    /// Scrolls the current photo into view.
    void ShowCurrent();
    /// Makes the frame the user works in current, if it shows a photo.
    void SelectedFrom(TIFrame* frame);
    /// The current photo and those chosen with it, in list order.
    std::vector<std::size_t> Chosen() const;
    /// Whether the photo at index is chosen beside the current one.
    bool Marked(std::size_t index) const { return rows_[index].Marked; }
    /// A press with Ctrl (the photo joins or leaves) or Shift (the photos from the
    /// current one to this one).
    void Choose(TIFrame* frame, Qt::KeyboardModifiers keys);
    void ChooseAt(std::size_t index, Qt::KeyboardModifiers keys);
    void SelectAll();
    /// Moves the current photo as a navigation key asks.
    void Navigate(TCFrame::TNavigation where);

    /// Turns the chosen photos by the given degrees clockwise; one step.
    void TurnChosen(int degrees);
    void RemoveChosen();
    void RemoveAll();
    /// Portrait areas keep whole-block heights while results are turned to landscape.
    void SetLandscapeTurn(bool on);
    /// Photos in the old look of the crop area take the new one; a look chosen by hand stays.
    void ChangeLook(int oldLook, int newLook);

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
    /// Frames made so far, in rows and spare: what the list costs beyond its photos.
    std::size_t FramesMade() const { return made_; }

signals:
    /// The current photo or the list changed: the commands on them are due.
    void ListChanged();
    /// A step was made, undone or done again, or a run of keys began.
    void StepsChanged();

private:
    /// A photo as the list keeps it beside the order's record.
    struct TRow {
        TCropArea Area;     ///< its crop area, with the turns since it last changed
        bool Marked = false; ///< chosen beside the current photo
        int Look = -1;       ///< the look of its crop area; -1 for the settings'
    };
    const TCropAspectList& Aspects() const;
    /// The rows near the view, [first, end).
    std::pair<std::size_t, std::size_t> NearRows() const;
    /// Frames for the rows near the view, none for the rest.
    void ShowRows();
    TGridCells Cells();
    void Bind(std::size_t index);
    void Unbind(std::size_t index);
    /// A frame without a row, made when none is spare.
    TIFrame* TakeFrame();
    void ScrollToRow(std::size_t index);
    /// The record and area of a photo changed together; its frame shows them.
    void EditRow(std::size_t index, const std::function<void(TOrderPhoto&, TCropArea&)>& edit);
    void InsertRow(std::size_t index, TRow row);
    void EraseRow(std::size_t index);
    /// Removes the rows (in any order), current and chosen ones going with them.
    void RemoveRows(std::vector<std::size_t> indices);
    void Step(bool back);
    void FrameChanged(TIFrame* frame);
    void AspectChosenIn(TIFrame* frame, bool flip);
    void KeyEdited();
    void ChooseOnly();
    void SetMarked(std::size_t index, bool marked);
    /// Keeps the photos chosen when the given one, one of them, becomes current.
    void KeepChoiceFor(int index);
    // IOrderListener: an undo or redo changed the order; the rows follow
    void PhotoInserted(std::size_t index) override;
    void PhotoRemoved(std::size_t index, const TOrderPhoto& photo) override;
    void PhotoChanged(std::size_t index) override;
    /// With the setting on, the faces of the photo are looked for; later
    /// proposals keep them whole. False when they are not.
    bool LookForFaces(const std::string& file);
    void FacesFound(const std::string& file, std::vector<TCropRect> faces);
    /// The first areas still as proposed slide to their faces, as one step of
    /// their own, once no other step is open.
    void SlideToFaces();

    TCContainer& container_;
    TStorageTank& settings_;
    IUserPrompt& prompt_;
    IFrameCommands& commands_;
    IThumbnailSource* reloads_;
    TPrintOrder order_;
    std::vector<TRow> rows_;        // rows_[i] is order_.At(i) as the list keeps it
    std::vector<TIFrame*> frames_;  // frames_[i] shows order_.At(i), or null
    std::vector<std::unique_ptr<TIFrame>> spare_; // frames without a row
    std::size_t made_ = 0;
    int current_ = -1;
    int imageSize_ = 350;
    bool locked_ = false;
    bool showing_ = false;
    // photos whose faces are looked for, with their first choice: only an area
    // still as first proposed slides to the faces
    std::map<std::string, TFrameState> firstChoice_;
    std::vector<std::pair<std::string, TFrameState>> toSlide_;
    QTimer slide_;
    bool restoring_ = false;     // the rows follow the order
    bool spreading_ = false;     // an aspect goes to all chosen photos
    QTimer keyRun_;              // ends a run of key presses
    int lastBack_ = -1;          // the last place an undo or redo brought a photo back to
};
