#include "ui/FrameList.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>

#include <QApplication>

#include "core/Error.h"
#include "core/StorageTank.h"
#include "core/StringController.h"
#include "core/UserPrompt.h"
#include "frames/IFrame.h"
#include "grid/BigPanel.h"
#include "grid/CropContainer.h"
#include "i18n/ErrorText.h"
#include "i18n/gnugettext.h"
#include "jobs/OrderFile.h"
#include "jobs/SharedSettings.h"
#include "model/Options.h"

namespace fs = std::filesystem;

namespace {
// a run of key presses is one step once the keys rest this long
constexpr int kKeyRunPause = 800;
// the first areas whose faces were found within this long slide as one step
constexpr int kFacesBatch = 1500;
} // namespace

TFrameList::TFrameList(TCContainer& container, TStorageTank& settings, IUserPrompt& prompt,
                       IFrameCommands& commands, IThumbnailSource* reloads)
    : container_(container), settings_(settings), prompt_(prompt), commands_(commands),
      reloads_(reloads) {
    keyRun_.setSingleShot(true);
    keyRun_.setInterval(kKeyRunPause);
    connect(&keyRun_, &QTimer::timeout, this, &TFrameList::Checkpoint);
    slide_.setSingleShot(true);
    connect(&slide_, &QTimer::timeout, this, &TFrameList::SlideToFaces);
}

TFrameList::~TFrameList() {
    // frames observe the aspect registry, which outlives the list: they detach as they go
    for (TIFrame* frame : frames_)
        delete frame;
    frames_.clear();
    current_ = nullptr;
    released_.reset();
    kept_.clear();
}

int TFrameList::IndexOf(const TIFrame* frame) const {
    if (!frame) return -1;
    const auto it = std::find(frames_.begin(), frames_.end(), frame);
    return it == frames_.end() ? -1 : static_cast<int>(it - frames_.begin());
}

void TFrameList::SetImageSize(int height) {
    imageSize_ = height;
    for (TIFrame* frame : frames_)
        frame->resize(frame->width(), height);
    container_.RequestLayout();
    for (TIFrame* frame : frames_)
        frame->Reload();
}

void TFrameList::SetDetails(const std::string& level) {
    for (TIFrame* frame : frames_)
        frame->SetDetails(level);
    container_.RequestLayout();
}

const TOrderPhoto* TFrameList::PhotoOf(const TIFrame* frame) const {
    const int i = IndexOf(frame);
    if (i < 0 || static_cast<std::size_t>(i) >= order_.Count()) return nullptr;
    const TOrderPhoto& photo = order_.At(static_cast<std::size_t>(i));
    return photo.File() == frame->SourceFileName() ? &photo : nullptr;
}

// --- frames in and out ---

TIFrame* TFrameList::Place(const std::string& path, bool makeCurrent) {
    return Place(
        path, [&path](TIFrame& frame) { return frame.LoadFile(path); }, makeCurrent);
}

TIFrame* TFrameList::Place(const std::string& path, const std::function<bool(TIFrame&)>& load,
                           bool makeCurrent) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return nullptr;
    TBig* big = container_.Big();
    const int scroll = big->VertBar().Position;

    auto* frame = new TIFrame(big->Viewport());
    frame->SetCommands(&commands_);
    frame->SetThumbnailSource(reloads_);
    frame->resize(frame->width(), imageSize_);
    frame->move(0, static_cast<int>(frames_.size()) * imageSize_);
    frames_.push_back(frame);
    frame->SetDetails(Get(settings_, Options::Details));
    frame->SetHonourOrientation(Get(settings_, Options::HonourOrientation));
    frame->SetLandscapeTurn(Get(settings_, Options::AutoRotateToLandscapeAfterCrop));
    big->AddItem(frame);

    if (!load(*frame)) {
        big->RemoveItem(frame);
        frames_.pop_back();
        Release(frame);
        big->ScrollTo(Qt::Vertical, scroll);
        return nullptr;
    }
    frame->SetDestFileName(NewDestinationName(path, settings_));
    frame->SetCropVisible(true);
    frame->SetLook(Get(settings_, Options::CropAreaLook));
    connect(frame, &TIFrame::SelectRequested, this, [this, frame] { SelectedFrom(frame); });
    connect(frame, &TIFrame::Navigate, this, &TFrameList::Navigate);
    connect(frame, &TIFrame::AspectChosen, this,
            [this, frame](bool flip) { AspectChosenIn(frame, flip); });
    connect(frame, &TIFrame::Edited, this, &TFrameList::Checkpoint);
    connect(frame, &TIFrame::KeyEdited, this, &TFrameList::KeyEdited);
    connect(frame, &TIFrame::ExtendRequested, this,
            [this, frame](Qt::KeyboardModifiers keys) { Choose(frame, keys); });
    connect(frame, &TIFrame::SoleRequested, this, &TFrameList::ChooseOnly);
    connect(frame, &TIFrame::Changed, this, [this, frame] { FrameChanged(frame); });
    if (makeCurrent) SetCurrent(frame);
    if (Get(settings_, Options::AutoRotateCrop)) frame->AutoFlip();
    frame->CenterCrop();
    if (!restoring_) {
        // made now, while the file is fresh in the cache: a saved order tells by it
        // a photo only touched since from one changed
        TOrderPhoto photo = frame->Photo();
        photo.ContentCheck = ContentCheckOf(path);
        // a new photo's first area slides to its faces once they are found
        if (LookForFaces(frame)) firstChoice_[frame] = photo.Choice;
        order_.Insert(frames_.size() - 1, std::move(photo));
    } else {
        LookForFaces(frame);
    }
    big->ScrollTo(Qt::Vertical, scroll);
    emit ListChanged();
    return frame;
}

void TFrameList::Remove(TIFrame* frame) {
    firstChoice_.erase(frame);
    int i = IndexOf(frame);
    // the frame can come back by an undo, in its state and place
    if (i >= 0 && !restoring_) order_.Remove(static_cast<std::size_t>(i));
    container_.Big()->RemoveItem(frame);
    if (i >= 0) frames_.erase(frames_.begin() + i);
    if (frame == current_) current_ = nullptr;
    Keep(frame);
    if (i < 0) i = 0;
    TIFrame* next = nullptr;
    if (i < static_cast<int>(frames_.size()))
        next = frames_[static_cast<std::size_t>(i)];
    else if (!frames_.empty())
        next = frames_.back();
    SetCurrent(next);
    emit ListChanged();
    container_.RequestLayout();
}

void TFrameList::Release(TIFrame* frame) {
    // the frame may be inside its own event now: it lives until the next release
    frame->hide();
    frame->setParent(nullptr);
    released_.reset(frame);
}

void TFrameList::Keep(TIFrame* frame) {
    frame->hide();
    frame->setParent(nullptr);
    frame->SetMarked(false);
    frame->SetSelected(false);
    frame->Cropper()->Area().DropThumbnail();
    std::unique_ptr<TIFrame>& place = kept_[frame->SourceFileName()];
    // a frame kept before for the same file (added again since) gives way
    if (place) place.release()->deleteLater();
    place.reset(frame);
}

void TFrameList::PruneKept() {
    for (auto it = kept_.begin(); it != kept_.end();) {
        if (order_.MayReturn(it->first)) {
            ++it;
            continue;
        }
        // the frame may be inside its own event now (its menu's Remove)
        it->second.release()->deleteLater();
        it = kept_.erase(it);
    }
}

TIFrame* TFrameList::ReturnKept(const std::string& file) {
    const auto it = kept_.find(file);
    if (it == kept_.end()) return nullptr;
    TIFrame* frame = it->second.release();
    kept_.erase(it);
    frame->resize(frame->width(), imageSize_);
    frame->move(0, static_cast<int>(frames_.size()) * imageSize_);
    frame->SetDetails(Get(settings_, Options::Details));
    frame->SetLandscapeTurn(Get(settings_, Options::AutoRotateToLandscapeAfterCrop));
    frames_.push_back(frame);
    container_.Big()->AddItem(frame);
    // the thumbnail went with the frame; it is decoded again for the present size
    frame->Reload();
    return frame;
}

// --- faces ---

bool TFrameList::LookForFaces(TIFrame* frame) {
    if (!reloads_ || !Get(settings_, Options::KeepFaces)) return false;
    return reloads_->RequestFaces(frame, frame->SourceFileName(),
                                  [this, frame](std::vector<TCropRect> faces) {
                                      FacesFound(frame, std::move(faces));
                                  }) != 0;
}

void TFrameList::FacesFound(TIFrame* frame, std::vector<TCropRect> faces) {
    std::optional<TFrameState> proposed;
    if (const auto first = firstChoice_.find(frame); first != firstChoice_.end()) {
        proposed = first->second;
        firstChoice_.erase(first);
    }
    if (!faces.empty()) {
        // a frame out of the list keeps them too: an undo may bring it back
        frame->Cropper()->Area().SetFaces(std::move(faces));
        frame->Cropper()->update(); // marked while selected
        if (proposed && IndexOf(frame) >= 0) toSlide_.emplace_back(frame, *proposed);
    }
    if (toSlide_.empty()) return;
    // the areas of photos added together slide together, a step every while at most,
    // not one a photo (which would crowd the add out of the steps kept)
    if (firstChoice_.empty())
        slide_.start(0);
    else if (!slide_.isActive())
        slide_.start(kFacesBatch);
}

void TFrameList::SlideToFaces() {
    // a step the user (or an add run) has open is theirs alone
    if (locked_ || order_.StepOpen() || keyRun_.isActive()) {
        slide_.start(kKeyRunPause / 4);
        return;
    }
    Checkpoint();
    for (const auto& [frame, proposed] : std::exchange(toSlide_, {})) {
        const TOrderPhoto* photo = PhotoOf(frame);
        // an area the user has touched meanwhile stays where they put it
        if (photo && photo->Choice.SameEdit(proposed)) frame->Cropper()->Area().KeepFaces();
    }
    Checkpoint();
}

// --- the current frame and the frames chosen with it ---

void TFrameList::SetCurrent(TIFrame* frame) {
    if (frame == current_) return;
    KeepChoiceFor(frame);
    if (current_) current_->SetSelected(false);
    current_ = frame;
    if (frame) {
        container_.Big()->ScrollIntoView(frame);
        // focus already on one of the frame's controls (which is how it became current)
        // stays there
        if (frame->isVisible() && frame->isEnabled() &&
            !frame->isAncestorOf(QApplication::focusWidget()))
            frame->FocusCrop();
        frame->SetSelected(true);
    }
    emit ListChanged();
    container_.Big()->SetCurrent(frame);
}

void TFrameList::SelectedFrom(TIFrame* frame) {
    // a frame already released may still be inside its own signal
    if (IndexOf(frame) < 0 || frame == current_) return;
    for (TIFrame* f : frames_)
        f->SetSelected(f == frame);
    SetCurrent(frame);
}

void TFrameList::Navigate(TCFrame::TNavigation where) {
    const int p = IndexOf(current_);
    const int count = static_cast<int>(frames_.size());
    switch (where) {
    case TCFrame::TNavigation::Previous:
        if (p > 0) SetCurrent(frames_[static_cast<std::size_t>(p - 1)]);
        break;
    case TCFrame::TNavigation::Next:
        if (p >= 0 && p < count - 1) SetCurrent(frames_[static_cast<std::size_t>(p + 1)]);
        break;
    case TCFrame::TNavigation::Home:
        if (count > 0) SetCurrent(frames_.front());
        break;
    case TCFrame::TNavigation::End:
        if (count > 0) SetCurrent(frames_.back());
        break;
    }
}

std::vector<TIFrame*> TFrameList::Chosen() const {
    std::vector<TIFrame*> chosen;
    for (TIFrame* f : frames_)
        if (f == current_ || f->Marked()) chosen.push_back(f);
    return chosen;
}

void TFrameList::Choose(TIFrame* frame, Qt::KeyboardModifiers keys) {
    if (IndexOf(frame) < 0) return;
    if (!current_) {
        SelectedFrom(frame);
        return;
    }
    if (keys & Qt::ShiftModifier) {
        // the frames from the current one to this one; with Ctrl as well, added to the rest
        const int from = IndexOf(current_), to = IndexOf(frame);
        for (int i = 0; i < static_cast<int>(frames_.size()); ++i) {
            const bool inside = (i - from) * (i - to) <= 0;
            TIFrame* f = frames_[static_cast<std::size_t>(i)];
            if (inside || !(keys & Qt::ControlModifier)) f->SetMarked(inside && f != current_);
        }
        if (frame != current_) {
            frame->SetMarked(true);
            SelectedFrom(frame);
        }
        return;
    }
    if (frame == current_) {
        // the current frame leaves the choice; another chosen one becomes current
        const std::vector<TIFrame*> chosen = Chosen();
        if (chosen.size() < 2) return;
        TIFrame* next = chosen.front() == frame ? chosen[1] : chosen.front();
        TIFrame* old = current_;
        SelectedFrom(next);
        old->SetMarked(false);
        return;
    }
    if (frame->Marked()) {
        frame->SetMarked(false);
        return;
    }
    current_->SetMarked(true);
    frame->SetMarked(true);
    SelectedFrom(frame);
}

void TFrameList::ChooseOnly() {
    for (TIFrame* f : frames_)
        if (f->Marked()) f->SetMarked(false);
}

void TFrameList::KeepChoiceFor(TIFrame* frame) {
    // the current frame is always one of the chosen: a frame outside them ends the choice
    if (frame && frame->Marked()) {
        frame->SetMarked(false);
        if (current_) current_->SetMarked(true);
    } else {
        ChooseOnly();
    }
}

void TFrameList::SelectAll() {
    if (frames_.empty()) return;
    if (!current_) SetCurrent(frames_.front());
    for (TIFrame* f : frames_)
        f->SetMarked(f != current_);
}

// --- what acts on the chosen frames ---

void TFrameList::AspectChosenIn(TIFrame* frame, bool flip) {
    if (spreading_ || IndexOf(frame) < 0 || order_.IndexOf(frame->SourceFileName()) < 0) return;
    const std::vector<TIFrame*> chosen = Chosen();
    if (std::find(chosen.begin(), chosen.end(), frame) != chosen.end()) {
        // every chosen frame takes the choice, each with its own largest area
        spreading_ = true;
        const int index = frame->State().AspectIndex;
        const bool autoFlip = Get(settings_, Options::AutoRotateCrop);
        for (TIFrame* f : chosen) {
            if (f == frame) continue;
            if (flip)
                f->ToggleFlip();
            else
                f->ChooseAspect(index, autoFlip);
        }
        spreading_ = false;
    }
    Checkpoint();
}

void TFrameList::TurnChosen(int degrees) {
    if (!current_ || locked_) return;
    Checkpoint();
    for (TIFrame* frame : Chosen()) {
        try {
            frame->SetRotation((frame->Rotation() + degrees) % 360);
        } catch (const TError& e) {
            // the photo cannot be read again (moved or damaged): the frame stays as it was
            prompt_.ShowError(ErrorText(e));
        }
    }
    Checkpoint();
}

void TFrameList::RemoveChosen() {
    if (!current_ || locked_) return;
    Checkpoint();
    for (TIFrame* frame : Chosen())
        Remove(frame);
    Checkpoint();
}

void TFrameList::RemoveAll() {
    Checkpoint();
    TBig* big = container_.Big();
    big->SetUpdatesEnabled(false);
    while (!frames_.empty())
        Remove(frames_.back());
    big->SetUpdatesEnabled(true);
    container_.RequestLayout();
    Checkpoint();
}

void TFrameList::WithoutStep(const std::function<void()>& change) {
    Checkpoint();
    restoring_ = true;
    change();
    restoring_ = false;
    for (std::size_t i = 0; i < frames_.size(); ++i)
        order_.Replace(i, frames_[i]->Photo());
}

// --- undo and redo ---

bool TFrameList::CanUndo() const {
    return order_.CanUndo() || order_.StepOpen() || keyRun_.isActive();
}

void TFrameList::KeyEdited() {
    keyRun_.start();
    emit StepsChanged();
}

void TFrameList::Checkpoint() {
    if (restoring_) return;
    keyRun_.stop();
    if (order_.EndStep()) PruneKept();
    emit StepsChanged();
}

void TFrameList::FrameChanged(TIFrame* frame) {
    // the order follows its frames as they change; what an undo does to a frame is
    // the order's own change already
    if (restoring_ || frames_.size() != order_.Count()) return;
    const int i = IndexOf(frame);
    if (i >= 0) order_.Update(static_cast<std::size_t>(i), frame->Photo());
}

void TFrameList::Step(bool back) {
    if (locked_) return;
    keyRun_.stop(); // a run of keys still open is the step to undo
    TBig* big = container_.Big();
    big->SetUpdatesEnabled(false);
    restoring_ = true;
    firstBack_ = frames_.size();
    lastBack_ = nullptr;
    if (back)
        order_.Undo(*this);
    else
        order_.Redo(*this);
    restoring_ = false;
    // the grid shows its items in their order: those after the first that came back
    // go to the end again
    for (std::size_t i = firstBack_; i < frames_.size(); ++i)
        big->RemoveItem(frames_[i]);
    for (std::size_t i = firstBack_; i < frames_.size(); ++i)
        big->AddItem(frames_[i]);
    big->SetUpdatesEnabled(true);
    // laid out now, so that the grid scrolls to where a frame came back, not to
    // where it was put on its way there
    container_.LayoutNow();
    if (lastBack_) {
        SetCurrent(lastBack_);
        big->ScrollIntoView(lastBack_);
    }
    PruneKept();
    emit ListChanged();
    emit StepsChanged();
}

void TFrameList::PhotoInserted(std::size_t index) {
    const TOrderPhoto& photo = order_.At(index);
    TIFrame* frame = ReturnKept(photo.File());
    if (!frame) frame = Place(photo.File(), true);
    if (!frame) {
        prompt_.ShowError(FillPlaceholders(
            Translate("The photo %1 cannot be read; its frame cannot come back."), {photo.File()}));
        // the order holds what the window shows
        order_.Forget(index);
        return;
    }
    RestoreFrame(*frame, photo.Choice);
    // back to its place in the list
    frames_.pop_back();
    frames_.insert(frames_.begin() + static_cast<std::ptrdiff_t>(index), frame);
    order_.Replace(index, frame->Photo());
    firstBack_ = std::min(firstBack_, index);
    lastBack_ = frame;
}

void TFrameList::PhotoRemoved(std::size_t index, const TOrderPhoto&) {
    if (index < frames_.size()) Remove(frames_[index]);
}

void TFrameList::PhotoChanged(std::size_t index) {
    if (index >= frames_.size()) return;
    TIFrame& frame = *frames_[index];
    RestoreFrame(frame, order_.At(index).Choice);
    order_.Replace(index, frame.Photo());
}

void TFrameList::RestoreFrame(TIFrame& frame, const TFrameState& state) {
    try {
        frame.Restore(state);
    } catch (const TError& e) {
        // the photo cannot be read for its old turn: the frame stays as it is
        prompt_.ShowError(ErrorText(e));
    }
}
