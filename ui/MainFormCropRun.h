#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

#include "jobs/CropScheduler.h"

class QProgressBar;
class QWidget;
class TIFrame;

/// The window's crop run while its jobs are out: the frames by job, the
/// progress, and the jobs themselves. It lives from the submission of the
/// jobs until the last of them has reported.
struct TMainFormCropRun {
    std::vector<TIFrame*> Frames;     ///< by job index
    std::vector<std::string> Outputs; ///< by job index, as planned
    /// By job index: the output replaces a read-only file the user agreed to
    /// replace; its mark is cleared once it is written.
    std::vector<bool> ClearMark;
    bool RemoveCropped = true;
    bool Cancelled = false;
    bool EndBusy = false;   ///< the run set the busy cursor; its end clears it
    bool CloseSeen = false; ///< the jobs not started were dropped for a close
    /// Reports wait: the questions are still being asked, or the reports
    /// before are still being shown.
    bool Holding = true;
    int Finished = 0;
    /// Crop Images ends with one account of the run instead of a message per failure.
    bool Summary = false;
    std::string Folder;
    int Written = 0;
    int Skipped = 0;
    int NotStarted = 0;
    std::vector<std::string> Failures; ///< "name: reason", in the run's order
    std::vector<std::string> Renamed;  ///< "asked → written", for outputs under a free name
    /// The bar and Cancel in the status bar while the jobs are out.
    std::unique_ptr<QWidget> Progress;
    QProgressBar* Bar = nullptr;
    /// Set to end the jobs in flight at once; outlives the scheduler, whose
    /// jobs read it until they have ended.
    std::atomic<bool> Stop{false};
    /// The context of the run's timers: they end with the run.
    QObject Timers;
    // last: the jobs in flight end before anything they use goes
    TCropScheduler Scheduler;

    /// A run that has to go before its jobs ended (the window is destroyed) kills them.
    ~TMainFormCropRun() { Stop = true; }
};
