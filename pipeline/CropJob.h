#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ExifThumbnail.h"
#include "Transformer.h"

/// The option values a crop takes, with their usual defaults.
struct TCropOptions {
    bool CopyMetadats = true;
    bool HuffmanOptimize = true;
    bool AutoRotateToLandscapeAfterCrop = false;
    bool UpdatePPI = true;
    bool CopyFileDates = false;
    bool CopyFilepermissions = false;
};

/// Everything one image's crop needs.
struct TCropJob {
    std::string Tool; // full path of the transformer
    std::string Source;
    std::string Output;
    TCropSpec Crop;
    int Resolution = -1; // pixels per inch, -1 when the aspect has no physical size
    TCropOptions Options;
};

enum class TCropOutcome {
    Written,         // the output file holds the new image
    TransformFailed, // no output; ArgumentString names the call, Reason a failed replace
    Refused,         // nothing was run; Reason says why
};

struct TCropResult {
    TCropOutcome Outcome = TCropOutcome::Refused;
    std::string ArgumentString; // the call as it reads with the output's own path
    std::string Reason;         // translated, for the user
};

/// Crops one image losslessly into job.Output. The transformer writes into a
/// new file beside the output, turned to landscape in the same cut when asked;
/// the EXIF data (image size, Orientation 1 when the picture was turned
/// upright, the resolution) and the source's times and permissions are applied
/// to that file, and only then does it replace the output. A replaced output
/// keeps its permissions unless the source's are asked for; an output that is a
/// symbolic link stays one and its target gets the new image. A failed call
/// leaves any earlier output as it was; the source is only read. Safe to run
/// for several jobs at once.
TCropResult RunCropJob(const TCropJob& job);

/// Why RunCropJob would refuse the job without running anything, or "".
std::string CropJobRefusal(const TCropJob& job);

/// The transformer calls RunCropJob makes for the job, in order, writing into
/// the given file: the cut, and the landscape turn when it is not part of it.
/// Both keep the source's coding: progressive and arithmetic-coded sources
/// give outputs coded the same way (arithmetic coding leaves out -optimize).
std::vector<TTransformCall> CropJobCalls(const TCropJob& job, const std::string& into);

/// Where the job's cut lies in its source and how it is turned, for a new
/// EXIF thumbnail cut from the source's own one (TMetadataUpdate::Cut);
/// nothing when the source's header cannot be read.
std::optional<TThumbnailCut> ThumbnailCutOf(const TCropJob& job);

/// True when both paths name the same existing file (also through links).
bool IsSameFile(const std::string& a, const std::string& b);
