// The main window's editing across frames: frames chosen together, the
// commands that act on all of them, clearing the list, and undo and redo.
#include <algorithm>
#include <map>
#include <utility>

#include <QAction>

#include "core/Error.h"
#include "core/StorageTank.h"
#include "core/StringController.h"
#include "core/UserPrompt.h"
#include "frames/IFrame.h"
#include "grid/BigPanel.h"
#include "grid/CropContainer.h"
#include "i18n/gnugettext.h"
#include "model/Options.h"
#include "ui/MainForm.h"

namespace {
// a run of key presses is one step once the keys rest this long
constexpr int kKeyRunPause = 800;

} // namespace

// --- frames chosen together ---

std::vector<TIFrame*> TMainForm::ChosenFrames() const {
    std::vector<TIFrame*> chosen;
    for (TIFrame* f : images_)
        if (f == current_ || f->Marked()) chosen.push_back(f);
    return chosen;
}

void TMainForm::ChooseFrame(TIFrame* frame, Qt::KeyboardModifiers keys) {
    if (IndexOf(frame) < 0) return;
    if (!current_) {
        SelectedFrom(frame);
        return;
    }
    if (keys & Qt::ShiftModifier) {
        // the frames from the current one to this one; with Ctrl as well, added to the rest
        const int from = IndexOf(current_), to = IndexOf(frame);
        for (int i = 0; i < static_cast<int>(images_.size()); ++i) {
            const bool inside = (i - from) * (i - to) <= 0;
            TIFrame* f = images_[static_cast<std::size_t>(i)];
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
        const std::vector<TIFrame*> chosen = ChosenFrames();
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

void TMainForm::ChooseOnly() {
    for (TIFrame* f : images_)
        if (f->Marked()) f->SetMarked(false);
}

void TMainForm::KeepChoiceFor(TIFrame* frame) {
    // the current frame is always one of the chosen: a frame outside them ends the choice
    if (frame && frame->Marked()) {
        frame->SetMarked(false);
        if (current_) current_->SetMarked(true);
    } else {
        ChooseOnly();
    }
}

void TMainForm::SelectAllExecute() {
    if (images_.empty()) return;
    if (!current_) SetCurrentFrame(images_.front());
    for (TIFrame* f : images_)
        f->SetMarked(f != current_);
}

void TMainForm::AspectChosenIn(TIFrame* frame, bool flip) {
    if (spreading_ || IndexOf(frame) < 0 || order_.IndexOf(frame->SourceFileName()) < 0) return;
    const std::vector<TIFrame*> chosen = ChosenFrames();
    if (std::find(chosen.begin(), chosen.end(), frame) != chosen.end()) {
        // every chosen frame takes the choice, each with its own largest area
        spreading_ = true;
        const int index = frame->State().AspectIndex;
        const bool autoFlip = Get(*settings_, Options::AutoRotateCrop);
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

// --- undo and redo ---

void TMainForm::CreateUndo() {
    keyRun_.setSingleShot(true);
    keyRun_.setInterval(kKeyRunPause);
    connect(&keyRun_, &QTimer::timeout, this, &TMainForm::Checkpoint);
    const auto step = [this](bool back) {
        if (processing_) return;
        keyRun_.stop(); // a run of keys still open is the step to undo
        TBig* big = container_->Big();
        big->SetUpdatesEnabled(false);
        restoring_ = true;
        firstBack_ = images_.size();
        lastBack_ = nullptr;
        if (back)
            order_.Undo(*this);
        else
            order_.Redo(*this);
        restoring_ = false;
        // the grid shows its items in their order: those after the first that came
        // back go to the end again
        for (std::size_t i = firstBack_; i < images_.size(); ++i)
            big->RemoveItem(images_[i]);
        for (std::size_t i = firstBack_; i < images_.size(); ++i)
            big->AddItem(images_[i]);
        big->SetUpdatesEnabled(true);
        // laid out now, so that the grid scrolls to where a frame came back, not to
        // where it was put on its way there
        container_->LayoutNow();
        if (lastBack_) {
            SetCurrentFrame(lastBack_);
            big->ScrollIntoView(lastBack_);
        }
        PruneKeptFrames();
        UpdateImageCommands();
    };
    connect(Action("UndoAction"), &QAction::triggered, this, [step] { step(true); });
    connect(Action("RedoAction"), &QAction::triggered, this, [step] { step(false); });
    Action("RedoAction")
        ->setShortcuts(
            {QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
    connect(Action("SelectAllAction"), &QAction::triggered, this, &TMainForm::SelectAllExecute);
    connect(Action("ClearListAction"), &QAction::triggered, this, &TMainForm::ClearListExecute);
    UpdateUndoCommands();
}

void TMainForm::UpdateUndoCommands() {
    Action("UndoAction")
        ->setEnabled(!processing_ && (order_.CanUndo() || order_.StepOpen() || keyRun_.isActive()));
    Action("RedoAction")->setEnabled(!processing_ && order_.CanRedo());
    Action("ClearListAction")->setEnabled(!processing_ && !images_.empty());
}

void TMainForm::KeyEditIn(TIFrame*) {
    keyRun_.start();
    UpdateUndoCommands();
}

void TMainForm::Checkpoint() {
    if (restoring_) return;
    keyRun_.stop();
    if (order_.EndStep()) PruneKeptFrames();
    UpdateUndoCommands();
}

void TMainForm::FrameChanged(TIFrame* frame) {
    // the order follows its frames as they change; what an undo does to a frame is
    // the order's own change already
    if (restoring_ || images_.size() != order_.Count()) return;
    const int i = IndexOf(frame);
    if (i >= 0) order_.Update(static_cast<std::size_t>(i), frame->Photo());
}

void TMainForm::PhotoInserted(std::size_t index) {
    const TOrderPhoto& photo = order_.At(index);
    TIFrame* frame = ReturnKept(photo.File());
    if (!frame) frame = AddImage(photo.File());
    if (!frame) {
        prompt_->ShowError(FillPlaceholders(
            Translate("The photo %1 cannot be read; its frame cannot come back."), {photo.File()}));
        // the order holds what the window shows
        order_.Forget(index);
        return;
    }
    RestoreFrame(*frame, photo.Choice);
    // back to its place in the list
    images_.pop_back();
    images_.insert(images_.begin() + static_cast<std::ptrdiff_t>(index), frame);
    order_.Replace(index, frame->Photo());
    firstBack_ = std::min(firstBack_, index);
    lastBack_ = frame;
}

void TMainForm::PhotoRemoved(std::size_t index, const TOrderPhoto&) {
    if (index < images_.size()) RemoveFrame(images_[index]);
}

void TMainForm::PhotoChanged(std::size_t index) {
    if (index >= images_.size()) return;
    TIFrame& frame = *images_[index];
    RestoreFrame(frame, order_.At(index).Choice);
    order_.Replace(index, frame.Photo());
}

void TMainForm::RestoreFrame(TIFrame& frame, const TFrameState& state) {
    try {
        frame.Restore(state);
    } catch (const TError& e) {
        // the photo cannot be read for its old turn: the frame stays as it is
        prompt_->ShowError(e.what());
    }
}

void TMainForm::KeepFrame(TIFrame* frame) {
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

void TMainForm::PruneKeptFrames() {
    // a frame out of the list stays, without its thumbnail, while a step may bring it back
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

TIFrame* TMainForm::ReturnKept(const std::string& file) {
    const auto it = kept_.find(file);
    if (it == kept_.end()) return nullptr;
    TIFrame* frame = it->second.release();
    kept_.erase(it);
    frame->resize(frame->width(), imageSize_);
    frame->move(0, static_cast<int>(images_.size()) * imageSize_);
    frame->SetDetails(Get(*settings_, Options::Details));
    frame->SetLandscapeTurn(Get(*settings_, Options::AutoRotateToLandscapeAfterCrop));
    images_.push_back(frame);
    container_->Big()->AddItem(frame);
    // the thumbnail went with the frame; it is decoded again for the present size
    frame->Reload();
    return frame;
}

// --- the list as a whole ---

void TMainForm::ClearListExecute() {
    if (!MayChangeList() || images_.empty()) return;
    // every photo still in the list is uncropped
    if (!prompt_->Confirm(FillPlaceholders(
            TranslatePlural("Remove the %1 photo from the list? It has not been cropped.",
                            "Remove all %1 photos from the list? None of them has been cropped.",
                            images_.size()),
            {std::to_string(images_.size())})))
        return;
    Checkpoint();
    TBig* big = container_->Big();
    big->SetUpdatesEnabled(false);
    while (!images_.empty())
        RemoveFrame(images_.back());
    big->SetUpdatesEnabled(true);
    container_->RequestLayout();
    Checkpoint();
}
