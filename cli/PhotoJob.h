#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "jobs/CropJob.h"

class TCropAspect;

/// What every photo of a run shares.
struct TPhotoRunSettings {
    std::string Tool;                    ///< the transformer's path (its name when not found)
    const TCropAspect* Aspect = nullptr; ///< only read, from every job at once
    bool AutoFlip = true;                ///< "AutoRotateCrop"
    bool HonourOrientation = true;       ///< "HonourOrientation"
    bool KeepFaces = true;               ///< "KeepFaces": the first area keeps faces whole
    TCropOptions Options;
    bool DryRun = false;
    const std::atomic<bool>* Stop = nullptr; ///< true: end the photos in flight now
};

enum class TPhotoStatus { Written, Skipped, Failed, Planned };

/// How one photo went. Planned (a dry run) carries the transformer calls
/// that would have been made.
struct TPhotoReport {
    TPhotoStatus Status = TPhotoStatus::Failed;
    std::string Reason;
    std::vector<std::string> Calls; ///< each a line for a POSIX shell
    int Width = 0;                  ///< the output's size in pixels, 0 when unknown
    int Height = 0;
    int Ppi = -1; ///< the print resolution written, -1 for none
    /// The cut in pixels of the stored photo; no width while not settled.
    TCropRect Crop;
    int Faces = -1; ///< the faces the area keeps to; -1 when none were looked for
};

/// Crops one photo as planned (its source, output and whether to replace it:
/// see PlanCrops) as a newly added image frame would propose it. A file that
/// is empty, not a JPEG or too large fails with the reason, and one whose
/// data ends early with jpegtran's own; a name taken since the plan was made
/// is skipped. Only the header is read here: jpegtran reads every scan anyway
/// and says when the data ends early. Safe to run for several photos at once.
TPhotoReport CropPhoto(const TCropJob& planned, const TPhotoRunSettings& run);

/// Cuts a job whose area is settled from its source as read (see ReadSource),
/// with the run's tool, options and stop flag: written, skipped (the name was
/// taken since the plan) or failed with the reason; a dry run gives the calls.
TPhotoReport CutPlannedPhoto(TCropJob job, const TSourceRead& read, const TPhotoRunSettings& run);
