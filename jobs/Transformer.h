#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "core/Error.h"

/// The crop of one image as the transformer sees it: a rectangle in pixels of
/// the image as shown (upright by Orientation, then turned by Rotation, less the
/// strips that cannot be cut exactly), the rotation in degrees clockwise, the
/// crop kind ("nocrop", "free", "defined", "fixed") and the EXIF orientation the
/// image was shown upright by (1: as stored).
struct TCropSpec {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    int Rotation = 0;
    std::string Kind = "nocrop";
    int Orientation = 1;
};

/// One call of the lossless transformer. The argument string shown to the
/// user and the argument vector passed to the program are both produced from
/// the same pieces: switches, then the input and the output file.
class TTransformCall {
public:
    /// Appends switch words (each word one argument).
    TTransformCall& Add(const std::string& word);
    TTransformCall& Append(const TTransformCall& other);
    TTransformCall& SetFiles(const std::string& input, const std::string& output);

    /// Every switch with a leading space, then the two paths in double
    /// quotation marks, each after a space; nothing inside a path is escaped.
    std::string ArgumentString() const;
    /// The vector passed to the program.
    std::vector<std::string> Arguments() const;
    /// tool and Arguments() as one line for a POSIX shell: the two paths always
    /// in single quotes, other words only when they hold more than letters,
    /// digits and "-_.,:/+=@%", so that nothing in a name is expanded.
    std::string ShellCommand(const std::string& tool) const;

    const std::string& Input() const { return input_; }
    const std::string& Output() const { return output_; }

private:
    std::vector<std::string> words_;
    std::string input_;
    std::string output_;
};

/// " -copy all" and " -optimize" as the two options ask.
TTransformCall TransformOptions(bool copyMetadata, bool optimize);
/// Turn, then crop: the switch that turns or mirrors the stored picture into
/// the view (" -rotate R", " -flip horizontal", " -transpose"...), then " -trim"
/// when the turn leaves partial blocks it cannot move, then " -crop WxH+X+Y"
/// unless the kind is "nocrop". Nothing for a picture shown as stored.
TTransformCall TransformArguments(const TCropSpec& crop);
/// Options, rotation and crop, source to destination.
TTransformCall CropCall(const TTransformCall& options, const TCropSpec& crop,
                        const std::string& source, const std::string& destination);
/// Options, " -rotate 90", the file onto itself.
TTransformCall LandscapeTurnCall(const TTransformCall& options, const std::string& path);
/// Rotation and crop without options, source to the preview file.
TTransformCall PreviewCall(const TCropSpec& crop, const std::string& source,
                           const std::string& preview);

/// word in single quotes for a POSIX shell, each "'" written as '\''.
std::string ShellQuote(const std::string& word);

/// The name of the transformer program, as messages show it.
extern const char* const kTransformerName;
/// The transformer beside the running executable, else the first on PATH;
/// empty when there is none.
std::string FindTransformer();
/// How long the transformer may take and who may end it early.
struct TTransformLimits {
    int TimeoutSeconds = 120;                ///< counted from its start; 0: no limit
    const std::atomic<bool>* Stop = nullptr; ///< true: end it now
};

/// What one transformer call came to. Ok only when it exited with status 0:
/// exit status 2 means it warned, and its warnings (above all "Premature end
/// of JPEG file", a source that ends early or changed while read) leave a
/// picture partly grey, so they fail the call as well.
struct TTransformResult {
    bool Ok = false;
    TFault Fault; ///< why not, with jpegtran's own words
    /// The fault as the user reads it, translated; "" when Ok.
    std::string Reason() const;
};

/// Runs the transformer and judges it. folder is where its output goes; a
/// full disk is named by it.
TTransformResult RunTransformer(const std::string& tool, const TTransformCall& call,
                                const TTransformLimits& limits = {},
                                const std::string& folder = "");

/// True when the transformer's words say the disk was full.
bool SaysDiskFull(const std::string& errors);
/// The fault of a full disk holding folder; words: jpegtran's, when it said so.
TFault DiskFull(const std::string& folder, const std::string& words);
/// The message for a transformer that cannot be found: where Linux has it from.
std::string MissingTransformerMessage();
