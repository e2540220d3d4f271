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

#include "core/Error.h"
#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "core/StringController.h"
#include "core/UserPrompt.h"
#include "frames/IFrame.h"
#include "grid/CropContainer.h"
#include "grid/ImageLoader.h"
#include "grid/ThumbnailPool.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "jobs/SharedSettings.h"
#include "model/CropArea.h"
#include "model/DestinationNaming.h"
#include "model/ImageFiles.h"
#include "model/Options.h"
#include "ui/FrameList.h"
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
        DeviceHeight(TIFrame::EditorHeightFor(ImageSize(), Get(*settings_, Options::Details)),
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

void TMainForm::NoteUnreadable(const std::string& path, std::string reason) {
    // what is wrong with the photo, in the user's words; the decoder's after it
    const std::string said =
        PhotoFault(path, reason,
                   Translate(reason.empty() ? "The file is no JPEG photo that can be read"
                                            : "The photo cannot be read"));
    unreadable_.push_back(fs::path(path).filename().string() + ": " + said);
}

void TMainForm::ThumbnailsIdle() {
    if (!makingThumbnails_ || thumbnails_->Pending() + reloads_->Pending() > 0) return;
    makingThumbnails_ = false;
    if (StatusText() == tr_("Making thumbnails...")) SetStatusText(tr_("Images added"));
}

void TMainForm::AddRunEnded() {
    if (!CurrentFrame() && !Images().empty()) SetCurrentFrame(Images().front());
    container_->LayoutNow(); // the last frames are shown at once
    // the frames shown decode their thumbnails at their final size: "added" once they have
    if (StatusText() == tr_("Images added") && thumbnails_->Pending() + reloads_->Pending() > 0) {
        SetStatusText(tr_("Making thumbnails..."));
        makingThumbnails_ = true;
    }
    list_->Checkpoint(); // the files added are one step
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
    for (TIFrame* frame : Images())
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
    if (!frame || list_->IndexOf(frame) < 0) return;
    SetCurrentFrame(frame);
    const QString name = QString::fromStdString(LastComponent(frame->SourceFileName()));
    SetStatusText(count > 1
                      ? trn_("%1 file is already in the list and was not added again.",
                             "%1 files are already in the list and were not added again.", count)
                            .arg(count)
                      : tr_("\"%1\" is already in the list; its frame is selected.").arg(name));
}

TIFrame* TMainForm::AddImage(const std::string& path) {
    TIFrame* frame = list_->Place(path, !Adding());
    if (!frame && Adding()) NoteUnreadable(path, "");
    if (frame && Adding()) FrameArrived();
    return frame;
}

TIFrame* TMainForm::AddImage(const std::string& path, TDecodedThumbnail decoded, int32_t height) {
    // a file the decoder refused would be dropped after its frame was made
    if (!decoded.Thumbnail) {
        NoteUnreadable(path, decoded.Error);
        return nullptr;
    }
    // the user works on while frames arrive: the current frame changes only when there is none
    TIFrame* frame = list_->Place(
        path, [&](TIFrame& f) { return f.LoadFile(path, std::move(*decoded.Thumbnail), height); },
        CurrentFrame() == nullptr);
    if (!frame) return nullptr;
    // the view size changed since the run began: the frame decodes again at its new height
    if (height != TIFrame::EditorHeightFor(ImageSize(), Get(*settings_, Options::Details)))
        frame->Reload();
    FrameArrived();
    return frame;
}

TIFrame* TMainForm::CurrentFrame() const {
    return list_->Current();
}

void TMainForm::SetCurrentFrame(TIFrame* frame) {
    list_->SetCurrent(frame);
}

const std::vector<TIFrame*>& TMainForm::Images() const {
    return list_->Frames();
}

int TMainForm::ImageSize() const {
    return list_->ImageSize();
}

std::vector<TIFrame*> TMainForm::ChosenFrames() const {
    return list_->Chosen();
}

void TMainForm::UpdateImageCommands() {
    const bool some = CurrentFrame() != nullptr;
    Action("PreviewAction")->setEnabled(some);
    for (const char* name :
         {"CropCurrentAction", "RotateLeftAction", "RotateRightAction", "RemoveAction"})
        Action(name)->setEnabled(some && !processing_);
    if (emptyHint_) emptyHint_->setVisible(Images().empty());
    UpdateUndoCommands();
}

void TMainForm::UpdateUndoCommands() {
    Action("UndoAction")->setEnabled(!processing_ && list_->CanUndo());
    Action("RedoAction")->setEnabled(!processing_ && list_->CanRedo());
    Action("ClearListAction")->setEnabled(!processing_ && !Images().empty());
}

void TMainForm::RotateRightExecute() {
    list_->TurnChosen(90);
}

void TMainForm::RotateLeftExecute() {
    list_->TurnChosen(270);
}

void TMainForm::RemoveExecute() {
    list_->RemoveChosen();
}

void TMainForm::SelectAllExecute() {
    list_->SelectAll();
}

void TMainForm::ClearListExecute() {
    const std::size_t count = Images().size();
    if (!MayChangeList() || count == 0) return;
    // every photo still in the list is uncropped
    if (prompt_->Confirm(FillPlaceholders(
            TranslatePlural("Remove the %1 photo from the list? It has not been cropped.",
                            "Remove all %1 photos from the list? None of them has been cropped.",
                            count),
            {std::to_string(count)})))
        list_->RemoveAll();
}

void TMainForm::Preview(TIFrame& frame) {
    list_->SelectedFrom(&frame);
    PreviewActionExecute();
}

void TMainForm::CropCurrent(TIFrame& frame) {
    list_->SelectedFrom(&frame);
    CropCurrentActionExecute();
}

void TMainForm::RotateLeft(TIFrame& frame) {
    list_->SelectedFrom(&frame);
    RotateLeftExecute();
}

void TMainForm::RotateRight(TIFrame& frame) {
    list_->SelectedFrom(&frame);
    RotateRightExecute();
}

void TMainForm::Remove(TIFrame& frame) {
    list_->SelectedFrom(&frame);
    RemoveExecute();
}

bool TMainForm::IsEnabled(TFrameCommand command) const {
    if (!CurrentFrame()) return false;
    return command == TFrameCommand::Preview || !processing_;
}

void TMainForm::PreferencesExecute() {
    if (processing_) return;
    // what new settings do to the frames (a new aspect list, whole-block heights) is no step
    list_->WithoutStep([this] {
        const int oldHuge = Get(*settings_, Options::HugeHeight);
        const int oldLook = Get(*settings_, Options::CropAreaLook);
        if (sForm_->exec() != QDialog::Accepted) return;
        const int newHuge = Get(*settings_, Options::HugeHeight);
        if (newHuge != oldHuge && Action("HugeAction")->isChecked()) ApplyViewSize(newHuge);
        // portrait areas take whole-block heights while results are turned to landscape
        const bool landscape = Get(*settings_, Options::AutoRotateToLandscapeAfterCrop);
        for (TIFrame* frame : Images())
            frame->SetLandscapeTurn(landscape);
        const int newLook = Get(*settings_, Options::CropAreaLook);
        if (newLook != oldLook) {
            // frames whose look the user chose by hand keep it
            for (TIFrame* frame : Images())
                if (frame->Cropper()->Look() == oldLook) frame->SetLook(newLook);
        }
    });
}
