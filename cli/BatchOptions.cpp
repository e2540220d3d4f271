#include "cli/BatchOptions.h"

#include <charconv>

#include "core/StringController.h"
#include "i18n/gnugettext.h"

namespace {
constexpr unsigned kMaxJobs = 256; // as the usage message says
constexpr int kMaxTimeout = 86400; // a day: longer is no limit but a hang

bool IsOption(const std::string& arg) {
    return arg.size() > 2 && arg.compare(0, 2, "--") == 0;
}

// "-r", "-0": a dash and one more character; "-" alone is a name
bool IsShortOption(const std::string& arg) {
    return arg.size() == 2 && arg[0] == '-' && arg[1] != '-';
}

// a short switch as the long one it stands for, or "" for none
std::string LongForm(const std::string& arg) {
    switch (arg[1]) {
    case '0':
        return "--null";
    case 'h':
        return "--help";
    case 'V':
        return "--version";
    case 'q':
        return "--quiet";
    case 'r':
        return "--recursive";
    default:
        return "";
    }
}

[[noreturn]] void Fail(const std::string& text) {
    throw TUsageError(text);
}

unsigned ReadJobs(const std::string& text) {
    unsigned n = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, n);
    if (ec != std::errc() || at != end || n < 1 || n > kMaxJobs)
        Fail(FillPlaceholders(Translate("--jobs takes a number from 1 to 256: %1"), {text}));
    return n;
}
int ReadTimeout(const std::string& text) {
    int n = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, n);
    if (ec != std::errc() || at != end || n < 1 || n > kMaxTimeout)
        Fail(FillPlaceholders(Translate("--timeout takes a number of seconds from 1 to 86400: %1"),
                              {text}));
    return n;
}
} // namespace

bool WantsCommandLine(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") return false;
        if (IsOption(arg) || IsShortOption(arg)) return true;
    }
    return false;
}

TBatchOptions ParseBatchArguments(const std::vector<std::string>& args) {
    TBatchOptions options;
    bool crop = false;
    bool pathsOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (!pathsOnly && IsShortOption(arg)) {
            // "-0" as xargs -0 and find -print0 spell it
            const std::string longForm = LongForm(arg);
            if (longForm.empty()) Fail(FillPlaceholders(Translate("Unknown option %1"), {arg}));
            arg = longForm;
        }
        if (pathsOnly || !IsOption(arg)) {
            if (arg == "--" && !pathsOnly)
                pathsOnly = true;
            else
                options.Paths.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        const bool takesValue = name == "--output" || name == "--aspect" || name == "--existing" ||
                                name == "--jobs" || name == "--settings" || name == "--timeout" ||
                                name == "--files-from" || name == "--format" || name == "--order" ||
                                name == "--faces";
        if (takesValue && !hasValue) {
            if (i + 1 >= args.size()) Fail(FillPlaceholders(Translate("%1 needs a value"), {name}));
            value = args[++i];
        } else if (!takesValue && hasValue) {
            Fail(FillPlaceholders(Translate("%1 takes no value"), {name}));
        }
        if (takesValue && value.empty())
            Fail(FillPlaceholders(Translate("%1 needs a value"), {name}));

        if (name == "--crop")
            crop = true;
        else if (name == "--output")
            options.Output = value;
        else if (name == "--aspect")
            options.Aspect = value;
        else if (name == "--existing") {
            if (value != "overwrite" && value != "skip")
                Fail(
                    FillPlaceholders(Translate("--existing takes overwrite or skip: %1"), {value}));
            options.Overwrite = value == "overwrite";
        } else if (name == "--jobs")
            options.Jobs = ReadJobs(value);
        else if (name == "--timeout")
            options.Timeout = ReadTimeout(value);
        else if (name == "--recursive")
            options.Recursive = true;
        else if (name == "--dry-run")
            options.DryRun = true;
        else if (name == "--quiet")
            options.Quiet = true;
        else if (name == "--settings")
            options.SettingsFile = value;
        else if (name == "--files-from")
            options.FilesFrom = value;
        else if (name == "--order")
            options.Order = value;
        else if (name == "--null")
            options.NullSeparated = true;
        else if (name == "--format") {
            if (value != "text" && value != "jsonl")
                Fail(FillPlaceholders(Translate("--format takes text or jsonl: %1"), {value}));
            options.Jsonl = value == "jsonl";
        } else if (name == "--faces") {
            if (value != "on" && value != "off")
                Fail(FillPlaceholders(Translate("--faces takes on or off: %1"), {value}));
            options.KeepFaces = value == "on";
        } else if (name == "--help")
            options.Help = true;
        else if (name == "--version")
            options.Version = true;
        else
            Fail(FillPlaceholders(Translate("Unknown option %1"), {name}));
    }
    if (options.Help || options.Version) return options;
    if (!crop) Fail(Translate("Options need --crop"));
    if (options.Paths.empty() && options.FilesFrom.empty() && options.Order.empty())
        Fail(Translate("No photos or folders named"));
    return options;
}

std::vector<std::string> SplitPathList(const std::string& text, bool nullSeparated) {
    std::vector<std::string> paths;
    const char separator = nullSeparated ? '\0' : '\n';
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) paths.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

std::string BatchHelp() {
    struct TLine {
        const char* option;
        const char* text;
    };
    const TLine lines[] = {
        {"--output DIR", N_("write into DIR (default: the settings' destination folder)")},
        {"--aspect NAME", N_("crop to the aspect of this description (default: the default "
                             "aspect)")},
        {"--existing overwrite|skip", N_("what to do with an existing output file (default: "
                                         "skip)")},
        {"--jobs N", N_("crop N photos at once (default: one per core)")},
        {"-r, --recursive", N_("take the photos of the subfolders too")},
        {"--timeout SECONDS", N_("fail a photo whose jpegtran call takes longer (default: 120)")},
        {"--dry-run", N_("print each jpegtran call and write nothing")},
        {"-q, --quiet", N_("show no progress on standard error")},
        {"--settings FILE", N_("read the settings from FILE")},
        {"--files-from FILE",
         N_("crop the paths listed in FILE too, one a line (-: standard input)")},
        {"-0, --null", N_("the paths in that list are separated by NUL bytes")},
        {"--order FILE", N_("cut the photos of a saved print order as the window would; PATHs "
                            "and --files-from choose among them (default: all)")},
        {"--faces on|off", N_("whether the crop area keeps the faces found in a photo whole "
                              "(default: the settings' own, on)")},
        {"--format text|jsonl",
         N_("report as text lines (default) or as one JSON object per photo")},
        {"-h, --help", N_("print this help")},
        {"-V, --version", N_("print the version")},
    };
    std::string text = Translate("Usage:") + " trimvale [PHOTO...]\n" +
                       "       trimvale --crop [OPTION...] PATH...\n\n" +
                       Translate("Crops JPEG photos without a window, each as the window proposes "
                                 "a newly added photo.") +
                       "\n" + Translate("PATHs are photos or folders of photos.") + "\n\n";
    for (const TLine& line : lines) {
        std::string option = line.option;
        option.resize(28, ' ');
        text += "  " + option + Translate(line.text) + "\n";
    }
    text += "\n" +
            Translate("Exit status: 0 when every photo was written or skipped as asked, 1 when "
                      "one failed or a folder could not be read, 2 for a wrong command line or a "
                      "settings file that cannot be read.") +
            "\n";
    return text;
}
