#include "jobs/Transformer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <string_view>

#include "core/ConsoleApp.h"
#include "core/Error.h"
#include "core/FilesystemController.h"
#include "i18n/ErrorText.h"
#include "i18n/gnugettext.h"
#include "jpeg/JpegLayout.h"

const char* const kTransformerName = "jpegtran";

namespace {
// the message with %1 in its place, in one pass, so the value is never read again
std::string Fill(const char* text, const std::string& value) {
    const std::string message = TranslateOrKeep(text);
    const std::size_t at = message.find("%1");
    return at == std::string::npos ? message
                                   : message.substr(0, at) + value + message.substr(at + 2);
}

// Its own words on one line: the program's name prefix is the reader's, and
// line breaks would split a one-line report.
std::string Words(std::string errors) {
    const std::string prefix = std::string(kTransformerName) + ": ";
    std::string joined;
    std::size_t begin = 0;
    while (begin < errors.size()) {
        std::size_t end = errors.find('\n', begin);
        if (end == std::string::npos) end = errors.size();
        std::string line = errors.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, prefix.size(), prefix) == 0) line.erase(0, prefix.size());
        if (line.empty()) continue;
        joined += (joined.empty() ? "" : "; ") + line;
    }
    return joined;
}

std::string SignalName(int signal) {
    const char* name = sigabbrev_np(signal);
    return name ? std::string("SIG") + name : std::to_string(signal);
}

// a relative name starting with a dash would be read as a switch
std::string NotASwitch(const std::string& path) {
    return !path.empty() && path[0] == '-' ? "./" + path : path;
}
} // namespace

TTransformCall& TTransformCall::Add(const std::string& word) {
    words_.push_back(word);
    return *this;
}

TTransformCall& TTransformCall::Append(const TTransformCall& other) {
    words_.insert(words_.end(), other.words_.begin(), other.words_.end());
    if (!other.input_.empty() || !other.output_.empty()) SetFiles(other.input_, other.output_);
    return *this;
}

TTransformCall& TTransformCall::SetFiles(const std::string& input, const std::string& output) {
    input_ = input;
    output_ = output;
    return *this;
}

std::string TTransformCall::ArgumentString() const {
    std::string text;
    for (const std::string& w : words_)
        text += " " + w;
    if (!input_.empty() || !output_.empty()) text += " \"" + input_ + "\" \"" + output_ + "\"";
    return text;
}

std::vector<std::string> TTransformCall::Arguments() const {
    std::vector<std::string> args = words_;
    // this platform's transformer takes one file name and the output by switch
    if (!output_.empty()) {
        args.push_back("-outfile");
        args.push_back(output_);
    }
    if (!input_.empty()) args.push_back(NotASwitch(input_));
    return args;
}

std::string TTransformCall::ShellCommand(const std::string& tool) const {
    const auto plain = [](const std::string& word) {
        if (word.empty()) return false;
        for (const char c : word)
            if (!std::isalnum(static_cast<unsigned char>(c)) &&
                std::string_view("-_.,:/+=@%").find(c) == std::string_view::npos)
                return false;
        return true;
    };
    const std::vector<std::string> args = Arguments();
    // the files are the last words: "-outfile" OUT, then IN
    const std::size_t files = (output_.empty() ? 0 : 1) + (input_.empty() ? 0 : 1);
    std::string line = plain(tool) ? tool : ShellQuote(tool);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool path = i + files >= args.size();
        line += " " + (!path && plain(args[i]) ? args[i] : ShellQuote(args[i]));
    }
    return line;
}

std::string ShellQuote(const std::string& word) {
    // inside single quotes a shell takes every byte as it is, save the quote itself
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

TTransformCall TransformOptions(bool copyMetadata, bool optimize) {
    TTransformCall call;
    if (copyMetadata) call.Add("-copy").Add("all");
    if (optimize) call.Add("-optimize");
    return call;
}

TTransformCall TransformArguments(const TCropSpec& crop) {
    TTransformCall call;
    const TTurn turn = OrientationTurn(crop.Orientation).Then(crop.Rotation);
    if (turn.mirror) {
        const char* const mirrored[] = {"horizontal", "-transverse", "vertical", "-transpose"};
        const char* word = mirrored[turn.quarters];
        if (word[0] == '-')
            call.Add(word);
        else
            call.Add("-flip").Add(word);
    } else if (turn.quarters != 0) {
        call.Add("-rotate").Add(std::to_string(90 * turn.quarters));
    }
    // without it the partial blocks stay unturned and shift the picture; the
    // view the crop was made in leaves them out the same way
    if (turn.NeedsWholeWidth() || turn.NeedsWholeHeight()) call.Add("-trim");
    if (crop.Kind != "nocrop")
        call.Add("-crop").Add(std::to_string(crop.Width) + "x" + std::to_string(crop.Height) + "+" +
                              std::to_string(crop.X) + "+" + std::to_string(crop.Y));
    return call;
}

TTransformCall CropCall(const TTransformCall& options, const TCropSpec& crop,
                        const std::string& source, const std::string& destination) {
    TTransformCall call = options;
    call.Append(TransformArguments(crop)).SetFiles(source, destination);
    return call;
}

TTransformCall LandscapeTurnCall(const TTransformCall& options, const std::string& path) {
    TTransformCall call = options;
    call.Add("-rotate").Add("90").SetFiles(path, path);
    return call;
}

TTransformCall PreviewCall(const TCropSpec& crop, const std::string& source,
                           const std::string& preview) {
    return TransformArguments(crop).SetFiles(source, preview);
}

std::string FindTransformer() {
    const std::string beside = ProgramPath(kTransformerName);
    const std::string found = FindExecutable(beside);
    return found.empty() ? FindExecutable(kTransformerName) : found;
}

bool SaysDiskFull(const std::string& errors) {
    // libjpeg's "Output file write error --- out of disk space?" and the system's own text
    return errors.find("out of disk space") != std::string::npos ||
           errors.find("No space left on device") != std::string::npos ||
           errors.find("Disk quota exceeded") != std::string::npos;
}

TFault DiskFull(const std::string& folder, const std::string& words) {
    return {TErrorKind::DiskFull, folder, words, ""};
}

std::string TTransformResult::Reason() const {
    return Ok ? "" : ErrorText(Fault);
}

TTransformResult RunTransformer(const std::string& tool, const TTransformCall& call,
                                const TTransformLimits& limits, const std::string& folder) {
    TTransformResult result;
    TProcessLimits processLimits;
    processLimits.Timeout = std::chrono::seconds(std::max(0, limits.TimeoutSeconds));
    processLimits.Stop = limits.Stop;
    processLimits.OutputLimit = 4096; // it prints nothing there; whatever comes is dropped
    TProcessResult run;
    try {
        run = RunProgram(tool, call.Arguments(), processLimits);
    } catch (const TError& e) {
        result.Fault = e.Fault();
        return result;
    }
    result.Ok = run.Ok();
    if (result.Ok) return result;

    const std::string words = Words(run.Errors);
    const auto fault = [&](TErrorKind kind, const std::string& value = "") {
        return TFault{kind, call.Input(), words, value};
    };
    if (run.Stopped)
        result.Fault = fault(TErrorKind::Cancelled);
    else if (run.TimedOut)
        result.Fault = fault(TErrorKind::TimeOut, std::to_string(limits.TimeoutSeconds));
    else if (SaysDiskFull(run.Errors))
        result.Fault = DiskFull(folder.empty() ? "." : folder, words);
    else if (run.Signal != 0)
        result.Fault = fault(TErrorKind::TransformerSignal, SignalName(run.Signal));
    else if (!words.empty())
        result.Fault = fault(TErrorKind::TransformerFailed);
    else
        result.Fault = fault(TErrorKind::TransformerStatus, std::to_string(run.ExitCode));
    return result;
}

std::string MissingTransformerMessage() {
    // the distribution's package is where jpegtran comes from on Linux
    return Fill(N_("Unable to locate %1!\n\nPlease install the package libjpeg-turbo-progs, "
                   "which provides jpegtran."),
                kTransformerName);
}
