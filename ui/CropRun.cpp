#include "ui/CropRun.h"

#include <chrono>
#include <filesystem>

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "core/FilesystemController.h"
#include "core/StringController.h"
#include "core/UserPrompt.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "jobs/CropPlan.h"
#include "jobs/OrderSummary.h"
#include "model/DestinationNaming.h"
#include "model/PrintOrder.h"
#include "ui/PhotoFault.h"

namespace fs = std::filesystem;

namespace {
// what a job in flight gets to end by itself once the window is to close
constexpr std::chrono::milliseconds kCloseGrace{500};

} // namespace

TCropRun::TCropRun(TPrintOrder& order, IUserPrompt& prompt, TSettings settings)
    : order_(order), prompt_(prompt), settings_(std::move(settings)) {
    // each ended job is fetched between the window's events
    scheduler_.SetOnFinished([this] {
        QMetaObject::invokeMethod(
            this, [this] { JobsEnded(); }, Qt::QueuedConnection);
    });
}

TCropRun::~TCropRun() {
    stop_ = true;
}

void TCropRun::Start(const std::vector<std::string>& files, const std::function<bool()>& stop) {
    // First every question, in the order of the list; the plan alone decides
    // what each photo writes.
    std::vector<TCropPlanPhoto> photos;
    std::vector<TOrderPhoto> ordered;
    for (const std::string& file : files)
        if (const int i = order_.IndexOf(file); i >= 0) {
            const TOrderPhoto& photo = order_.At(static_cast<std::size_t>(i));
            photos.push_back(PlanPhotoOf(photo));
            // the prints of a size together, for a lab that takes them so
            if (settings_.SizeFolders)
                photos.back().SubFolder = AspectFolderName(photo.Choice.Aspect);
            ordered.push_back(photo);
        }
    lab_ = OrderSummaryText(SummariseOrder(ordered, settings_.LowPpi));
    const TCropPlan plan = PlanCrops(
        photos, {settings_.Folder, settings_.AskExisting},
        [this](const TCropQuestion& q) {
            // keeping both speaks of an output, not of the photo
            return q.Kind == TCropQuestion::Incomplete ? prompt_.Ask(q.Title, q.Text)
                                                       : prompt_.AskForRun(q.Title, q.Text);
        },
        stop);
    // Cancel among the questions, or a close confirmed over them, ends the run
    // before any job, as it would have before the first question
    cancelled_ = plan.Cancelled || stop();

    for (std::size_t i = 0; i < plan.Photos.size(); ++i) {
        const TPlannedCrop& planned = plan.Photos[i];
        if (planned.What == TPlannedCrop::Refused)
            Fail(photos[i].Source, planned.Reason);
        else if (planned.What == TPlannedCrop::Skipped)
            ++skipped_;
        else if (planned.What == TPlannedCrop::NotReached ||
                 (planned.What == TPlannedCrop::Crop && cancelled_))
            ++notStarted_;
    }

    // Then the jobs, side by side.
    for (std::size_t i = 0; i < plan.Photos.size() && !cancelled_; ++i) {
        const TPlannedCrop& planned = plan.Photos[i];
        if (planned.What != TPlannedCrop::Crop) continue;
        TCropJob job = PlannedJob(photos[i], planned);
        if (!photos[i].SubFolder.empty()) {
            // a size's folder is made as the destination was; a failure is the job's to tell
            std::error_code error;
            std::filesystem::create_directories(std::filesystem::path(job.Output).parent_path(),
                                                error);
        }
        job.Tool = settings_.Tool;
        job.Options = settings_.Options;
        job.Stop = &stop_;
        scheduler_.Submit(std::move(job));
        files_.push_back(photos[i].Source);
        names_.push_back(photos[i].DestinationName);
        // the replaced file's read-only mark goes only once the new one has its name
        // (the new file takes the old one's permissions)
        clearMark_.push_back(planned.ClearReadOnly && !settings_.Options.CopyFilepermissions);
        outputs_.push_back(planned.Output);
    }
    if (!files_.empty()) MakeProgress();
    // from here the reports come in; a run with no job ends at once
    holding_ = false;
    JobsEnded();
}

void TCropRun::MakeProgress() {
    auto panel = std::make_unique<QWidget>();
    panel->setObjectName(QStringLiteral("CropProgress"));
    auto* layout = new QHBoxLayout(panel.get());
    layout->setContentsMargins(0, 0, 0, 0);
    bar_ = new QProgressBar(panel.get());
    bar_->setObjectName(QStringLiteral("CropProgressBar"));
    bar_->setRange(0, static_cast<int>(files_.size()));
    bar_->setValue(0);
    bar_->setMaximumWidth(200);
    auto* cancel = new QPushButton(tr_("&Cancel"), panel.get());
    cancel->setObjectName(QStringLiteral("CropCancelBtn"));
    connect(cancel, &QPushButton::clicked, this, &TCropRun::Cancel);
    layout->addWidget(bar_);
    layout->addWidget(cancel);
    progress_ = std::move(panel);
}

void TCropRun::Cancel() {
    // the jobs in flight end; the photos of the others stay in the list
    notStarted_ += static_cast<int>(scheduler_.DropPending().size());
    cancelled_ = true;
    JobsEnded();
}

void TCropRun::StopForClose() {
    if (closeSeen_) return;
    closeSeen_ = true;
    // the jobs in flight may end, and no more (a close during the questions
    // comes before any job: the plan stops at the next photo)...
    const std::size_t dropped = scheduler_.DropPending().size();
    notStarted_ += static_cast<int>(dropped);
    cancelled_ = dropped > 0 || cancelled_;
    // ...for a moment: a jpegtran that hangs is killed, so the window can go
    QTimer::singleShot(kCloseGrace, this, [this] { stop_ = true; });
    JobsEnded();
}

void TCropRun::Fail(const std::string& file, const std::string& text) {
    if (const int i = order_.IndexOf(file); i >= 0)
        order_.SetResult(static_cast<std::size_t>(i), TPhotoState::Failed, text);
    if (settings_.Summary)
        failures_.push_back(fs::path(file).filename().string() + ": " + text);
    else
        prompt_.ShowError(text);
}

void TCropRun::JobsEnded() {
    // a message box below lets further reports in: the loop here takes them
    if (holding_ || ended_) return;
    holding_ = true;
    while (const auto ended = scheduler_.Next(std::chrono::milliseconds(0))) {
        ++finished_;
        if (bar_) bar_->setValue(finished_);
        emit Progress(finished_, static_cast<int>(files_.size()));
        const std::string& source = files_[ended->Index];
        const TCropResult& result = ended->Result;
        if (result.Outcome == TCropOutcome::Written) {
            ++written_;
            const std::string& output = outputs_[ended->Index];
            if (clearMark_[ended->Index]) ClearReadOnly(output);
            const std::string asked = LastComponent(names_[ended->Index]);
            if (LastComponent(output) != asked)
                renamed_.push_back(asked + " \u2192 " + LastComponent(output));
            if (const int i = order_.IndexOf(source); i >= 0)
                order_.SetResult(static_cast<std::size_t>(i), TPhotoState::Written);
            emit Written(source);
        } else if (result.Outcome == TCropOutcome::TransformFailed) {
            // a damaged photo is what the user must learn of; else the call as the user
            // could type it, then why it failed in jpegtran's own words
            std::string fault = PhotoFault(source, result.Fault);
            if (fault.empty())
                fault = FillPlaceholders(Translate("Error: Defective JPEGTran call:\n%1\n%2"),
                                         {result.ArgumentString, result.Reason()});
            Fail(source, fault);
        } else if (result.Outcome == TCropOutcome::Exists) {
            // taken by someone else since the run began; nothing was replaced
            Fail(source, FillPlaceholders(Translate("File exists: %1"), {names_[ended->Index]}));
        } else if (result.Outcome == TCropOutcome::Refused) {
            Fail(source, result.Reason());
        }
    }
    holding_ = false;
    if (scheduler_.Outstanding() > 0) return;
    ended_ = true;
    emit Ended();
}

std::string TCropRun::SummaryText() const {
    std::string text =
        FillPlaceholders(Translate("Photos written: %1, skipped: %2, failed: %3, not started: %4."),
                         {std::to_string(written_), std::to_string(skipped_),
                          std::to_string(failures_.size()), std::to_string(notStarted_)});
    text += "\n" + FillPlaceholders(Translate("Destination: %1"), {settings_.Folder});
    if (!renamed_.empty()) {
        text += "\n\n" + Translate("These photos were written under another name:");
        for (const std::string& renamed : renamed_)
            text += "\n" + renamed;
    }
    if (!failures_.empty()) {
        text += "\n\n" + Translate("These photos were not cropped:");
        for (const std::string& failure : failures_)
            text += "\n" + failure;
    }
    if (!lab_.empty()) text += "\n\n" + lab_;
    return text;
}
