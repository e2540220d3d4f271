// The crop run over image frames and the external crop preview.
#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include "CropContainer.h"
#include "CropJob.h"
#include "DestinationNaming.h"
#include "Error.h"
#include "FilesystemController.h"
#include "IFrame.h"
#include "MainForm.h"
#include "Options.h"
#include "SharedSettings.h"
#include "ShellServices.h"
#include "StorageTank.h"
#include "TranslateWindow.h"
#include "UserPrompt.h"
#include "gnugettext.h"

namespace fs = std::filesystem;

namespace {
TCropSpec SpecOf(const TIFrame& frame) {
    const TCropRect r = frame.GetCrop();
    TCropSpec crop;
    crop.X = r.x;
    crop.Y = r.y;
    crop.Width = r.width;
    crop.Height = r.height;
    crop.Rotation = frame.Rotation();
    crop.Kind = frame.Kind();
    return crop;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}
} // namespace

void TMainForm::CropCurrentActionExecute() {
    if (processing_) return;
    if (!current_) {
        SetStatusText(tr_("No current image to crop"));
        return;
    }
    CropFrames({current_}, true);
}

void TMainForm::CropImagesActionExecute() {
    if (processing_) return;
    SetBusy(true);
    try {
        CropFrames(images_, true);
    } catch (...) {
        SetBusy(false);
        throw;
    }
    SetBusy(false);
}

void TMainForm::CropFrames(std::vector<TIFrame*> frames, bool removeCropped) {
    if (processing_) return;
    const std::string tool = FindTransformer();
    if (tool.empty()) {
        prompt_->ShowError(Translate("Unable to locate") + " " + kTransformerName + "!\r\n\r\n" +
                           Translate("Please put") + " " + kTransformerName + " " +
                           Translate("in the same directory as trimvale"));
        return;
    }
    const int n = static_cast<int>(frames.size());
    const QString images = QStringLiteral(" ") + tr_("images") + QStringLiteral("...");
    SetStatusText(tr_("Cropping") + QStringLiteral(" %1").arg(n) + images);

    std::string folder = dirEdit_->text().toStdString();
    if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    std::error_code ec;
    if (!folder.empty()) fs::create_directories(folder, ec);
    if (folder.empty() || !fs::is_directory(folder, ec)) {
        prompt_->ShowError(Translate("Unable to create") + " \"" + folder + "\"");
        SetStatusText(tr_("Error creating directory"));
        return;
    }

    SetProcessing(true);
    const TCropOptions options = CropOptionsFrom(*settings_);
    const bool warn = Get(*settings_, Options::ExistingFile) == "Warn";
    TBig* big = container_->Big();
    big->SetUpdatesEnabled(false);
    bool cancelled = false;
    // however the loop ends, the grid, the status and the controls come back
    struct TRunEnd {
        TMainForm* window;
        TBig* big;
        const bool& cancelled;
        ~TRunEnd() {
            big->SetUpdatesEnabled(true);
            window->container_->LayoutNow();
            if (window->current_) big->ScrollIntoView(window->current_);
            window->SetStatusText(cancelled ? tr_("Cropping cancelled") : tr_("Finished cropping"));
            window->SetProcessing(false);
            if (window->closing_) QTimer::singleShot(0, window, &QWidget::close);
        }
    } runEnd{this, big, cancelled};

    for (int i = n - 1; i >= 0 && !cancelled; --i) {
        SetStatusText(tr_("Cropping") + QStringLiteral(" %1/%2").arg(n - i).arg(n) + images);
        QApplication::processEvents();
        // a close confirmed meanwhile ends the run before the next frame
        if (closing_) {
            cancelled = true;
            break;
        }
        TIFrame* frame = frames[static_cast<std::size_t>(i)];
        if (IndexOf(frame) < 0) continue;

        std::string output;
        try {
            output = OutputPath(folder, frame->DestFileName());
        } catch (const TError& e) {
            prompt_->ShowError(e.what());
            continue;
        }
        const std::string shown = LastComponent(frame->DestFileName());
        if (FileExists(output) && warn) {
            const TAnswer a =
                prompt_->Ask(Translate("File exists"), Translate("Overwrite") + " " + shown + "?");
            if (a == TAnswer::Cancel) cancelled = true;
            if (a != TAnswer::Yes) continue;
        }
        if (FileExists(output) && IsReadOnly(output)) {
            const TAnswer a =
                prompt_->Ask(Translate("READ ONLY"), Translate("File") + " " + shown + " " +
                                                         Translate("is read only") + ".\r\n\r\n" +
                                                         Translate("Overwrite anyway?"));
            if (a == TAnswer::Cancel) cancelled = true;
            if (a != TAnswer::Yes) continue;
            ClearReadOnly(output);
        }

        TCropJob job;
        job.Tool = tool;
        job.Source = frame->SourceFileName();
        job.Output = output;
        job.Crop = SpecOf(*frame);
        job.Resolution = frame->Resolution();
        job.Options = options;
        const TCropResult result = RunCropJob(job);
        if (result.Outcome == TCropOutcome::TransformFailed) {
            // the folder written to is what the user can fix
            prompt_->ShowError("Error: Defective JPEGTran call:\r\n" + result.ArgumentString +
                               "\r\nEnsure that you have write access to " + folder);
        } else if (result.Outcome == TCropOutcome::Refused) {
            prompt_->ShowError(result.Reason);
        }
        // a frame whose file was not written stays, so the user can mend and crop again
        if (result.Outcome == TCropOutcome::Written && removeCropped) {
            SetCurrentFrame(frame);
            frames.erase(frames.begin() + i);
            RemoveFrame(frame);
        }
    }
}

void TMainForm::PreviewActionExecute() {
    if (!current_) return;
    const std::string preview = PreviewFile();
    std::error_code ec;
    fs::remove(preview, ec);
    const TTransformCall call = PreviewCall(SpecOf(*current_), current_->SourceFileName(), preview);
    const std::string tool = FindTransformer();
    if (!tool.empty()) RunTransformer(tool, call);
    if (FileExists(preview)) {
        opener_(preview);
        return;
    }
    prompt_->ShowError("Error: Defective JPEGTran call:\r\n" + call.ArgumentString() +
                       "\r\nEnsure that you have write access to " + previewFolder_);
}
