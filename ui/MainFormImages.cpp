// The main window's image list: adding files and folders, the current frame,
// navigation, turning and removing frames, and what the frames ask for.
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QScopeGuard>

#include "core/Error.h"
#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "core/UserPrompt.h"
#include "frames/IFrame.h"
#include "grid/CropContainer.h"
#include "grid/ImageLoader.h"
#include "grid/ThumbnailPool.h"
#include "i18n/ErrorText.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "jobs/SharedSettings.h"
#include "model/CropArea.h"
#include "model/DestinationNaming.h"
#include "model/ImageFiles.h"
#include "model/Options.h"
#include "ui/MainForm.h"
#include "ui/PhotoFault.h"
#include "ui/PreviewFileDialog.h"
#include "ui/SForm.h"
#include "ui/ShellServices.h"

namespace fs = std::filesystem;

namespace {
// The first lines of what could not be read, under one heading.
std::string UnreadableList(const std::vector<std::string>& lines, std::size_t shown) {
    std::string text = Translate("These folders and files could not be read:");
    for (std::size_t i = 0; i < lines.size() && i < shown; ++i)
        text += "\n" + lines[i];
    if (lines.size() > shown) text += "\n...";
    return text;
}

std::string FolderPart(const std::string& path) {
    if (path.empty()) return path;
    if (path.back() == '/') return path;
    return fs::path(path).parent_path().string();
}
} // namespace

std::string TMainForm::StartFolder() const {
    const std::string stored = Get(*settings_, Options::ImageDir);
    if (settings_->indexOf(Options::ImageDir.key) >= 0 && !stored.empty())
        return FolderPart(stored);
    // the pictures folder itself is where a user's photos are
    return GetSpecialFolder(9);
}

bool TMainForm::MayChangeList() const {
    return !processing_;
}

void TMainForm::AddImagesExecute() {
    if (!MayChangeList()) return;
    std::unique_ptr<QFileDialog> chooser = Get(*settings_, Options::PreviewImages)
                                               ? std::make_unique<TPreviewFileDialog>(this)
                                               : std::make_unique<QFileDialog>(this);
    QFileDialog& dialog = *chooser;
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::ReadOnly, true);
    dialog.setNameFilters({tr_("JPEG Image Files (*.jpg, *.jpeg)") +
                               QStringLiteral(" (*.jpg *.jpeg *.jpe *.JPG *.JPEG *.JPE)"),
                           tr_("All Files") + QStringLiteral(" (*)")});
    dialog.setDirectory(QString::fromStdString(StartFolder()));
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return;
    Set(*settings_, Options::ImageDir, chosen.first().toStdString());
    std::vector<std::string> files;
    for (const QString& f : chosen)
        files.push_back(f.toStdString());
    AddFiles(files);
}

void TMainForm::AddFolderExecute(bool recursive) {
    if (!MayChangeList()) return;
    std::string folder = StartFolder();
    if (!SelectFolder(this, Translate("Select folder"), folder)) return;
    AddFolder(folder, recursive);
    Set(*settings_, Options::ImageDir, folder.back() == '/' ? folder : folder + "/");
}

void TMainForm::AddFolder(const std::string& folder, bool recursive) {
    std::vector<TListFault> faults;
    AddFiles(ListImageFiles(folder, recursive, &faults));
    TellListFaults(faults);
}

void TMainForm::TellListFaults(const std::vector<TListFault>& faults) {
    if (faults.empty()) return;
    // what could not be looked into is told, not passed over
    std::vector<std::string> lines;
    for (const TListFault& fault : faults)
        lines.push_back(fault.Path + ": " + fault.Reason);
    prompt_->ShowError(UnreadableList(lines, 10));
}

void TMainForm::AddFiles(const std::vector<std::string>& files) {
    if (files.empty() || !MayChangeList()) return;
    StartAddRun(files);
}

void TMainForm::StartAddRun(const std::vector<std::string>& files) {
    if (Adding()) {
        // files that come while a run is on (a drop, the command line) follow it
        waitingFiles_.insert(waitingFiles_.end(), files.begin(), files.end());
        return;
    }
    TIFrame* already = nullptr;
    const std::vector<std::string> fresh = NewFilesOnly(files, already);
    if (fresh.empty()) {
        ShowAlreadyListed(already, files.size());
        return;
    }
    // told when the run has ended, so that its own status line does not hide it
    alreadyListed_ = {already, files.size() - fresh.size()};
    loadForm_->SetList(fresh);
    // decoded ahead at the screen's device pixels, as the editors decode their own
    loadForm_->SetThumbnailHeight(
        DeviceHeight(TIFrame::EditorHeightFor(imageSize_, Get(*settings_, Options::Details)),
                     devicePixelRatioF()));
    loadForm_->SetHonourOrientation(Get(*settings_, Options::HonourOrientation));
    lastLayout_.invalidate();
    loadForm_->Start();
}

bool TMainForm::Adding() const {
    return !loadForm_->Finished();
}

void TMainForm::FrameArrived() {
    // the grid follows the arriving frames without being laid out once per frame
    constexpr qint64 kLayoutEveryMs = 100;
    // a frame that made the grid overflow is laid out at once: the columns narrow by
    // the vertical bar at once, and no horizontal bar comes and goes meanwhile
    const bool overflowing = container_->Big()->HorzBarShown();
    if (!overflowing && lastLayout_.isValid() && lastLayout_.elapsed() < kLayoutEveryMs) return;
    lastLayout_.start();
    container_->LayoutNow();
}

void TMainForm::NoteUnreadable(const std::string& path, const std::optional<TFault>& fault) {
    // what is wrong with the photo, judged from the file where it shows it; the decoder's after it
    std::string said = PhotoFault(path, fault ? *fault : TFault{});
    if (said.empty())
        said = fault ? ErrorText(*fault) : ErrorText({TErrorKind::NotAFile, path, "", ""});
    unreadable_.push_back(fs::path(path).filename().string() + ": " + said);
}

void TMainForm::ThumbnailsIdle() {
    if (!makingThumbnails_ || thumbnails_->Pending() + reloads_->Pending() > 0) return;
    makingThumbnails_ = false;
    if (StatusText() == tr_("Making thumbnails...")) SetStatusText(tr_("Images added"));
}

void TMainForm::AddRunEnded() {
    if (!current_ && !images_.empty()) SetCurrentFrame(images_.front());
    container_->LayoutNow(); // the last frames are shown at once
    // the frames shown decode their thumbnails at their final size: "added" once they have
    if (StatusText() == tr_("Images added") && thumbnails_->Pending() + reloads_->Pending() > 0) {
        SetStatusText(tr_("Making thumbnails..."));
        makingThumbnails_ = true;
    }
    Checkpoint(); // the files added are one step
    if (const auto [frame, count] = std::exchange(alreadyListed_, {}); frame)
        ShowAlreadyListed(frame, count);
    // files that came meanwhile were accepted then: a crop run begun since does not turn
    // them away; when they make a run of their own, its end tells the rest
    if (!waitingFiles_.empty()) {
        StartAddRun(std::exchange(waitingFiles_, {}));
        if (Adding()) return;
    }
    // what could not be read is told once, after the whole add
    if (!unreadable_.empty())
        prompt_->ShowError(UnreadableList(std::exchange(unreadable_, {}), 20));
    emit addRunFinished();
}

namespace {
/// One spelling per file: links and "." or ".." resolved where the file exists.
std::string SameFileKey(const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    return ec ? fs::path(path).lexically_normal().string() : canonical.string();
}
} // namespace

std::vector<std::string> TMainForm::NewFilesOnly(const std::vector<std::string>& files,
                                                 TIFrame*& already) const {
    // a file listed twice would be cut twice into the same name, the uncropped copy
    // possibly last
    std::map<std::string, TIFrame*> listed;
    for (TIFrame* frame : images_)
        listed.emplace(SameFileKey(frame->SourceFileName()), frame);
    std::set<std::string> taken;
    std::vector<std::string> fresh;
    already = nullptr;
    for (const std::string& file : files) {
        const std::string key = SameFileKey(file);
        const auto it = listed.find(key);
        if (it != listed.end()) {
            if (!already) already = it->second;
        } else if (taken.insert(key).second) {
            fresh.push_back(file);
        }
    }
    return fresh;
}

void TMainForm::ShowAlreadyListed(TIFrame* frame, std::size_t count) {
    if (!frame || IndexOf(frame) < 0) return;
    SetCurrentFrame(frame);
    const QString name = QString::fromStdString(LastComponent(frame->SourceFileName()));
    SetStatusText(count > 1
                      ? trn_("%1 file is already in the list and was not added again.",
                             "%1 files are already in the list and were not added again.", count)
                            .arg(count)
                      : tr_("\"%1\" is already in the list; its frame is selected.").arg(name));
}

TIFrame* TMainForm::AddImage(const std::string& path) {
    TIFrame* frame = PlaceImage(
        path, [&path](TIFrame& frame) { return frame.LoadFile(path); }, !Adding());
    if (!frame && Adding()) NoteUnreadable(path, std::nullopt);
    if (frame && Adding()) FrameArrived();
    return frame;
}

TIFrame* TMainForm::AddImage(const std::string& path, TDecodedThumbnail decoded, int32_t height) {
    // a file the decoder refused would be dropped after its frame was made
    if (!decoded.Thumbnail) {
        NoteUnreadable(path, decoded.Fault);
        return nullptr;
    }
    // the user works on while frames arrive: the current frame changes only when there is none
    TIFrame* frame = PlaceImage(
        path, [&](TIFrame& f) { return f.LoadFile(path, std::move(*decoded.Thumbnail), height); },
        current_ == nullptr);
    if (!frame) return nullptr;
    // the view size changed since the run began: the frame decodes again at its new height
    if (height != TIFrame::EditorHeightFor(imageSize_, Get(*settings_, Options::Details)))
        frame->Reload();
    FrameArrived();
    return frame;
}

TIFrame* TMainForm::PlaceImage(const std::string& path, const std::function<bool(TIFrame&)>& load,
                               bool makeCurrent) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return nullptr;
    TBig* big = container_->Big();
    const int scroll = big->VertBar().Position;

    auto* frame = new TIFrame(big->Viewport());
    frame->SetCommands(this);
    frame->SetThumbnailSource(reloads_.get());
    frame->resize(frame->width(), imageSize_);
    frame->move(0, static_cast<int>(images_.size()) * imageSize_);
    images_.push_back(frame);
    frame->SetDetails(Get(*settings_, Options::Details));
    frame->SetHonourOrientation(Get(*settings_, Options::HonourOrientation));
    frame->SetLandscapeTurn(Get(*settings_, Options::AutoRotateToLandscapeAfterCrop));
    big->AddItem(frame);

    if (!load(*frame)) {
        big->RemoveItem(frame);
        images_.pop_back();
        ReleaseFrame(frame);
        big->ScrollTo(Qt::Vertical, scroll);
        return nullptr;
    }
    frame->SetDestFileName(NewDestinationName(path, *settings_));
    frame->SetCropVisible(true);
    frame->SetLook(Get(*settings_, Options::CropAreaLook));
    connect(frame, &TIFrame::SelectRequested, this, [this, frame] { SelectedFrom(frame); });
    connect(frame, &TIFrame::Navigate, this, &TMainForm::NavigateFrom);
    connect(frame, &TIFrame::AspectChosen, this,
            [this, frame](bool flip) { AspectChosenIn(frame, flip); });
    connect(frame, &TIFrame::Edited, this, &TMainForm::Checkpoint);
    connect(frame, &TIFrame::KeyEdited, this, [this, frame] { KeyEditIn(frame); });
    connect(frame, &TIFrame::ExtendRequested, this,
            [this, frame](Qt::KeyboardModifiers keys) { ChooseFrame(frame, keys); });
    connect(frame, &TIFrame::SoleRequested, this, [this] { ChooseOnly(); });
    if (makeCurrent) SetCurrentFrame(frame);
    if (Get(*settings_, Options::AutoRotateCrop)) frame->AutoFlip();
    frame->CenterCrop();
    big->ScrollTo(Qt::Vertical, scroll);
    return frame;
}

void TMainForm::SetCurrentFrame(TIFrame* frame) {
    if (frame == current_) return;
    KeepChoiceFor(frame);
    if (current_) current_->SetSelected(false);
    current_ = frame;
    if (frame) {
        container_->Big()->ScrollIntoView(frame);
        // focus already on one of the frame's controls (which is how it became current)
        // stays there
        if (frame->isVisible() && frame->isEnabled() &&
            !frame->isAncestorOf(QApplication::focusWidget()))
            frame->FocusCrop();
        frame->SetSelected(true);
    }
    UpdateImageCommands();
    container_->Big()->SetCurrent(frame);
}

void TMainForm::UpdateImageCommands() {
    const bool some = current_ != nullptr;
    Action("PreviewAction")->setEnabled(some);
    for (const char* name :
         {"CropCurrentAction", "RotateLeftAction", "RotateRightAction", "RemoveAction"})
        Action(name)->setEnabled(some && !processing_);
    if (emptyHint_) emptyHint_->setVisible(images_.empty());
    UpdateUndoCommands();
}

int TMainForm::IndexOf(const TIFrame* frame) const {
    if (!frame) return -1;
    const auto it = std::find(images_.begin(), images_.end(), frame);
    return it == images_.end() ? -1 : static_cast<int>(it - images_.begin());
}

void TMainForm::RotateRightExecute() {
    TurnCurrent(90);
}

void TMainForm::RotateLeftExecute() {
    TurnCurrent(270);
}

void TMainForm::TurnCurrent(int degrees) {
    if (!current_ || processing_) return;
    Checkpoint();
    for (TIFrame* frame : ChosenFrames()) {
        try {
            frame->SetRotation((frame->Rotation() + degrees) % 360);
        } catch (const TError& e) {
            // the photo cannot be read again (moved or damaged): the frame stays as it was
            prompt_->ShowError(ErrorText(e));
        }
    }
    Checkpoint();
}

void TMainForm::RemoveExecute() {
    if (!current_ || processing_) return;
    Checkpoint();
    for (TIFrame* frame : ChosenFrames())
        RemoveFrame(frame);
    Checkpoint();
}

void TMainForm::RemoveFrame(TIFrame* frame) {
    int i = IndexOf(frame);
    // the frame can come back by an undo, in its state and place
    if (i >= 0 && !restoring_) removed_.push_back({i, frame->State()});
    container_->Big()->RemoveItem(frame);
    if (i >= 0) images_.erase(images_.begin() + i);
    if (frame == current_) current_ = nullptr;
    KeepFrame(frame);
    if (i < 0) i = 0;
    TIFrame* next = nullptr;
    if (i < static_cast<int>(images_.size()))
        next = images_[static_cast<std::size_t>(i)];
    else if (!images_.empty())
        next = images_.back();
    SetCurrentFrame(next);
    UpdateImageCommands();
    container_->RequestLayout();
}

void TMainForm::ReleaseFrame(TIFrame* frame) {
    // the frame may be inside its own event now: it lives until the next release
    frame->hide();
    frame->setParent(nullptr);
    released_.reset(frame);
}

void TMainForm::SelectedFrom(TIFrame* frame) {
    // a frame already released may still be inside its own signal
    if (IndexOf(frame) < 0 || frame == current_) return;
    for (TIFrame* f : images_)
        f->SetSelected(f == frame);
    SetCurrentFrame(frame);
}

void TMainForm::NavigateFrom(TCFrame::TNavigation where) {
    const int p = IndexOf(current_);
    const int count = static_cast<int>(images_.size());
    switch (where) {
    case TCFrame::TNavigation::Previous:
        if (p > 0) SetCurrentFrame(images_[static_cast<std::size_t>(p - 1)]);
        break;
    case TCFrame::TNavigation::Next:
        if (p >= 0 && p < count - 1) SetCurrentFrame(images_[static_cast<std::size_t>(p + 1)]);
        break;
    case TCFrame::TNavigation::Home:
        if (count > 0) SetCurrentFrame(images_.front());
        break;
    case TCFrame::TNavigation::End:
        if (count > 0) SetCurrentFrame(images_.back());
        break;
    }
}

void TMainForm::Preview(TIFrame& frame) {
    SelectedFrom(&frame);
    PreviewActionExecute();
}

void TMainForm::CropCurrent(TIFrame& frame) {
    SelectedFrom(&frame);
    CropCurrentActionExecute();
}

void TMainForm::RotateLeft(TIFrame& frame) {
    SelectedFrom(&frame);
    RotateLeftExecute();
}

void TMainForm::RotateRight(TIFrame& frame) {
    SelectedFrom(&frame);
    RotateRightExecute();
}

void TMainForm::Remove(TIFrame& frame) {
    SelectedFrom(&frame);
    RemoveExecute();
}

bool TMainForm::IsEnabled(TFrameCommand command) const {
    if (!current_) return false;
    return command == TFrameCommand::Preview || !processing_;
}

void TMainForm::PreferencesExecute() {
    if (processing_) return;
    Checkpoint();
    // what new settings do to the frames (a new aspect list, whole-block heights) is no step
    const auto rebase = qScopeGuard([this] { Rebase(); });
    const int oldHuge = Get(*settings_, Options::HugeHeight);
    const int oldLook = Get(*settings_, Options::CropAreaLook);
    if (sForm_->exec() != QDialog::Accepted) return;
    const int newHuge = Get(*settings_, Options::HugeHeight);
    if (newHuge != oldHuge && Action("HugeAction")->isChecked()) ApplyViewSize(newHuge);
    // portrait areas take whole-block heights while results are turned to landscape
    const bool landscape = Get(*settings_, Options::AutoRotateToLandscapeAfterCrop);
    for (TIFrame* frame : images_)
        frame->SetLandscapeTurn(landscape);
    const int newLook = Get(*settings_, Options::CropAreaLook);
    if (newLook != oldLook) {
        // frames whose look the user chose by hand keep it
        for (TIFrame* frame : images_)
            if (frame->Cropper()->Look() == oldLook) frame->SetLook(newLook);
    }
}
