#include "model/PrintOrder.h"

#include <algorithm>
#include <utility>

int TPrintOrder::IndexOf(const std::string& file) const {
    const auto it = std::find_if(photos_.begin(), photos_.end(),
                                 [&file](const TOrderPhoto& p) { return p.File() == file; });
    return it == photos_.end() ? -1 : static_cast<int>(it - photos_.begin());
}

void TPrintOrder::Insert(std::size_t index, TOrderPhoto photo) {
    index = std::min(index, photos_.size());
    edits_.clear();
    open_.push_back({TOrderChange::Added, index, {}, photo});
    photos_.insert(photos_.begin() + static_cast<std::ptrdiff_t>(index), std::move(photo));
}

void TPrintOrder::Remove(std::size_t index) {
    edits_.clear();
    open_.push_back({TOrderChange::Removed, index, photos_[index], {}});
    photos_.erase(photos_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TPrintOrder::Update(std::size_t index, TOrderPhoto photo) {
    TOrderPhoto& now = photos_[index];
    KeepCheck(now, photo);
    if (!now.Choice.SameEdit(photo.Choice)) {
        // a run of edits of one photo (keys, a drag) is one change of the step, as long
        // as nothing was added or removed after it
        if (const auto last = edits_.find(index); last != edits_.end()) {
            open_[last->second].After = photo;
        } else {
            edits_.emplace(index, open_.size());
            open_.push_back({TOrderChange::Edited, index, now, photo});
        }
    }
    now = std::move(photo);
}

bool TPrintOrder::EndStep() {
    edits_.clear();
    // edits that came back to where they began are no step
    std::erase_if(open_, [](const TOrderChange& c) {
        return c.What == TOrderChange::Edited && c.Before.Choice.SameEdit(c.After.Choice);
    });
    if (open_.empty()) return false;
    done_.push_back(std::exchange(open_, {}));
    // the oldest steps go, and with them the photos only they could bring back
    while (done_.size() > undoLimit_)
        done_.pop_front();
    undone_.clear();
    return true;
}

void TPrintOrder::Apply(const TOrderChange& change, bool forward, IOrderListener& listener) {
    const bool add = change.What == TOrderChange::Added ? forward : !forward;
    switch (change.What) {
    case TOrderChange::Added:
    case TOrderChange::Removed:
        if (add) {
            const std::size_t at = std::min(change.Index, photos_.size());
            photos_.insert(photos_.begin() + static_cast<std::ptrdiff_t>(at),
                           change.What == TOrderChange::Added ? change.After : change.Before);
            listener.PhotoInserted(at);
        } else if (change.Index < photos_.size()) {
            const TOrderPhoto gone = photos_[change.Index];
            photos_.erase(photos_.begin() + static_cast<std::ptrdiff_t>(change.Index));
            listener.PhotoRemoved(change.Index, gone);
        }
        break;
    case TOrderChange::Edited:
        if (change.Index < photos_.size()) {
            const TOrderPhoto& to = forward ? change.After : change.Before;
            // the choice comes back; the name and the result stay as they are now
            TOrderPhoto& photo = photos_[change.Index];
            std::string name = std::move(photo.Choice.DestName);
            photo.Choice = to.Choice;
            photo.Choice.DestName = std::move(name);
            photo.Kind = to.Kind;
            photo.Resolution = to.Resolution;
            listener.PhotoChanged(change.Index);
        }
        break;
    }
}

void TPrintOrder::Undo(IOrderListener& listener) {
    EndStep();
    if (done_.empty()) return;
    std::vector<TOrderChange> step = std::move(done_.back());
    done_.pop_back();
    for (auto it = step.rbegin(); it != step.rend(); ++it)
        Apply(*it, false, listener);
    undone_.push_back(std::move(step));
}

void TPrintOrder::Redo(IOrderListener& listener) {
    EndStep();
    if (undone_.empty()) return;
    std::vector<TOrderChange> step = std::move(undone_.back());
    undone_.pop_back();
    for (const TOrderChange& change : step)
        Apply(change, true, listener);
    done_.push_back(std::move(step));
}
