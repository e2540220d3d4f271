// The crop run over image frames and the external crop preview.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <set>

#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include "CropContainer.h"
#include "CropJob.h"
#include "CropScheduler.h"
#include "DestinationNaming.h"
#include "Error.h"
#include "FilesystemController.h"
#include "IFrame.h"
#include "MainForm.h"
#include "Options.h"
#include "SharedSettings.h"
#include "ShellServices.h"
#include "StorageTank.h"
#include "StringController.h"
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
    crop.Orientation = frame.Orientation();
    return crop;
}

// a dangling link takes a name as much as a file does
bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// what a job in flight gets to end by itself once the window is to close
constexpr std::chrono::milliseconds kCloseGrace{500};
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
        prompt_->ShowError(MissingTransformerMessage());
        return;
    }
    const int n = static_cast<int>(frames.size());
    SetStatusText(tr_("Cropping %1 images...").arg(n));

    std::string folder = dirEdit_->text().toStdString();
    if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    std::error_code ec;
    if (!folder.empty()) fs::create_directories(folder, ec);
    if (folder.empty() || !fs::is_directory(folder, ec)) {
        prompt_->ShowError(FillPlaceholders(Translate("Unable to create \"%1\""), {folder}));
        SetStatusText(tr_("Error creating directory"));
        return;
    }

    SetProcessing(true);
    const TCropOptions options = CropOptionsFrom(*settings_);
    const bool warn = Get(*settings_, Options::ExistingFile) == "Warn";
    TBig* big = container_->Big();
    big->SetUpdatesEnabled(false);
    bool cancelled = false;
    // however the run ends, the grid, the status and the controls come back
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
    // outlives the scheduler: its jobs poll it until they have ended
    std::atomic<bool> stop{false};
    // declared after runEnd: jobs in flight end before the window is restored
    TCropScheduler scheduler;

    // First every question, in the run's order (last frame first), here; each
    // frame that is to be cropped gets its job, which starts at once.
    std::vector<TIFrame*> planned;
    std::set<std::string> written; // the outputs of this run's jobs
    for (int i = n - 1; i >= 0 && !cancelled; --i) {
        QApplication::processEvents();
        // a close confirmed meanwhile ends the run before the next frame
        if (closing_) {
            cancelled = true;
            break;
        }
        TIFrame* frame = frames[static_cast<std::size_t>(i)];
        if (IndexOf(frame) < 0) continue;
        TCropJob job;
        try {
            job.Output = OutputPath(folder, frame->DestFileName());
        } catch (const TError& e) {
            prompt_->ShowError(e.what());
            continue;
        }
        const std::string& output = job.Output;
        job.Tool = tool;
        job.Source = frame->SourceFileName();
        job.Crop = SpecOf(*frame);
        job.Resolution = frame->Resolution();
        job.Options = options;
        job.Stop = &stop;
        // two frames of this run never write one name (photos of two folders
        // may share one): the later gets the first name free on disk and in the run
        if (written.count(job.Output))
            job.Output = FirstFreeName(job.Output, [&](const std::string& path) {
                return written.count(path) > 0 || FileExists(path);
            });
        if (job.Output.empty()) {
            prompt_->ShowError(
                FillPlaceholders(Translate("File exists: %1"), {frame->DestFileName()}));
            continue;
        }
        const bool exists = FileExists(output);
        const std::string shown = LastComponent(output);
        if (exists && warn) {
            const TAnswer a = prompt_->Ask(Translate("File exists"),
                                           FillPlaceholders(Translate("Overwrite %1?"), {shown}));
            if (a == TAnswer::Cancel) cancelled = true;
            if (a != TAnswer::Yes) continue;
        }
        // a name only claimed while free, unless the user chose to replace it
        job.Replace = exists;
        if (exists && IsReadOnly(output)) {
            const TAnswer a = prompt_->Ask(
                Translate("READ ONLY"),
                FillPlaceholders(Translate("File %1 is read only.\n\nOverwrite anyway?"), {shown}));
            if (a == TAnswer::Cancel) cancelled = true;
            if (a != TAnswer::Yes) continue;
            if (FileExists(output)) ClearReadOnly(output);
        }
        if (const std::string reason = CropJobRefusal(job); !reason.empty()) {
            prompt_->ShowError(reason);
            continue;
        }
        written.insert(output);
        scheduler.Submit(std::move(job));
        planned.push_back(frame);
    }

    // Then the jobs end, side by side; each frame leaves the list as its job ends.
    const QString of = QString::number(planned.size());
    int finished = 0;
    if (!planned.empty())
        SetStatusText(tr_("Cropping %1/%2 images...").arg(QStringLiteral("0"), of));
    // jobs planned before a close came are the ones in flight: they may end
    bool dropped = closing_;
    auto closeSeen = std::chrono::steady_clock::now();
    while (scheduler.Outstanding() > 0) {
        QApplication::processEvents();
        // a close confirmed meanwhile lets the jobs in flight end, and no more
        if (closing_ && !dropped) {
            dropped = true;
            closeSeen = std::chrono::steady_clock::now();
            cancelled = !scheduler.DropPending().empty() || cancelled;
        }
        // ...for a moment: a jpegtran that hangs is killed, so the window can go
        if (closing_ && std::chrono::steady_clock::now() - closeSeen > kCloseGrace) stop = true;
        const auto ended = scheduler.Next(std::chrono::milliseconds(20));
        if (!ended) continue;
        ++finished;
        SetStatusText(tr_("Cropping %1/%2 images...").arg(QString::number(finished), of));
        TIFrame* frame = planned[ended->Index];
        const TCropResult& result = ended->Result;
        if (result.Outcome == TCropOutcome::TransformFailed) {
            // the call as the user could type it, then why it failed in jpegtran's own words
            prompt_->ShowError(
                FillPlaceholders(Translate("Error: Defective JPEGTran call:\n%1\n%2"),
                                 {result.ArgumentString, result.Reason}));
        } else if (result.Outcome == TCropOutcome::Exists) {
            // taken by someone else since the run began; nothing was replaced
            prompt_->ShowError(
                FillPlaceholders(Translate("File exists: %1"), {frame->DestFileName()}));
        } else if (result.Outcome == TCropOutcome::Refused) {
            prompt_->ShowError(result.Reason);
        }
        // a frame whose file was not written stays, so the user can mend and crop again
        if (result.Outcome == TCropOutcome::Written && removeCropped && IndexOf(frame) >= 0) {
            SetCurrentFrame(frame);
            RemoveFrame(frame);
        }
    }
}

void TMainForm::PreviewActionExecute() {
    if (!current_) return;
    if (previewScratch_.empty()) {
        // a folder no one else can write into: nothing can be planted in place of
        // the preview, and other copies of the program keep their own
        const std::string base =
            previewFolder_ + (previewFolder_.empty() || previewFolder_.back() == '/' ? "" : "/");
        std::string pattern = base + "trimvale-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            const int error = errno;
            prompt_->ShowError(FillPlaceholders(Translate("Unable to create \"%1\": %2"),
                                                {base, std::strerror(error)}));
            return;
        }
        previewScratch_ = pattern;
    }
    const std::string preview = PreviewFile();
    std::error_code ec;
    fs::remove(preview, ec);
    const TTransformCall call = PreviewCall(SpecOf(*current_), current_->SourceFileName(), preview);
    const std::string tool = FindTransformer();
    TTransformResult run;
    if (!tool.empty()) run = RunTransformer(tool, call, {}, previewScratch_);
    // only what this call wrote is shown; an empty file is a failed write
    if (run.Ok && !ec && fs::file_size(preview, ec) > 0 && !ec) {
        opener_(preview);
        return;
    }
    prompt_->ShowError(
        run.Reason.empty()
            ? FillPlaceholders(Translate("Error: Defective JPEGTran call:\n%1\nEnsure that you "
                                         "have write access to %2"),
                               {call.ArgumentString(), previewScratch_})
            : FillPlaceholders(Translate("Error: Defective JPEGTran call:\n%1\n%2"),
                               {call.ArgumentString(), run.Reason}));
}
