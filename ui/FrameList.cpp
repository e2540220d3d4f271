#include "ui/FrameList.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>

#include <QApplication>

#include "core/Error.h"
#include "core/StorageTank.h"
#include "core/UserPrompt.h"
#include "frames/IFrame.h"
#include "grid/BigPanel.h"
#include "grid/CropContainer.h"
#include "i18n/ErrorText.h"
#include "jobs/OrderFile.h"
#include "jobs/SharedSettings.h"
#include "model/CropAspects.h"
#include "model/Options.h"
#include "model/PhotoEdit.h"

namespace fs = std::filesystem;

namespace {
// a run of key presses is one step once the keys rest this long
constexpr int kKeyRunPause = 800;
// the first areas whose faces were found within this long slide as one step
constexpr int kFacesBatch = 1500;
// frames are kept for this many screens above and below the view
constexpr int kNearScreens = 1;
// and for at least this many photos, so that a short list has a frame for each
constexpr std::size_t kLeastFrames = 48;
// frames without a row kept for the next rows to come into view
constexpr std::size_t kSpareFrames = 24;
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
    container_.SetCells([this] { return Cells(); }, [this] { ShowRows(); });
}

TFrameList::~TFrameList() {
    container_.SetCells({}, {});
    // frames observe the aspect registry, which outlives the list: they detach as they go
    for (TIFrame*& frame : frames_) {
        delete frame;
        frame = nullptr;
    }
    spare_.clear();
}

const TCropAspectList& TFrameList::Aspects() const {
    // before the aspects are read a photo has none
    static const TCropAspectList none;
    const TCropAspects& aspects = GetCropAspects();
    return aspects.Count() > 0 ? aspects.CurrentList() : none;
}

TIFrame* TFrameList::Current() const {
    return current_ >= 0 ? frames_[static_cast<std::size_t>(current_)] : nullptr;
}

int TFrameList::IndexOf(const TIFrame* frame) const {
    if (!frame) return -1;
    const auto it = std::find(frames_.begin(), frames_.end(), frame);
    return it == frames_.end() ? -1 : static_cast<int>(it - frames_.begin());
}

const TOrderPhoto* TFrameList::PhotoOf(const TIFrame* frame) const {
    const int i = IndexOf(frame);
    return i < 0 ? nullptr : &order_.At(static_cast<std::size_t>(i));
}

void TFrameList::SetImageSize(int height) {
    imageSize_ = height;
    for (const auto& frame : spare_)
        frame->resize(frame->width(), height);
    for (TIFrame* frame : frames_)
        if (frame) {
            frame->resize(frame->width(), height);
            frame->Reload();
        }
    container_.RequestLayout();
}

void TFrameList::SetDetails(const std::string& level) {
    for (const auto& frame : spare_)
        frame->SetDetails(level);
    for (TIFrame* frame : frames_)
        if (frame) frame->SetDetails(level);
    container_.RequestLayout();
}

// --- rows and their frames ---

TGridCells TFrameList::Cells() {
    TGridCells cells;
    cells.Count = static_cast<int>(rows_.size());
    cells.Height = imageSize_;
    if (rows_.empty()) return cells;
    // every column as wide as the widest photo wants
    double widest = 0.0;
    for (const TRow& row : rows_)
        if (row.Area.ImageHeight() > 0)
            widest = std::max(widest, double(row.Area.ImageWidth()) / row.Area.ImageHeight());
    TIFrame* sample = nullptr;
    for (TIFrame* frame : frames_)
        if (frame) sample = frame;
    if (!sample && spare_.empty()) spare_.emplace_back(TakeFrame());
    if (!sample) sample = spare_.back().get();
    cells.MinWidth = sample->minimumWidth();
    cells.PreferredWidth = sample->PreferredWidthFor(imageSize_, widest);
    return cells;
}

std::pair<std::size_t, std::size_t> TFrameList::NearRows() const {
    TGridShape shape = container_.Shape();
    shape.Count = static_cast<int>(rows_.size());
    if (shape.RowHeight <= 0) shape.RowHeight = imageSize_;
    const TBig* big = container_.Big();
    const int top = big->VertBarShown() ? big->VertBar().Position : 0;
    const int screen = std::max(big->Viewport()->height(), imageSize_);
    auto [first, end] =
        shape.CellsBetween(top - kNearScreens * screen, top + (kNearScreens + 1) * screen);
    std::size_t from = static_cast<std::size_t>(first), to = static_cast<std::size_t>(end);
    to = std::max(to, std::min(rows_.size(), from + kLeastFrames));
    return {from, to};
}

void TFrameList::ShowRows() {
    if (showing_) return;
    showing_ = true;
    const auto [first, end] = NearRows();
    TBig* big = container_.Big();
    const bool was = big->UpdatesEnabled();
    big->SetUpdatesEnabled(false);
    for (std::size_t i = 0; i < frames_.size(); ++i)
        if (frames_[i] && (i < first || i >= end)) Unbind(i);
    const TGridShape& shape = container_.Shape();
    const bool laidOut = shape.ColWidth > 0;
    for (std::size_t i = first; i < end; ++i) {
        if (!frames_[i]) Bind(i);
        TIFrame* frame = frames_[i];
        if (TBigControl* item = big->FindItem(frame); item && laidOut) {
            const QRect cell = shape.Cell(static_cast<int>(i));
            big->SetItemBounds(item, cell.x(), cell.y(), imageSize_, cell.width());
        }
    }
    big->SetUpdatesEnabled(was);
    big->Rearrange();
    showing_ = false;
}

TIFrame* TFrameList::TakeFrame() {
    if (!spare_.empty()) {
        TIFrame* frame = spare_.back().release();
        spare_.pop_back();
        return frame;
    }
    auto* frame = new TIFrame;
    ++made_;
    frame->SetCommands(&commands_);
    frame->SetThumbnailSource(reloads_);
    frame->resize(frame->width(), imageSize_);
    frame->SetDetails(Get(settings_, Options::Details));
    frame->SetCropVisible(true);
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
    return frame;
}

void TFrameList::Bind(std::size_t index) {
    TIFrame* frame = TakeFrame();
    TBig* big = container_.Big();
    const TRow& row = rows_[index];
    frame->resize(frame->width(), imageSize_);
    frame->SetDetails(Get(settings_, Options::Details));
    frame->move(0, static_cast<int>(index) * imageSize_);
    big->AddItem(frame);
    frames_[index] = frame;
    frame->Show(order_.At(index), row.Area);
    frame->SetLook(row.Look >= 0 ? row.Look : Get(settings_, Options::CropAreaLook));
    frame->SetMarked(row.Marked);
    frame->SetSelected(static_cast<int>(index) == current_);
    if (static_cast<int>(index) == current_) big->SetCurrent(frame);
}

void TFrameList::Unbind(std::size_t index) {
    TIFrame* frame = std::exchange(frames_[index], nullptr);
    if (!frame) return;
    const int look = frame->Cropper()->Look();
    rows_[index].Look = look == Get(settings_, Options::CropAreaLook) ? -1 : look;
    container_.Big()->RemoveItem(frame);
    frame->SetMarked(false);
    frame->SetSelected(false);
    // the pool keeps what it decoded; the frame keeps nothing of the photo's picture
    frame->Cropper()->Release();
    if (spare_.size() < kSpareFrames)
        spare_.emplace_back(frame);
    else
        frame->deleteLater(); // it may be inside its own event now (its menu's Remove)
}

void TFrameList::InsertRow(std::size_t index, TRow row) {
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
    frames_.insert(frames_.begin() + static_cast<std::ptrdiff_t>(index), nullptr);
    if (current_ >= static_cast<int>(index)) ++current_;
}

void TFrameList::EraseRow(std::size_t index) {
    Unbind(index);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
    frames_.erase(frames_.begin() + static_cast<std::ptrdiff_t>(index));
    if (current_ == static_cast<int>(index))
        current_ = -1;
    else if (current_ > static_cast<int>(index))
        --current_;
}

void TFrameList::EditRow(std::size_t index,
                         const std::function<void(TOrderPhoto&, TCropArea&)>& edit) {
    TOrderPhoto photo = order_.At(index);
    edit(photo, rows_[index].Area);
    order_.Update(index, std::move(photo));
    if (TIFrame* frame = frames_[index]) frame->Show(order_.At(index), rows_[index].Area);
}

void TFrameList::ScrollToRow(std::size_t index) {
    const TGridShape& shape = container_.Shape();
    if (shape.ColWidth <= 0) return;
    TBig* big = container_.Big();
    const QRect cell = shape.Cell(static_cast<int>(index));
    const int view = big->Viewport()->height();
    const int pos = big->VertBar().Position;
    if (cell.height() >= view || cell.top() < pos)
        big->ScrollTo(Qt::Vertical, cell.top());
    else if (cell.top() + cell.height() > pos + view)
        big->ScrollTo(Qt::Vertical, cell.top() + cell.height() - view);
}

// --- photos in and out ---

void TFrameList::Add(const std::string& path, const TJpegLayout& layout, bool incomplete,
                     bool makeCurrent) {
    TRow row;
    TOrderPhoto photo =
        NewPhoto(path, layout, incomplete, Aspects(),
                 {Get(settings_, Options::AutoRotateCrop), Get(settings_, Options::HonourOrientation),
                  Get(settings_, Options::AutoRotateToLandscapeAfterCrop)},
                 NewDestinationName(path, settings_), row.Area);
    // made now, while the file is fresh in the cache: a saved order tells by it
    // a photo only touched since from one changed
    photo.ContentCheck = ContentCheckOf(path);
    // a new photo's first area slides to its faces once they are found
    if (LookForFaces(path)) firstChoice_[path] = photo.Choice;
    const std::size_t index = rows_.size();
    InsertRow(index, std::move(row));
    order_.Insert(index, std::move(photo));
    if (index < NearRows().second) ShowRows();
    if (makeCurrent) SetCurrentIndex(static_cast<int>(index));
    emit ListChanged();
}

bool TFrameList::Place(const std::string& path, bool makeCurrent) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    try {
        Add(path, ReadJpegLayout(path), false, makeCurrent);
    } catch (const TError&) {
        return false;
    }
    return true;
}

bool TFrameList::PlaceSaved(const TFrameState& choice) {
    if (!Place(choice.File, false)) return false;
    const std::size_t index = rows_.size() - 1;
    TOrderPhoto photo = order_.At(index);
    photo.Choice = choice;
    rows_[index].Area =
        AreaOfPhoto(photo, Aspects(), Get(settings_, Options::AutoRotateToLandscapeAfterCrop));
    TakeArea(photo, rows_[index].Area, Aspects());
    order_.Replace(index, photo);
    if (TIFrame* frame = frames_[index]) frame->Show(order_.At(index), rows_[index].Area);
    return true;
}

void TFrameList::RemoveAt(std::size_t index) {
    RemoveRows({index});
}

void TFrameList::RemoveRows(std::vector<std::size_t> indices) {
    if (indices.empty()) return;
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    const std::size_t first = indices.front();
    // from the end, so that the places still to go stay where they are and a long
    // list moves once
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
        firstChoice_.erase(order_.At(*it).File());
        if (!restoring_) order_.Remove(*it);
        EraseRow(*it);
    }
    if (current_ < 0 && !rows_.empty()) SetCurrentIndex(static_cast<int>(std::min(first, rows_.size() - 1)));
    ShowRows();
    emit ListChanged();
    container_.RequestLayout();
}

// --- faces ---

bool TFrameList::LookForFaces(const std::string& file) {
    if (!reloads_ || !Get(settings_, Options::KeepFaces)) return false;
    return reloads_->RequestFaces(this, file, [this, file](std::vector<TCropRect> faces) {
        FacesFound(file, std::move(faces));
    }) != 0;
}

void TFrameList::FacesFound(const std::string& file, std::vector<TCropRect> faces) {
    std::optional<TFrameState> proposed;
    if (const auto first = firstChoice_.find(file); first != firstChoice_.end()) {
        proposed = first->second;
        firstChoice_.erase(first);
    }
    const int i = order_.IndexOf(file);
    if (!faces.empty() && i >= 0) {
        const std::size_t index = static_cast<std::size_t>(i);
        TOrderPhoto photo = order_.At(index);
        photo.Faces = faces;
        order_.Replace(index, std::move(photo));
        if (TIFrame* frame = frames_[index]) {
            frame->Cropper()->Area().SetFaces(std::move(faces));
            frame->Cropper()->update(); // marked while selected
        }
        if (proposed) toSlide_.emplace_back(file, *proposed);
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
    for (const auto& [file, proposed] : std::exchange(toSlide_, {})) {
        const int i = order_.IndexOf(file);
        // an area the user has touched meanwhile stays where they put it
        if (i < 0 || !order_.At(static_cast<std::size_t>(i)).Choice.SameEdit(proposed)) continue;
        EditRow(static_cast<std::size_t>(i), [this](TOrderPhoto& photo, TCropArea& area) {
            SlidePhotoToFaces(photo, area, Aspects());
        });
    }
    Checkpoint();
}

// --- the current photo and those chosen with it ---

void TFrameList::SetCurrentIndex(int index) {
    if (index >= static_cast<int>(rows_.size())) index = -1;
    if (index == current_) return;
    KeepChoiceFor(index);
    if (TIFrame* old = Current()) old->SetSelected(false);
    current_ = index;
    TIFrame* frame = nullptr;
    if (index >= 0) {
        ScrollToRow(static_cast<std::size_t>(index));
        ShowRows();
        frame = frames_[static_cast<std::size_t>(index)];
    }
    if (frame) {
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

void TFrameList::ShowCurrent() {
    if (current_ < 0) return;
    ScrollToRow(static_cast<std::size_t>(current_));
    ShowRows();
}

void TFrameList::SelectedFrom(TIFrame* frame) {
    // a frame handed on may still be inside its own signal
    const int index = IndexOf(frame);
    if (index < 0 || index == current_) return;
    for (TIFrame* f : frames_)
        if (f) f->SetSelected(f == frame);
    SetCurrentIndex(index);
}

void TFrameList::Navigate(TCFrame::TNavigation where) {
    const int count = static_cast<int>(rows_.size());
    if (count == 0) return;
    switch (where) {
    case TCFrame::TNavigation::Previous:
        if (current_ > 0) SetCurrentIndex(current_ - 1);
        break;
    case TCFrame::TNavigation::Next:
        if (current_ >= 0 && current_ < count - 1) SetCurrentIndex(current_ + 1);
        break;
    case TCFrame::TNavigation::Home:
        SetCurrentIndex(0);
        break;
    case TCFrame::TNavigation::End:
        SetCurrentIndex(count - 1);
        break;
    }
}

std::vector<std::size_t> TFrameList::Chosen() const {
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (static_cast<int>(i) == current_ || rows_[i].Marked) chosen.push_back(i);
    return chosen;
}

void TFrameList::SetMarked(std::size_t index, bool marked) {
    if (rows_[index].Marked == marked) return;
    rows_[index].Marked = marked;
    if (TIFrame* frame = frames_[index]) frame->SetMarked(marked);
}

void TFrameList::Choose(TIFrame* frame, Qt::KeyboardModifiers keys) {
    const int index = IndexOf(frame);
    if (index >= 0) ChooseAt(static_cast<std::size_t>(index), keys);
}

void TFrameList::ChooseAt(std::size_t index, Qt::KeyboardModifiers keys) {
    if (index >= rows_.size()) return;
    const int at = static_cast<int>(index);
    if (current_ < 0) {
        SetCurrentIndex(at);
        return;
    }
    if (keys & Qt::ShiftModifier) {
        // the photos from the current one to this one; with Ctrl as well, added to the rest
        const int from = current_, to = at;
        for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
            const bool inside = (i - from) * (i - to) <= 0;
            if (inside || !(keys & Qt::ControlModifier))
                SetMarked(static_cast<std::size_t>(i), inside && i != current_);
        }
        if (at != current_) {
            SetMarked(index, true);
            SetCurrentIndex(at);
        }
        return;
    }
    if (at == current_) {
        // the current photo leaves the choice; another chosen one becomes current
        const std::vector<std::size_t> chosen = Chosen();
        if (chosen.size() < 2) return;
        const std::size_t next = chosen.front() == index ? chosen[1] : chosen.front();
        const std::size_t old = index;
        SetCurrentIndex(static_cast<int>(next));
        SetMarked(old, false);
        return;
    }
    if (rows_[index].Marked) {
        SetMarked(index, false);
        return;
    }
    SetMarked(static_cast<std::size_t>(current_), true);
    SetMarked(index, true);
    SetCurrentIndex(at);
}

void TFrameList::ChooseOnly() {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        SetMarked(i, false);
}

void TFrameList::KeepChoiceFor(int index) {
    // the current photo is always one of the chosen: one outside them ends the choice
    if (index >= 0 && rows_[static_cast<std::size_t>(index)].Marked) {
        SetMarked(static_cast<std::size_t>(index), false);
        if (current_ >= 0) SetMarked(static_cast<std::size_t>(current_), true);
    } else {
        ChooseOnly();
    }
}

void TFrameList::SelectAll() {
    if (rows_.empty()) return;
    if (current_ < 0) SetCurrentIndex(0);
    for (std::size_t i = 0; i < rows_.size(); ++i)
        SetMarked(i, static_cast<int>(i) != current_);
}

// --- what acts on the chosen photos ---

void TFrameList::AspectChosenIn(TIFrame* frame, bool flip) {
    const int at = IndexOf(frame);
    if (spreading_ || at < 0) return;
    const std::vector<std::size_t> chosen = Chosen();
    if (std::find(chosen.begin(), chosen.end(), static_cast<std::size_t>(at)) != chosen.end()) {
        // every chosen photo takes the choice, each with its own largest area
        spreading_ = true;
        const int index = frame->State().AspectIndex;
        const bool autoFlip = Get(settings_, Options::AutoRotateCrop);
        for (std::size_t i : chosen) {
            if (static_cast<int>(i) == at) continue;
            EditRow(i, [&](TOrderPhoto& photo, TCropArea& area) {
                if (flip)
                    ToggleFlip(photo, area, Aspects());
                else
                    ChooseAspect(photo, area, Aspects(), index, autoFlip);
            });
        }
        spreading_ = false;
    }
    Checkpoint();
}

void TFrameList::TurnChosen(int degrees) {
    if (current_ < 0 || locked_) return;
    Checkpoint();
    std::string gone;
    for (std::size_t i : Chosen()) {
        // a photo whose file has gone stays as it was: it could not be cut in any turn
        std::error_code ec;
        if (!fs::exists(order_.At(i).File(), ec)) {
            if (gone.empty()) gone = order_.At(i).File();
            continue;
        }
        const int32_t to = (order_.At(i).Choice.Rotation + degrees) % 360;
        // a frame turns the picture it shows at once; the rest only turn their areas
        if (TIFrame* frame = frames_[i])
            frame->SetRotation(to);
        else
            EditRow(i, [&](TOrderPhoto& photo, TCropArea& area) {
                TurnPhoto(photo, area, Aspects(), to);
            });
    }
    Checkpoint();
    if (!gone.empty()) prompt_.ShowError(ErrorText(TFault{TErrorKind::Missing, gone, "", ""}));
}

void TFrameList::RemoveChosen() {
    if (current_ < 0 || locked_) return;
    Checkpoint();
    RemoveRows(Chosen());
    Checkpoint();
}

void TFrameList::RemoveAll() {
    Checkpoint();
    std::vector<std::size_t> all(rows_.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    RemoveRows(std::move(all));
    Checkpoint();
}

void TFrameList::SetLandscapeTurn(bool on) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        TCropArea& area = rows_[i].Area;
        const TCropArea before = area;
        area.SetWholeBlockPortrait(on);
        if (area == before) continue;
        TOrderPhoto photo = order_.At(i);
        TakeArea(photo, area, Aspects());
        order_.Replace(i, std::move(photo));
        if (TIFrame* frame = frames_[i]) frame->Show(order_.At(i), area);
    }
}

void TFrameList::ChangeLook(int oldLook, int newLook) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (TIFrame* frame = frames_[i]) {
            if (frame->Cropper()->Look() == oldLook) frame->SetLook(newLook);
        } else if (rows_[i].Look == newLook) {
            rows_[i].Look = -1;
        }
    }
}

void TFrameList::WithoutStep(const std::function<void()>& change) {
    Checkpoint();
    restoring_ = true;
    change();
    restoring_ = false;
    for (std::size_t i = 0; i < frames_.size(); ++i)
        if (TIFrame* frame = frames_[i]) {
            rows_[i].Area = frame->Crop();
            order_.Replace(i, frame->Photo());
        }
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
    order_.EndStep();
    emit StepsChanged();
}

void TFrameList::FrameChanged(TIFrame* frame) {
    // the order follows its frames as they change; what an undo does to a frame is
    // the order's own change already
    if (restoring_) return;
    const int i = IndexOf(frame);
    if (i < 0) return;
    const std::size_t index = static_cast<std::size_t>(i);
    rows_[index].Area = frame->Crop();
    TOrderPhoto photo = frame->Photo();
    // a new thumbnail or a new name is no new choice: what became of the crop stays
    const TOrderPhoto& now = order_.At(index);
    if (photo.Choice.SameEdit(now.Choice)) {
        photo.State = now.State;
        photo.Reason = now.Reason;
    }
    order_.Update(index, std::move(photo));
}

void TFrameList::Step(bool back) {
    if (locked_) return;
    keyRun_.stop(); // a run of keys still open is the step to undo
    restoring_ = true;
    lastBack_ = -1;
    if (back)
        order_.Undo(*this);
    else
        order_.Redo(*this);
    restoring_ = false;
    // laid out now, so that the grid scrolls to where a photo came back
    container_.LayoutNow();
    if (lastBack_ >= 0) SetCurrentIndex(lastBack_);
    if (current_ < 0 && !rows_.empty()) SetCurrentIndex(0);
    emit ListChanged();
    emit StepsChanged();
}

void TFrameList::PhotoInserted(std::size_t index) {
    TRow row;
    row.Area = AreaOfPhoto(order_.At(index), Aspects(),
                           Get(settings_, Options::AutoRotateToLandscapeAfterCrop));
    InsertRow(index, std::move(row));
    lastBack_ = static_cast<int>(index);
}

void TFrameList::PhotoRemoved(std::size_t index, const TOrderPhoto&) {
    if (index >= rows_.size()) return;
    const bool wasCurrent = current_ == static_cast<int>(index);
    EraseRow(index);
    if (lastBack_ > static_cast<int>(index)) --lastBack_;
    // the photo after it (or before, at the end) becomes current
    if (wasCurrent && lastBack_ < 0 && !rows_.empty())
        lastBack_ = static_cast<int>(std::min(index, rows_.size() - 1));
}

void TFrameList::PhotoChanged(std::size_t index) {
    if (index >= rows_.size()) return;
    rows_[index].Area = AreaOfPhoto(order_.At(index), Aspects(),
                                    Get(settings_, Options::AutoRotateToLandscapeAfterCrop));
    if (TIFrame* frame = frames_[index]) frame->Show(order_.At(index), rows_[index].Area);
}
