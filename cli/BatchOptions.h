#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/Error.h"

/// What `trimvale --crop` was asked to do.
struct TBatchOptions {
    std::vector<std::string> Paths; ///< photos and folders, in the order named
    std::string Output;             ///< destination folder; empty: the settings' own
    std::string Aspect;             ///< aspect description; empty: the default aspect
    bool Overwrite = false;         ///< existing output files are replaced, not skipped
    unsigned Jobs = 0;              ///< photos cropped at once; 0: one per core
    bool Recursive = false;
    bool DryRun = false;
    int Timeout = 0;          ///< seconds a jpegtran call may take; 0: the settings' own
    std::string SettingsFile; ///< read instead of the program's own settings file
    std::string FilesFrom;    ///< a file listing more paths, "-" for standard input
    /// A print order whose photos are cut as the window would; the paths choose among them.
    std::string Order;
    bool NullSeparated = false; ///< that list separates paths by NUL bytes, not lines
    bool Jsonl = false;         ///< one JSON object per photo instead of the text lines
    bool Quiet = false;         ///< no progress line on standard error
    /// Whether the first area keeps faces whole; unset: the settings' own.
    std::optional<bool> KeepFaces;
    bool Help = false;
    bool Version = false;
};

/// A command line that cannot be followed; the message says why.
class TUsageError : public TError {
public:
    using TError::TError;
};

/// True when the arguments (without the program's name) are meant for the
/// command line rather than the window: one of them, before a lone "--", is
/// an option of the form "--name" or "-x".
bool WantsCommandLine(const std::vector<std::string>& args);

/// Reads "--name VALUE", "--name=VALUE", switches and paths in any order; a
/// lone "--" makes every later argument a path. The short switches are "-0"
/// ("--null"), "-h", "-V", "-q" and "-r"; any other "-x" is refused, not
/// taken for a photo. Raises TUsageError.
TBatchOptions ParseBatchArguments(const std::vector<std::string>& args);

/// The paths listed in text: one a line, or separated by NUL bytes; empty
/// entries are left out. A line's own bytes are kept, a trailing CR among them.
std::vector<std::string> SplitPathList(const std::string& text, bool nullSeparated);

/// The text of --help.
std::string BatchHelp();
