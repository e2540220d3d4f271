#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Error.h"
#include "jobs/CropJob.h"
#include "model/PrintOrder.h"

/// The print order file (".tvorder"): one UTF-8 JSON object that keeps a print
/// order beyond the window, for the window to open again and for the command
/// line to cut.
///
///     {"format": "trimvale-order", "version": 1,
///      "destination": "/home/ann/Pictures/Cropped",
///      "options": {"CopyMetadats": true, "HuffmanOptimize": true, "UpdatePPI": true,
///                  "AutoRotateToLandscapeAfterCrop": false, "CopyFileDates": false,
///                  "CopyFilepermissions": false, "SizeSubfolders": false},
///      "aspects": [{"description": "10x15 cm", "horizontal": 15, "vertical": 10,
///                   "unit": "cm"}, ...],
///      "photos": [{"source": "2024/IMG_0001.jpg", "size": 3145728,
///                  "modified": 1717171717000000000, "check": "9f86d081884c7d65",
///                  "stored": [4000, 3000, 16, 16], "orientation": 6,
///                  "crop": [0, 112, 2992, 2000], "turn": 90, "flip": false,
///                  "aspect": "10x15 cm", "kind": "defined", "resolution": 254,
///                  "output": "IMG_0001.jpg", "incomplete": false}, ...]}
///
/// "source" is relative to the order file's folder where the photo lies below
/// it, so a folder moves with its order; else absolute. "size", "modified"
/// (nanoseconds since the epoch) and "check" (ContentCheckOf) tell the photo as
/// it was when it was added. "stored" is the stored picture's width, height and
/// block; "crop" is x, y, width and height in pixels of the picture as turned.
/// A text that is not well-formed UTF-8 (a file name may hold any byte) is
/// written under its key with "_hex" added, as the hexadecimal of its bytes.
/// Readers refuse a "version" above their own; members they do not know are
/// ignored, so a later version adds members without a new number.
constexpr int kOrderFileVersion = 1;

/// An order file that cannot be opened; the message says why, in the user's words.
class TOrderFileError : public TError {
public:
    using TError::TError;
};

/// An aspect as the order keeps it, so that one no longer in the user's list
/// can be added again as it was.
struct TOrderAspect {
    std::string Description;
    double Horizontal = 0;
    double Vertical = 0;
    std::string Unit;
    bool operator==(const TOrderAspect&) const = default;
};

/// What an order file holds besides the photos: what decides the cut.
struct TOrderSettings {
    std::string Destination;           ///< the destination folder as typed
    TCropOptions Options;              ///< only the options that change the bytes written are kept
    std::vector<TOrderAspect> Aspects; ///< the aspects of the list the order was made with
    bool SizeFolders = false;          ///< each size into a subfolder named after its aspect
};

/// A photo of the order that was left out on opening, and why.
struct TOrderDropped {
    std::string File;
    std::string Reason;
};

/// An opened order: the photos to go on with, with absolute paths, and those left out.
struct TOpenedOrder {
    TOrderSettings Settings;
    std::vector<TOrderPhoto> Photos;
    std::vector<TOrderDropped> Dropped;
};

/// The cheap check of a photo's content: its size and a hash of its first and
/// last 64 KiB, as 16 hexadecimal digits; "" when it cannot be read.
std::string ContentCheckOf(const std::string& path);

/// The order as the file's text; orderPath (made absolute) decides which
/// sources are written relative. A photo without its content check gets it
/// here.
std::string OrderFileText(const std::string& orderPath, const TOrderSettings& settings,
                          const std::vector<TOrderPhoto>& photos);

/// Writes text to path so that the file is either the old one or the new one,
/// never half: a temporary file in the same folder, flushed to the disk, then
/// renamed over it. Throws TError with the reason.
void WriteFileAtomically(const std::string& path, const std::string& text);

/// OrderFileText written atomically to orderPath.
void SaveOrderFile(const std::string& orderPath, const TOrderSettings& settings,
                   const std::vector<TOrderPhoto>& photos);

/// The order of a file's text. Each photo is looked for where the text says
/// (relative to orderPath's folder); one that is missing, not a photo file any
/// more or changed (size or content check) is left out with its reason; one
/// whose time alone changed while its content check matches is kept with the
/// new time. Throws TOrderFileError for a text that is not an order, is
/// damaged or is of a newer version.
TOpenedOrder ParseOrderFile(const std::string& orderPath, const std::string& text);

/// Reads and parses the order file; a file that cannot be read throws TOrderFileError too.
TOpenedOrder OpenOrderFile(const std::string& orderPath);
