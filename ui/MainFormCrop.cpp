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
#include "ui/MainForm.h"
#include "ui/MainFormCropRun.h"
#include "ui/PhotoFault.h"
#include "ui/PreviewWindow.h"
#include "ui/ShellServices.h"

namespace fs = std::filesystem;

namespace {
TCropSpec SpecOf(const TIFrame& frame) {
    return CropSpecOf(frame.GetCrop(), frame.Rotation(), frame.Kind(), frame.Orientation());
}

// the count that picks the plural form is the whole, "of %2"
QString CropProgressText(int finished, std::size_t of) {
    return trn_("Cropping %1/%2 image...", "Cropping %1/%2 images...", of).arg(finished).arg(of);
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
    CropFrames(ChosenFrames(), true);
}

void TMainForm::CropImagesActionExecute() {
    if (processing_) return;
    // no folder is made and no account given for a run of nothing
    if (images_.empty()) {
        prompt_->ShowMessage(Translate("There are no photos to crop: add some first."));
        return;
    }
    SetBusy(true);
    try {
        CropFrames(images_, true, true);
    } catch (...) {
        if (cropRun_) cropRun_->EndBusy = false;
        SetBusy(false);
        throw;
    }
    // the cursor stays busy until the jobs have ended
    if (cropRun_)
        cropRun_->EndBusy = true;
    else
        SetBusy(false);
}

void TMainForm::CropFrames(std::vector<TIFrame*> frames, bool removeCropped, bool summarise) {
    if (processing_) return;
    const std::string tool = FindTransformer();
    if (tool.empty()) {
        prompt_->ShowError(MissingTransformerMessage());
        return;
    }
    const int n = static_cast<int>(frames.size());
    SetStatusText(trn_("Cropping %1 image...", "Cropping %1 images...", n).arg(n));

    const std::string folder = DestinationFolder(dirEdit_->text().toStdString());
    std::error_code ec;
    if (!folder.empty()) fs::create_directories(folder, ec);
    if (folder.empty() || !fs::is_directory(folder, ec)) {
        prompt_->ShowError(FillPlaceholders(Translate("Unable to create \"%1\""), {folder}));
        SetStatusText(tr_("Error creating directory"));
        return;
    }

    SetProcessing(true);
    container_->Big()->SetUpdatesEnabled(false);
    cropRun_ = std::make_unique<TMainFormCropRun>();
    TMainFormCropRun& run = *cropRun_;
    run.RemoveCropped = removeCropped;
    run.Summary = summarise;
    run.Folder = folder;
    // each ended job is fetched between the window's events
    run.Scheduler.SetOnFinished([this] {
        QMetaObject::invokeMethod(
            this, [this] { CropJobsEnded(); }, Qt::QueuedConnection);
    });

    // First every question, in the order of the list; the plan alone decides
    // what each frame writes.
    std::vector<TIFrame*> ordered;
    std::vector<TCropPlanPhoto> photos;
    for (TIFrame* frame : frames) {
        if (IndexOf(frame) < 0) continue;
        ordered.push_back(frame);
        photos.push_back({frame->SourceFileName(), frame->DestFileName(), "", SpecOf(*frame),
                          frame->Resolution(), frame->Incomplete(), frame->SourceLayout()});
    }
    const TCropPlanOptions planOptions{folder, Get(*settings_, Options::ExistingFile) == "Warn"};
    const TCropPlan plan = PlanCrops(
        photos, planOptions,
        [this](const TCropQuestion& q) {
            // keeping both speaks of an output, not of the photo
            return q.Kind == TCropQuestion::Incomplete ? prompt_->Ask(q.Title, q.Text)
                                                       : prompt_->AskForRun(q.Title, q.Text);
        },
        // a close confirmed meanwhile ends the run before the next frame
        [this] { return closing_; });
    // Cancel among the questions, or a close confirmed over them, ends the run
    // before any job, as it would have before the first question
    run.Cancelled = plan.Cancelled || closing_;

    for (std::size_t i = 0; i < plan.Photos.size(); ++i) {
        const TPlannedCrop& planned = plan.Photos[i];
        if (planned.What == TPlannedCrop::Refused)
            TellCropFailure(photos[i].Source, planned.Reason);
        else if (planned.What == TPlannedCrop::Skipped)
            ++run.Skipped;
        else if (planned.What == TPlannedCrop::NotReached ||
                 (planned.What == TPlannedCrop::Crop && run.Cancelled))
            ++run.NotStarted;
    }

    // Then the jobs, side by side; each frame leaves the list as its job ends.
    const TCropOptions options = CropOptionsFrom(*settings_);
    for (std::size_t i = 0; i < plan.Photos.size() && !run.Cancelled; ++i) {
        const TPlannedCrop& planned = plan.Photos[i];
        if (planned.What != TPlannedCrop::Crop) continue;
        TCropJob job = PlannedJob(photos[i], planned);
        job.Tool = tool;
        job.Options = options;
        job.Stop = &run.Stop;
        run.Scheduler.Submit(std::move(job));
        run.Frames.push_back(ordered[i]);
        // the replaced file's read-only mark goes only once the new one has its name
        // (the new file takes the old one's permissions)
        run.ClearMark.push_back(planned.ClearReadOnly && !options.CopyFilepermissions);
        run.Outputs.push_back(planned.Output);
    }
    if (!run.Frames.empty()) {
        SetStatusText(CropProgressText(0, run.Frames.size()));
        ShowCropProgress();
    }
    // from here the reports come in; a run with no job ends at once
    run.Holding = false;
    CropJobsEnded();
}

void TMainForm::ShowCropProgress() {
    TMainFormCropRun& run = *cropRun_;
    auto panel = std::make_unique<QWidget>();
    panel->setObjectName(QStringLiteral("CropProgress"));
    auto* layout = new QHBoxLayout(panel.get());
    layout->setContentsMargins(0, 0, 0, 0);
    run.Bar = new QProgressBar(panel.get());
    run.Bar->setObjectName(QStringLiteral("CropProgressBar"));
    run.Bar->setRange(0, static_cast<int>(run.Frames.size()));
    run.Bar->setValue(0);
    run.Bar->setMaximumWidth(200);
    auto* cancel = new QPushButton(tr_("&Cancel"), panel.get());
    cancel->setObjectName(QStringLiteral("CropCancelBtn"));
    connect(cancel, &QPushButton::clicked, this, &TMainForm::CancelCropRun);
    layout->addWidget(run.Bar);
    layout->addWidget(cancel);
    statusBar()->addPermanentWidget(panel.get());
    panel->show();
    run.Progress = std::move(panel);
}

void TMainForm::CancelCropRun() {
    if (!cropRun_) return;
    TMainFormCropRun& run = *cropRun_;
    // the jobs in flight end; the frames of the others stay in the list
    run.NotStarted += static_cast<int>(run.Scheduler.DropPending().size());
    run.Cancelled = true;
    CropJobsEnded();
}

void TMainForm::TellCropFailure(const std::string& file, const std::string& text) {
    if (cropRun_ && cropRun_->Summary)
        cropRun_->Failures.push_back(fs::path(file).filename().string() + ": " + text);
    else
        prompt_->ShowError(text);
}

void TMainForm::StopCropRun() {
    if (!cropRun_ || cropRun_->CloseSeen) return;
    TMainFormCropRun& run = *cropRun_;
    run.CloseSeen = true;
    // the jobs in flight may end, and no more (a close during the questions
    // comes before any job: the plan stops at the next frame)...
    const std::size_t dropped = run.Scheduler.DropPending().size();
    run.NotStarted += static_cast<int>(dropped);
    run.Cancelled = dropped > 0 || run.Cancelled;
    // ...for a moment: a jpegtran that hangs is killed, so the window can go
    QTimer::singleShot(kCloseGrace, &run.Timers, [&run] { run.Stop = true; });
    CropJobsEnded();
}

void TMainForm::CropJobsEnded() {
    // a message box below lets further reports in: the loop here takes them
    if (!cropRun_ || cropRun_->Holding) return;
    TMainFormCropRun& run = *cropRun_;
    run.Holding = true;
    while (const auto ended = run.Scheduler.Next(std::chrono::milliseconds(0))) {
        ++run.Finished;
        SetStatusText(CropProgressText(run.Finished, run.Frames.size()));
        if (run.Bar) run.Bar->setValue(run.Finished);
        TIFrame* frame = run.Frames[ended->Index];
        const TCropResult& result = ended->Result;
        const std::string source = frame->SourceFileName();
        if (result.Outcome == TCropOutcome::Written) {
            ++run.Written;
            const std::string& output = run.Outputs[ended->Index];
            if (run.ClearMark[ended->Index]) ClearReadOnly(output);
            const std::string asked = LastComponent(frame->DestFileName());
            if (LastComponent(output) != asked)
                run.Renamed.push_back(asked + " \u2192 " + LastComponent(output));
        } else if (result.Outcome == TCropOutcome::TransformFailed) {
            // a damaged photo is what the user must learn of; else the call as the user
            // could type it, then why it failed in jpegtran's own words
            std::string fault = PhotoFault(source, result.Fault);
            if (fault.empty())
                fault = FillPlaceholders(Translate("Error: Defective JPEGTran call:\n%1\n%2"),
                                         {result.ArgumentString, result.Reason()});
            TellCropFailure(source, fault);
        } else if (result.Outcome == TCropOutcome::Exists) {
            // taken by someone else since the run began; nothing was replaced
            TellCropFailure(
                source, FillPlaceholders(Translate("File exists: %1"), {frame->DestFileName()}));
        } else if (result.Outcome == TCropOutcome::Refused) {
            TellCropFailure(source, result.Reason());
        }
        // a frame whose file was not written stays, so the user can mend and crop again
        if (result.Outcome == TCropOutcome::Written && run.RemoveCropped && IndexOf(frame) >= 0) {
            SetCurrentFrame(frame);
            RemoveFrame(frame);
        }
    }
    run.Holding = false;
    if (run.Scheduler.Outstanding() == 0) EndCropRun();
}

void TMainForm::EndCropRun() {
    // the scheduler ends here, on the window's thread, after its last report
    const std::unique_ptr<TMainFormCropRun> run = std::move(cropRun_);
    TBig* big = container_->Big();
    big->SetUpdatesEnabled(true);
    container_->LayoutNow();
    if (current_) big->ScrollIntoView(current_);
    SetStatusText(run->Cancelled ? tr_("Cropping cancelled") : tr_("Finished cropping"));
    SetProcessing(false);
    Checkpoint(); // the frames the run took away come back by one undo
    if (run->EndBusy) SetBusy(false);
    run->Progress.reset();
    // one account of the whole run, unless the window is going
    if (run->Summary && !closing_) {
        std::string text = FillPlaceholders(
            Translate("Photos written: %1, skipped: %2, failed: %3, not started: %4."),
            {std::to_string(run->Written), std::to_string(run->Skipped),
             std::to_string(run->Failures.size()), std::to_string(run->NotStarted)});
        text += "\n" + FillPlaceholders(Translate("Destination: %1"), {run->Folder});
        if (!run->Renamed.empty()) {
            text += "\n\n" + Translate("These photos were written under another name:");
            for (const std::string& renamed : run->Renamed)
                text += "\n" + renamed;
        }
        if (!run->Failures.empty()) {
            text += "\n\n" + Translate("These photos were not cropped:");
            for (const std::string& failure : run->Failures)
                text += "\n" + failure;
        }
        prompt_->ShowSummary(text, run->Folder, !run->Failures.empty());
    }
    if (closing_) QTimer::singleShot(0, this, &QWidget::close);
    emit cropRunFinished();
}

void TMainForm::OpenPreview(const std::string& path) {
    if (ShellOpen(path)) return;
    if (!previewWindow_) previewWindow_ = new TPreviewWindow(this);
    std::string why;
    if (!previewWindow_->Show(path, &why, previewPpi_))
        prompt_->ShowError(FillPlaceholders(Translate("Unable to read %1: %2"), {path, why}));
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
        // the crop is written with its print resolution; the preview keeps the source's
        previewPpi_ = Get(*settings_, Options::UpdatePPI) ? current_->Resolution() : 0;
        opener_(preview);
        return;
    }
    if (const std::string fault = PhotoFault(current_->SourceFileName(), run.Fault);
        !run.Ok && !fault.empty()) {
        prompt_->ShowError(fault);
        return;
    }
    prompt_->ShowError(
        run.Reason().empty()
            ? FillPlaceholders(Translate("Error: Defective JPEGTran call:\n%1\nEnsure that you "
                                         "have write access to %2"),
                               {call.ArgumentString(), previewScratch_})
            : FillPlaceholders(Translate("Error: Defective JPEGTran call:\n%1\n%2"),
                               {call.ArgumentString(), run.Reason()}));
}
