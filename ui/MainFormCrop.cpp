// The crop run over image frames and the external crop preview.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include <stdlib.h>

#include <QAction>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "core/Error.h"
#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "core/StringController.h"
#include "core/UserPrompt.h"
#include "frames/IFrame.h"
#include "grid/CropContainer.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "jobs/CropJob.h"
#include "jobs/CropPlan.h"
#include "jobs/SharedSettings.h"
#include "model/DestinationNaming.h"
#include "model/Options.h"
#include "ui/CropPreview.h"
#include "ui/CropRun.h"
#include "ui/FrameList.h"
#include "ui/MainForm.h"
#include "ui/PhotoFault.h"
#include "ui/PreviewWindow.h"
#include "ui/ShellServices.h"

namespace fs = std::filesystem;

namespace {

// the count that picks the plural form is the whole, "of %2"
QString CropProgressText(int finished, std::size_t of) {
    return trn_("Cropping %1/%2 image...", "Cropping %1/%2 images...", of).arg(finished).arg(of);
}
} // namespace

void TMainForm::CropCurrentActionExecute() {
    if (processing_) return;
    if (list_->CurrentIndex() < 0) {
        SetStatusText(tr_("No current image to crop"));
        return;
    }
    std::vector<std::string> files;
    for (std::size_t i : list_->Chosen())
        files.push_back(list_->Order().At(i).File());
    CropPhotos(std::move(files), true);
}

void TMainForm::CropImagesActionExecute() {
    if (processing_) return;
    // no folder is made and no account given for a run of nothing
    if (list_->Empty()) {
        prompt_->ShowMessage(Translate("There are no photos to crop: add some first."));
        return;
    }
    SetBusy(true);
    try {
        std::vector<std::string> files;
        for (const TOrderPhoto& photo : list_->Order().Photos())
            files.push_back(photo.File());
        CropPhotos(std::move(files), true, true);
    } catch (...) {
        SetBusy(false);
        throw;
    }
    // the cursor stays busy until the jobs have ended
    if (cropRun_)
        endBusy_ = true;
    else
        SetBusy(false);
}

void TMainForm::CropFrames(const std::vector<TIFrame*>& frames, bool removeCropped,
                           bool summarise) {
    std::vector<std::string> files;
    for (const TIFrame* frame : frames)
        if (list_->IndexOf(frame) >= 0) files.push_back(frame->SourceFileName());
    CropPhotos(std::move(files), removeCropped, summarise);
}

void TMainForm::CropPhotos(std::vector<std::string> files, bool removeCropped, bool summarise) {
    if (processing_) return;
    const std::string tool = FindTransformer();
    if (tool.empty()) {
        prompt_->ShowError(MissingTransformerMessage());
        return;
    }
    const int n = static_cast<int>(files.size());
    SetStatusText(trn_("Cropping %1 image...", "Cropping %1 images...", n).arg(n));

    const std::string folder = DestinationFolder(DirEdit()->text().toStdString());
    std::error_code ec;
    if (!folder.empty()) fs::create_directories(folder, ec);
    if (folder.empty() || !fs::is_directory(folder, ec)) {
        prompt_->ShowError(FillPlaceholders(Translate("Unable to create \"%1\""), {folder}));
        SetStatusText(tr_("Error creating directory"));
        return;
    }

    SetProcessing(true);
    container_->Big()->SetUpdatesEnabled(false);
    removeCropped_ = removeCropped;
    cropRun_ = std::make_unique<TCropRun>(
        list_->Order(), *prompt_,
        TCropRun::TSettings{folder, tool, Get(*settings_, Options::ExistingFile) == "Warn",
                            CropOptionsFrom(*settings_), summarise,
                            Get(*settings_, Options::SizeSubfolders),
                            Get(*settings_, Options::LowResolutionPPI)});
    connect(cropRun_.get(), &TCropRun::Progress, this,
            [this](int finished, int of) { SetStatusText(CropProgressText(finished, of)); });
    // a frame whose file was not written stays, so the user can mend and crop again
    connect(cropRun_.get(), &TCropRun::Written, this, [this](const std::string& file) {
        const int i = list_->Order().IndexOf(file);
        if (!removeCropped_ || i < 0) return;
        list_->SetCurrentIndex(i);
        list_->RemoveAt(static_cast<std::size_t>(i));
    });
    connect(cropRun_.get(), &TCropRun::Ended, this, &TMainForm::EndCropRun);
    // a close confirmed meanwhile ends the run before the next photo
    cropRun_->Start(files, [this] { return closing_; });
    if (cropRun_ && cropRun_->ProgressPanel()) {
        SetStatusText(CropProgressText(0, files.size()));
        statusBar()->addPermanentWidget(cropRun_->ProgressPanel());
        cropRun_->ProgressPanel()->show();
    }
}

void TMainForm::EndCropRun() {
    // the run goes once its last report is out, on the window's thread
    if (!cropRun_) return;
    TCropRun* run = cropRun_.release();
    run->deleteLater();
    TBig* big = container_->Big();
    big->SetUpdatesEnabled(true);
    container_->LayoutNow();
    list_->ShowCurrent();
    SetStatusText(run->Cancelled() ? tr_("Cropping cancelled") : tr_("Finished cropping"));
    SetProcessing(false);
    list_->Checkpoint(); // the frames the run took away come back by one undo
    if (endBusy_) SetBusy(false);
    endBusy_ = false;
    run->DropProgress();
    // one account of the whole run, unless the window is going
    if (run->Summarise() && !closing_)
        prompt_->ShowSummary(run->SummaryText(), run->Folder(), run->Failed());
    if (closing_) QTimer::singleShot(0, this, &QWidget::close);
    emit cropRunFinished();
}

void TMainForm::PreviewActionExecute() {
    if (list_->CurrentIndex() < 0) return;
    const TOrderPhoto* photo = &list_->Order().At(static_cast<std::size_t>(list_->CurrentIndex()));
    // the crop is written with its print resolution; the preview keeps the source's
    preview_->Show(*photo, Get(*settings_, Options::UpdatePPI) ? photo->Resolution : 0);
}
