// The main window's editing across frames: frames chosen together, the
// commands that act on all of them, clearing the list, and undo and redo.
#include <algorithm>
#include <map>
#include <utility>

#include <QAction>
#include <QUndoCommand>
#include <QUndoStack>

#include "core/Error.h"
#include "core/StorageTank.h"
#include "core/StringController.h"
#include "core/UserPrompt.h"
#include "frames/IFrame.h"
#include "grid/BigPanel.h"
#include "grid/CropContainer.h"
#include "i18n/ErrorText.h"
#include "i18n/gnugettext.h"
#include "model/Options.h"
#include "ui/MainForm.h"

namespace {
// a run of key presses is one step once the keys rest this long
constexpr int kKeyRunPause = 800;
constexpr int kUndoSteps = 100;

/// A step that is already done when it is pushed: the first redo does nothing.
class TDoneCommand : public QUndoCommand {
public:
    explicit TDoneCommand(TMainForm& window) : window_(window) {}
    void redo() final {
        if (std::exchange(first_, false)) return;
        Redo();
    }

protected:
    virtual void Redo() = 0;
    TMainForm& window_;

private:
    bool first_ = true;
};

/// Changes to frames that stay in the list: each frame before and after.
class TFrameEdit : public TDoneCommand {
public:
    TFrameEdit(TMainForm& window, std::vector<TFrameState> before, std::vector<TFrameState> after)
        : TDoneCommand(window), before_(std::move(before)), after_(std::move(after)) {}
    void undo() override { window_.RestoreStates(before_); }

protected:
    void Redo() override { window_.RestoreStates(after_); }

private:
    std::vector<TFrameState> before_, after_;
};

/// Frames that joined or left the list, with their places and states.
class TListChange : public TDoneCommand {
public:
    TListChange(TMainForm& window, std::vector<TPlacedFrame> frames, bool added)
        : TDoneCommand(window), frames_(std::move(frames)), added_(added) {
        window_.Hold(frames_, 1);
    }
    ~TListChange() override { window_.Hold(frames_, -1); }
    void undo() override { Apply(!added_); }

protected:
    void Redo() override { Apply(added_); }

private:
    void Apply(bool add) {
        if (add)
            window_.BringBack(frames_, added_);
        else
            window_.TakeAway(frames_);
    }
    std::vector<TPlacedFrame> frames_;
    bool added_;
};
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
    if (spreading_ || IndexOf(frame) < 0 || !baseline_.count(frame->SourceFileName())) return;
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
    undo_ = new QUndoStack(this);
    // the oldest steps go, and with them the frames only they could bring back
    undo_->setUndoLimit(kUndoSteps);
    keyRun_.setSingleShot(true);
    keyRun_.setInterval(kKeyRunPause);
    connect(&keyRun_, &QTimer::timeout, this, &TMainForm::Checkpoint);
    connect(Action("UndoAction"), &QAction::triggered, this, [this] {
        if (processing_) return;
        Checkpoint(); // a run of keys still open is the step to undo
        undo_->undo();
    });
    connect(Action("RedoAction"), &QAction::triggered, this, [this] {
        if (processing_) return;
        Checkpoint();
        undo_->redo();
    });
    Action("RedoAction")
        ->setShortcuts(
            {QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
    connect(Action("SelectAllAction"), &QAction::triggered, this, &TMainForm::SelectAllExecute);
    connect(Action("ClearListAction"), &QAction::triggered, this, &TMainForm::ClearListExecute);
    connect(undo_, &QUndoStack::canUndoChanged, this, &TMainForm::UpdateUndoCommands);
    connect(undo_, &QUndoStack::canRedoChanged, this, &TMainForm::UpdateUndoCommands);
    UpdateUndoCommands();
}

void TMainForm::UpdateUndoCommands() {
    if (!undo_) return;
    Action("UndoAction")->setEnabled(!processing_ && (undo_->canUndo() || keyRun_.isActive()));
    Action("RedoAction")->setEnabled(!processing_ && undo_->canRedo());
    Action("ClearListAction")->setEnabled(!processing_ && !images_.empty());
}

void TMainForm::KeyEditIn(TIFrame*) {
    keyRun_.start();
    UpdateUndoCommands();
}

void TMainForm::Checkpoint() {
    if (restoring_ || !undo_) return;
    keyRun_.stop();
    std::vector<TFrameState> before, after;
    std::map<std::string, TFrameState> now;
    std::vector<TPlacedFrame> added;
    for (std::size_t i = 0; i < images_.size(); ++i) {
        TFrameState state = images_[i]->State();
        const auto it = baseline_.find(state.File);
        if (it == baseline_.end()) {
            added.push_back({static_cast<int>(i), state});
        } else if (!it->second.SameEdit(state)) {
            before.push_back(it->second);
            after.push_back(state);
        }
        now.emplace(state.File, std::move(state));
    }
    std::vector<TPlacedFrame> removed = std::exchange(removed_, {});
    std::erase_if(removed, [&now](const TPlacedFrame& p) { return now.count(p.State.File) > 0; });
    baseline_ = std::move(now);
    const int parts = !removed.empty() + !added.empty() + !before.empty();
    if (parts == 0) {
        UpdateUndoCommands();
        return;
    }
    // what one action did is one step, however many frames it touched
    if (parts > 1) undo_->beginMacro(QString());
    if (!removed.empty()) undo_->push(new TListChange(*this, std::move(removed), false));
    if (!before.empty()) undo_->push(new TFrameEdit(*this, std::move(before), std::move(after)));
    if (!added.empty()) undo_->push(new TListChange(*this, std::move(added), true));
    if (parts > 1) undo_->endMacro();
    PruneKeptFrames();
    UpdateUndoCommands();
}

void TMainForm::Hold(const std::vector<TPlacedFrame>& frames, int delta) {
    for (const TPlacedFrame& p : frames)
        held_[p.State.File] += delta;
    if (delta < 0) PruneKeptFrames();
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
    for (auto it = kept_.begin(); it != kept_.end();) {
        const auto held = held_.find(it->first);
        const bool needed = held != held_.end() && held->second > 0;
        if (held != held_.end() && held->second <= 0) held_.erase(held);
        if (needed || FrameInRemoved(it->first)) {
            ++it;
            continue;
        }
        // the frame may be inside its own event now (its menu's Remove)
        it->second.release()->deleteLater();
        it = kept_.erase(it);
    }
}

bool TMainForm::FrameInRemoved(const std::string& file) const {
    return std::any_of(removed_.begin(), removed_.end(),
                       [&file](const TPlacedFrame& p) { return p.State.File == file; });
}

void TMainForm::Rebase() {
    baseline_.clear();
    for (TIFrame* f : images_) {
        TFrameState state = f->State();
        baseline_.emplace(state.File, std::move(state));
    }
    removed_.clear();
    UpdateUndoCommands();
}

TIFrame* TMainForm::FrameOf(const std::string& file) const {
    for (TIFrame* f : images_)
        if (f->SourceFileName() == file) return f;
    return nullptr;
}

void TMainForm::RestoreStates(const std::vector<TFrameState>& states) {
    restoring_ = true;
    for (const TFrameState& state : states) {
        TIFrame* frame = FrameOf(state.File);
        if (!frame) continue;
        try {
            frame->Restore(state);
        } catch (const TError& e) {
            // the photo cannot be read for its old turn: the frame stays as it is
            prompt_->ShowError(ErrorText(e));
        }
    }
    restoring_ = false;
    Rebase();
}

void TMainForm::TakeAway(const std::vector<TPlacedFrame>& frames) {
    restoring_ = true;
    TBig* big = container_->Big();
    big->SetUpdatesEnabled(false);
    for (const TPlacedFrame& p : frames)
        if (TIFrame* frame = FrameOf(p.State.File)) RemoveFrame(frame);
    big->SetUpdatesEnabled(true);
    container_->RequestLayout();
    restoring_ = false;
    Rebase();
}

void TMainForm::BringBack(const std::vector<TPlacedFrame>& frames, bool added) {
    restoring_ = true;
    TBig* big = container_->Big();
    big->SetUpdatesEnabled(false);
    // removed frames come back last removed first, each to the place it left, so that
    // every place is counted among the frames that were there then; added ones come
    // back in the order of their final places
    std::vector<TPlacedFrame> ordered = frames;
    if (!added) std::reverse(ordered.begin(), ordered.end());
    TIFrame* last = nullptr;
    for (const TPlacedFrame& p : ordered) {
        if (FrameOf(p.State.File)) continue;
        TIFrame* frame = ReturnKept(p.State.File);
        if (!frame) frame = AddImage(p.State.File);
        if (!frame) {
            prompt_->ShowError(FillPlaceholders(
                Translate("The photo %1 cannot be read; its frame cannot come back."),
                {p.State.File}));
            continue;
        }
        try {
            frame->Restore(p.State);
        } catch (const TError& e) {
            prompt_->ShowError(ErrorText(e));
        }
        // back to its old place in the list
        images_.pop_back();
        const std::size_t at =
            std::min<std::size_t>(static_cast<std::size_t>(p.Index), images_.size());
        images_.insert(images_.begin() + static_cast<std::ptrdiff_t>(at), frame);
        last = frame;
    }
    // the grid shows its items in their order: those after the first change go to the end again
    if (!ordered.empty()) {
        const auto first = std::min_element(
            ordered.begin(), ordered.end(),
            [](const TPlacedFrame& a, const TPlacedFrame& b) { return a.Index < b.Index; });
        const std::size_t from =
            std::min<std::size_t>(static_cast<std::size_t>(first->Index), images_.size());
        for (std::size_t i = from; i < images_.size(); ++i)
            big->RemoveItem(images_[i]);
        for (std::size_t i = from; i < images_.size(); ++i)
            big->AddItem(images_[i]);
    }
    big->SetUpdatesEnabled(true);
    // laid out now, so that the grid scrolls to where the frame came back, not to
    // where it was put on its way there
    container_->LayoutNow();
    if (last) {
        SetCurrentFrame(last);
        big->ScrollIntoView(last);
    }
    restoring_ = false;
    Rebase();
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
