#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

#include "jobs/CropJob.h"
#include "jobs/CropScheduler.h"

class IUserPrompt;
class QProgressBar;
class QWidget;
class TPrintOrder;

/// One crop run of the window over photos of the print order: first every
/// question, in the order of the list, then the jobs side by side. Each ended
/// job's result goes into the order; the window hears of written photos and of
/// the run's end by signals. It lives from its start until its last job has
/// reported.
class TCropRun : public QObject {
    Q_OBJECT
public:
    struct TSettings {
        std::string Folder; ///< made already
        std::string Tool;   ///< the transformer
        bool AskExisting = true;
        TCropOptions Options;
        /// Crop Images ends with one account of the run instead of a message per failure.
        bool Summary = false;
        /// Each size into a subfolder named after its aspect.
        bool SizeFolders = false;
        /// The account lists prints below this many pixels per inch.
        int LowPpi = 150;
    };

    TCropRun(TPrintOrder& order, IUserPrompt& prompt, TSettings settings);
    /// A run that has to go before its jobs ended (the window is destroyed) kills them.
    ~TCropRun() override;

    /// Plans the photos of these files and submits their jobs; stop, asked between
    /// the questions, ends the run before any job. Reports arrive from the window's
    /// event loop; a run with no job ends at once.
    void Start(const std::vector<std::string>& files, const std::function<bool()>& stop);
    /// The jobs in flight end; the photos of the others stay.
    void Cancel();
    /// The window is to close: the jobs in flight may end for a moment, and no more.
    void StopForClose();
    bool Cancelled() const { return cancelled_; }
    /// The bar and Cancel for the status bar while jobs are out; null when none is.
    QWidget* ProgressPanel() const { return progress_.get(); }
    void DropProgress() {
        bar_ = nullptr;
        progress_.reset();
    }
    /// The account of the whole run: counts, destination, renamed and failed photos.
    std::string SummaryText() const;
    bool Summarise() const { return settings_.Summary; }
    bool Failed() const { return !failures_.empty(); }
    const std::string& Folder() const { return settings_.Folder; }

signals:
    /// Jobs ended so far of all that were submitted.
    void Progress(int finished, int of);
    /// The photo of the file is written; the order says so.
    void Written(const std::string& file);
    /// The last job has reported.
    void Ended();

private:
    void JobsEnded();
    void Fail(const std::string& file, const std::string& text);
    void MakeProgress();

    TPrintOrder& order_;
    IUserPrompt& prompt_;
    TSettings settings_;
    std::vector<std::string> files_;   ///< by job index
    std::vector<std::string> outputs_; ///< by job index, as planned
    std::vector<std::string> names_;   ///< by job index, the name the user gave
    /// By job index: the output replaces a read-only file the user agreed to
    /// replace; its mark is cleared once it is written.
    std::vector<bool> clearMark_;
    bool cancelled_ = false;
    bool closeSeen_ = false;
    bool ended_ = false;
    /// Reports wait: the questions are still being asked, or the reports before
    /// are still being shown.
    bool holding_ = true;
    int finished_ = 0;
    int written_ = 0;
    int skipped_ = 0;
    int notStarted_ = 0;
    std::vector<std::string> failures_; ///< "name: reason", in the run's order
    std::vector<std::string> renamed_;  ///< "asked → written", for outputs under a free name
    std::string lab_;                   ///< prints per size and those of low resolution
    std::unique_ptr<QWidget> progress_;
    QProgressBar* bar_ = nullptr;
    /// Set to end the jobs in flight at once; outlives the scheduler, whose jobs
    /// read it until they have ended.
    std::atomic<bool> stop_{false};
    // last: the jobs in flight end before anything they use goes
    TCropScheduler scheduler_;
};
