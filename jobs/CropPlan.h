#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/UserPrompt.h"
#include "jobs/CropJob.h"
#include "jobs/OutputNames.h"
#include "jpeg/JpegLayout.h"
#include "model/PrintOrder.h"

/// One photo a crop run is asked to crop, in the run's order.
struct TCropPlanPhoto {
    std::string Source;
    std::string DestinationName; ///< its last component names the output
    std::string SubFolder;       ///< below the destination folder; "" for none
    TCropSpec Crop;
    int Resolution = -1;
    /// Its data ends early (the rest shows grey): asked about before anything else.
    bool Incomplete = false;
    /// The photo as it was read when its crop was chosen; see TCropJob::Expected.
    std::optional<TJpegLayout> Expected;
};

/// What the run is told besides the photos.
struct TCropPlanOptions {
    std::string Folder;      ///< the destination folder as typed
    bool AskExisting = true; ///< an existing output is asked about ("ExistingFile" "Warn")
    /// Outputs are to be replaced whatever is there: one that appears after
    /// the plan is replaced as well (else its job leaves it and says so).
    bool ReplaceAlways = false;
    /// Names only "/" separates, as the file system's own (the command line).
    bool PosixNames = false;
    /// What earlier plans of the same run gave out, when the run is planned
    /// in parts; the plan adds its own outputs and photos to it.
    TOutputNames* Names = nullptr;
};

/// A question a crop run puts before cropping an incomplete photo or replacing a file.
struct TCropQuestion {
    enum TKind { Exists, ReadOnly, Incomplete };
    TKind Kind = Exists;
    std::size_t Photo = 0; ///< the photo's position in the run
    std::string Title;     ///< "File exists", "READ ONLY", "Incomplete photo"
    std::string Text;      ///< "Overwrite a.jpg?", ...
    TAnswer Answer = TAnswer::Cancel;
};

/// What becomes of one photo.
struct TPlannedCrop {
    enum TWhat {
        NotReached, ///< the run was cancelled before this photo
        Crop,       ///< a job writes Output
        Skipped,    ///< a question about Output was answered No
        Refused,    ///< Reason says why; nothing is asked or written
    };
    TWhat What = NotReached;
    std::string Output;
    std::string Reason;         ///< a refusal's or a skip's, for the user
    bool Replace = false;       ///< Output exists and is to be replaced
    bool ClearReadOnly = false; ///< ...and was read only; the user agreed to replace it
    bool KeptBoth = false;      ///< the existing file stays; Output is a free name beside it
    TCropQuestion::TKind SkippedAt = TCropQuestion::Exists;
};

/// The whole run as planned before any job starts.
struct TCropPlan {
    std::vector<TPlannedCrop> Photos;     ///< one per photo, in the run's order
    std::vector<TCropQuestion> Questions; ///< as asked, with their answers
    bool Cancelled = false;               ///< a question was answered Cancel, or stop said so
};

/// Answers one question of the plan: a window asks the user, the command
/// line answers from its options.
using TCropAnswerer = std::function<TAnswer(const TCropQuestion&)>;

/// Plans a crop run, photo by photo in the given order. Each photo gets the
/// destination folder's path of its name (OutputPath); a name that an
/// earlier photo of this run writes gives the first free "name (2).jpg". An
/// output that is the photo itself or another photo of this run, a name that
/// names no file and a source that cannot be read are refused before anything
/// is asked. An incomplete photo is asked about first (the source's name
/// shown); No skips it. An existing output is asked about when the options say so, and
/// an existing read-only one always; No skips the photo, Cancel ends the
/// plan there, Keep both writes to the first free "name (2).jpg" instead, and
/// Yes to all or No to all answer that question for the rest of the plan
/// without asking again. stop, when given, is asked before each photo and ends the plan
/// as Cancel does. Only looks at the files; clearing a read-only output is the
/// caller's, when it starts the job.
TCropPlan PlanCrops(const std::vector<TCropPlanPhoto>& photos, const TCropPlanOptions& options,
                    const TCropAnswerer& answer, const std::function<bool()>& stop = {});

/// The job of a photo the plan crops: source, output, crop and whether to
/// replace. The tool, the options and the stop flag are the run's own.
TCropJob PlannedJob(const TCropPlanPhoto& photo, const TPlannedCrop& planned);

/// The destination folder as typed, less one trailing "/" or "\" (but "/" stays).
std::string DestinationFolder(const std::string& typed);

/// The crop of an area as the transformer takes it.
TCropSpec CropSpecOf(const TCropRect& area, int rotation, const std::string& kind, int orientation);
/// The crop of a photo of the print order.
TCropSpec CropSpecOf(const TOrderPhoto& photo);
/// What the plan takes of a photo of the print order.
TCropPlanPhoto PlanPhotoOf(const TOrderPhoto& photo);
