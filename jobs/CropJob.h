#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "jobs/Transformer.h"
#include "jpeg/ExifThumbnail.h"
#include "jpeg/JpegLayout.h"

/// The option values a crop takes, with their usual defaults.
struct TCropOptions {
    bool CopyMetadats = true;
    bool HuffmanOptimize = true;
    bool AutoRotateToLandscapeAfterCrop = false;
    bool UpdatePPI = true;
    bool CopyFileDates = false;
    bool CopyFilepermissions = false;
    int TransformerTimeout = 120; // seconds each transformer call may take; 0: no limit
    long TransformerMemoryKB = 0; // jpegtran's -maxmemory in thousands of bytes; 0: its own
};

/// Everything one image's crop needs.
struct TCropJob {
    std::string Tool; // full path of the transformer
    std::string Source;
    std::string Output;
    TCropSpec Crop;
    int Resolution = -1; // pixels per inch, -1 when the aspect has no physical size
    TCropOptions Options;
    /// An existing output is replaced (the last complete file wins); else the
    /// name is claimed only while it is free, and a name taken meanwhile,
    /// even by a dangling link, gives Exists.
    bool Replace = true;
    /// Set from elsewhere to end the job at once (Ctrl+C, closing the window).
    const std::atomic<bool>* Stop = nullptr;
    /// The source as it was read when its crop was chosen (its stored size
    /// and, when read from a file, its size and last write): a photo replaced
    /// or rewritten since is refused, never cut with an area meant for another
    /// picture. Nothing: only the area is checked against the picture.
    std::optional<TJpegLayout> Expected;
};

enum class TCropOutcome {
    Written,         // the output file holds the new image
    TransformFailed, // no output; ArgumentString names the call, Reason says why
    Refused,         // nothing was run; Reason says why
    Exists,          // the name was taken and not to be replaced; nothing written
};

struct TCropResult {
    TCropOutcome Outcome = TCropOutcome::Refused;
    std::string ArgumentString; // the call as it reads with the output's own path
    TFault Fault;               // why not Written
    /// The fault as the user reads it, translated; "" when Written.
    std::string Reason() const;
};

/// Crops one image losslessly into job.Output. The transformer writes into a
/// scratch folder beside the output (".trimvale-PID-START-XXXXXX", locked by
/// the process that owns it, so a later run can clear away what a killed one
/// left), turned to landscape in the same cut when asked. It must exit with
/// status 0 within the time limit and its file must be whole to its
/// end-of-image marker; a failure carries jpegtran's own words. The EXIF data
/// and the source's times are applied to that file, and only then does it
/// take the output's name. A replaced output keeps its permissions unless
/// the source's are asked for, and no output lets others do more than the
/// source does (its mode less the umask). An output that is a symbolic link
/// of the user's stays one and its target gets the new image; a link of
/// someone else's is replaced, never written through. A failed job leaves
/// any earlier output as it was and nothing of its own behind; the source is
/// only read. Safe to run for several jobs at once.
TCropResult RunCropJob(const TCropJob& job);

/// The source as a job reads it: opened once, and its header (the layout with
/// the EXIF orientation, and the coding) read from that one descriptor.
struct TSourceRead {
    std::optional<TFault> Unreadable;  ///< the system's reason it cannot be opened
    std::optional<TJpegLayout> Layout; ///< nothing when the header cannot be read
    std::optional<TFault> HeaderFault; ///< why not, in the decoder's words
    TJpegCoding Coding;
};
TSourceRead ReadSource(const std::string& path);
/// RunCropJob with the source read already, so that a caller that proposes the
/// area from the same header opens the photo once.
TCropResult RunCropJobWith(const TCropJob& job, const TSourceRead& source);

/// Why RunCropJob would refuse the job without running anything: no output
/// name, the output is the source itself, the source cannot be opened.
std::optional<TFault> CropJobRefusal(const TCropJob& job);

/// The transformer calls RunCropJob makes for the job (reading the source's
/// header as it does, through one open), in order, writing into
/// the given file: the cut, and the landscape turn when it is not part of it.
/// Both keep the source's coding: progressive and arithmetic-coded sources
/// give outputs coded the same way (arithmetic coding leaves out -optimize).
std::vector<TTransformCall> CropJobCalls(const TCropJob& job, const std::string& into);
std::vector<TTransformCall> CropJobCalls(const TCropJob& job, const TSourceRead& source,
                                         const std::string& into);

/// Where the job's cut lies in its source and how it is turned, for a new
/// EXIF thumbnail cut from the source's own one (TMetadataUpdate::Cut);
/// nothing when the source's header cannot be read.
std::optional<TThumbnailCut> ThumbnailCutOf(const TCropJob& job);

/// Removes the scratch folders in folder that no living run holds, the first
/// time a folder is named in this process; RunCropJob calls it as well.
void ClearAbandonedScratch(const std::string& folder);

/// True when both paths name the same existing file (also through links).
bool IsSameFile(const std::string& a, const std::string& b);
