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
#include "ui/AddRun.h"
#include "ui/FrameList.h"
#include "ui/MainForm.h"
#include "ui/PhotoFault.h"
#include "ui/PreviewFileDialog.h"
#include "ui/SForm.h"
#include "ui/ShellServices.h"

namespace fs = std::filesystem;

namespace {
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
    if (MayChangeList()) adding_->AddFolder(folder, recursive);
}

void TMainForm::AddFiles(const std::vector<std::string>& files) {
    if (MayChangeList()) adding_->AddFiles(files);
}

bool TMainForm::Adding() const {
    return adding_->Adding();
}

void TMainForm::ThumbnailsIdle() {
    if (!makingThumbnails_ || thumbnails_->Pending() + reloads_->Pending() > 0) return;
    makingThumbnails_ = false;
    if (StatusText() == tr_("Making thumbnails...")) SetStatusText(tr_("Images added"));
}

void TMainForm::AddRunFramesIn() {
    // the frames shown decode their thumbnails at their final size: "added" once they have
    if (StatusText() == tr_("Images added") && thumbnails_->Pending() + reloads_->Pending() > 0) {
        SetStatusText(tr_("Making thumbnails..."));
        makingThumbnails_ = true;
    }
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
    std::vector<TIFrame*> frames;
    for (std::size_t i : list_->Chosen())
        if (TIFrame* frame = Images()[i]) frames.push_back(frame);
    return frames;
}

void TMainForm::UpdateImageCommands() {
    const bool some = list_->CurrentIndex() >= 0;
    Action("PreviewAction")->setEnabled(some);
    for (const char* name :
         {"CropCurrentAction", "RotateLeftAction", "RotateRightAction", "RemoveAction"})
        Action(name)->setEnabled(some && !processing_);
    if (emptyHint_) emptyHint_->setVisible(list_->Empty());
    UpdateUndoCommands();
}

void TMainForm::UpdateUndoCommands() {
    Action("UndoAction")->setEnabled(!processing_ && list_->CanUndo());
    Action("RedoAction")->setEnabled(!processing_ && list_->CanRedo());
    Action("ClearListAction")->setEnabled(!processing_ && !list_->Empty());
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
    const std::size_t count = list_->Count();
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
    if (list_->CurrentIndex() < 0) return false;
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
        list_->SetLandscapeTurn(Get(*settings_, Options::AutoRotateToLandscapeAfterCrop));
        const int newLook = Get(*settings_, Options::CropAreaLook);
        // photos whose look the user chose by hand keep it
        if (newLook != oldLook) list_->ChangeLook(oldLook, newLook);
    });
}
