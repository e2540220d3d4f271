#include "cli/BatchRun.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <ostream>
#include <regex>
#include <unordered_map>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "cli/BatchOptions.h"
#include "cli/JsonText.h"
#include "cli/OrderRun.h"
#include "cli/PhotoJob.h"
#include "cli/PhotoWalk.h"
#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "core/StringController.h"
#include "core/TextEncoding.h"
#include "core/UserPrompt.h"
#include "core/VersionController.h"
#include "generated/Version.h"
#include "i18n/ErrorText.h"
#include "i18n/gnugettext.h"
#include "jobs/CropPlan.h"
#include "jobs/CropScheduler.h"
#include "jobs/OutputNames.h"
#include "jobs/SharedSettings.h"
#include "jpeg/JpegThumbnail.h"
#include "model/CropAspects.h"
#include "model/DestinationNaming.h"
#include "model/ImageFiles.h"
#include "model/Options.h"
#include "model/SettingsFile.h"

namespace fs = std::filesystem;

namespace {
// The signal (SIGINT, SIGTERM, SIGHUP) that asked the run to end, or 0; a
// signal handler can reach nothing else.
volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int signal) {
    interrupted = signal;
}

/// While it lives, an interruption ends the run between photos, so that every
/// job in flight still clears its scratch files away.
class TInterruptGuard {
public:
    TInterruptGuard() {
        interrupted = 0;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], nullptr, &old_[i]);
            // a signal ignored by whoever started us (nohup, a background job) stays so
            if (old_[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &action, nullptr);
        }
        // a reader gone (| head) is a failed write, so that the scratch files still go
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, &oldPipe_);
    }
    ~TInterruptGuard() {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &old_[i], nullptr);
        sigaction(SIGPIPE, &oldPipe_, nullptr);
    }
    TInterruptGuard(const TInterruptGuard&) = delete;
    TInterruptGuard& operator=(const TInterruptGuard&) = delete;

private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> old_{};
    struct sigaction oldPipe_ {};
};

/// Messages meant for a box go to standard error; nobody answers questions.
class TStreamPrompt : public IUserPrompt {
public:
    explicit TStreamPrompt(std::ostream& err) : err_(err) {}
    void ShowMessage(const std::string& text) override {
        err_ << "trimvale: " << ReplaceAll(text, "\r\n", "\n") << std::endl;
    }
    TAnswer Ask(const std::string& text) override {
        ShowMessage(text);
        return TAnswer::Cancel;
    }

private:
    std::ostream& err_;
};

/// One photo of the run and what became of it.
struct TPhoto {
    std::string Source;
    std::string SubFolder; // below the folder named, kept below the output folder
    std::string Output;
    TPhotoReport Report;
    bool Decided = false; // settled before any job runs
    bool Finished = false;
    const TOrderPhoto* Ordered = nullptr; // of a print order: cut with its own area
};

void Decide(TPhoto& photo, const std::string& reason) {
    photo.Report = {TPhotoStatus::Failed, reason, {}};
    photo.Decided = true;
}

/// Gives each photo of a part of the run its output path by the crop plan,
/// which the options answer: an existing output is replaced only when asked
/// for, a read-only one never. names carries what earlier parts gave out.
/// Returns the plan's jobs by photo (empty where there is none) and adds the
/// questions answered to questions, when given, counting photos from first.
std::vector<TCropJob> PlanOutputs(const std::vector<TPhoto*>& photos, const std::string& folder,
                                  const TStorageTank& settings, bool overwrite, TOutputNames& names,
                                  std::size_t first, std::vector<TCropQuestion>* questions) {
    std::vector<std::size_t> inPlan;
    std::vector<TCropPlanPhoto> planned;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        if (photos[i]->Decided) continue;
        inPlan.push_back(i);
        // a photo of an order is planned as the window plans it
        if (photos[i]->Ordered) {
            planned.push_back(PlanPhotoOf(*photos[i]->Ordered));
            planned.back().SubFolder = photos[i]->SubFolder;
            continue;
        }
        // the crop is proposed inside the job, once the photo is read; a "\" is
        // part of a Linux name, as in photos unpacked from a Windows archive
        planned.push_back({photos[i]->Source,
                           NewDestinationName(photos[i]->Source, settings, true),
                           photos[i]->SubFolder,
                           {},
                           -1});
    }
    TCropPlanOptions options{folder, true, overwrite};
    // an order's names are the window's, and named as the window names them
    options.PosixNames = std::none_of(photos.begin(), photos.end(),
                                      [](const TPhoto* p) { return p->Ordered != nullptr; });
    options.Names = &names;
    const TCropPlan plan = PlanCrops(planned, options, [overwrite](const TCropQuestion& q) {
        // nobody can be asked: an existing file is replaced as the options
        // say, and a protected one stays; an order's incomplete photo was seen
        // grey in the window when it was judged, and is cut as it is
        if (q.Kind == TCropQuestion::Incomplete) return TAnswer::Yes;
        return q.Kind == TCropQuestion::Exists && overwrite ? TAnswer::Yes : TAnswer::No;
    });
    if (questions)
        for (TCropQuestion q : plan.Questions) {
            q.Photo = first + inPlan[q.Photo];
            questions->push_back(q);
        }
    std::vector<TCropJob> jobs(photos.size());
    for (std::size_t k = 0; k < inPlan.size(); ++k) {
        TPhoto& photo = *photos[inPlan[k]];
        const TPlannedCrop& p = plan.Photos[k];
        photo.Output = p.Output;
        if (p.What == TPlannedCrop::Crop) {
            jobs[inPlan[k]] = PlannedJob(planned[k], p);
        } else if (p.What == TPlannedCrop::Skipped && p.SkippedAt == TCropQuestion::Exists) {
            photo.Report = {TPhotoStatus::Skipped, p.Reason, {}};
            photo.Decided = true;
        } else {
            Decide(photo, p.Reason);
        }
    }
    return jobs;
}

/// An aspect given by its size alone: "4:3", "13x18cm", "10x15 cm", "1600x1200px".
std::unique_ptr<TCropAspect> BareAspect(const std::string& text) {
    static const std::regex pattern(
        R"(\s*([0-9]+(?:[.,][0-9]+)?)\s*([:xX])\s*([0-9]+(?:[.,][0-9]+)?)\s*(cm|mm|in|inch|inches|px|pixels)?\s*)",
        std::regex::icase);
    std::smatch m;
    if (!std::regex_match(text, m, pattern)) return nullptr;
    const auto number = [](std::string t) {
        std::replace(t.begin(), t.end(), ',', '.');
        return std::strtod(t.c_str(), nullptr);
    };
    const double horizontal = number(m[1].str()), vertical = number(m[3].str());
    if (horizontal <= 0 || vertical <= 0) return nullptr;
    const std::string unit = LowerCase(m[4].str());
    std::string kind = "none";
    if (unit == "cm" || unit == "mm")
        kind = unit;
    else if (unit == "in" || unit == "inch" || unit == "inches")
        kind = "inches";
    else if (unit == "px" || unit == "pixels")
        kind = "pixels";
    // a ratio is a ratio: "4x3" without a unit means 4:3
    auto aspect = std::make_unique<TCropAspect>();
    aspect->SetAll(text, kind, horizontal, vertical);
    return aspect;
}

/// The list's default aspect, or the one of the given description: exactly,
/// else without regard to case when only one fits, else one of the size it
/// names (kept in bare). Raises TUsageError.
const TCropAspect* ChooseAspect(const TCropAspectList& list, const std::string& name,
                                std::unique_ptr<TCropAspect>& bare) {
    if (name.empty()) return list.Count() > 0 ? &list.Items(list.DefaultIndex()) : nullptr;
    const TCropAspect* found = nullptr;
    int alike = 0;
    for (int i = 0; i < list.Count(); ++i) {
        const TCropAspect& aspect = list.Items(i);
        if (aspect.Description() == name) return &aspect;
        if (SameText(aspect.Description(), name)) {
            found = &aspect;
            ++alike;
        }
    }
    if (alike == 1) return found;
    if ((bare = BareAspect(name))) return bare.get();
    std::string known;
    for (int i = 0; i < list.Count(); ++i)
        known += "\n  " + list.Items(i).Description();
    throw TUsageError(
        FillPlaceholders(Translate("Unknown aspect \"%1\". The aspects are:%2"), {name, known}));
}

std::string StatusWord(TPhotoStatus status) {
    switch (status) {
    case TPhotoStatus::Written:
        return Translate("written");
    case TPhotoStatus::Skipped:
        return Translate("skipped");
    case TPhotoStatus::Failed:
    case TPhotoStatus::Planned:
        break;
    }
    return Translate("failed");
}

/// The report line of a photo not cut: one line, whatever its name holds.
std::string ReportLine(const TPhoto& photo) {
    const TPhotoReport& r = photo.Report;
    std::string line = StatusWord(r.Status) + ": " + EscapeControlCharacters(photo.Source);
    if (!photo.Output.empty()) line += " -> " + EscapeControlCharacters(photo.Output);
    if (!r.Reason.empty())
        line += ": " +
                EscapeControlCharacters(ReplaceAll(ReplaceAll(r.Reason, "\r\n", " "), "\n", " "));
    return line + "\n";
}

const char* StatusName(TPhotoStatus status) {
    switch (status) {
    case TPhotoStatus::Written:
        return "written";
    case TPhotoStatus::Skipped:
        return "skipped";
    case TPhotoStatus::Planned:
        return "planned";
    case TPhotoStatus::Failed:
        break;
    }
    return "failed";
}

/// One JSON object on one line: the fields keep their English names and
/// status words, so that scripts read them whatever the language.
std::string JsonLine(const TPhoto& photo) {
    const TPhotoReport& r = photo.Report;
    const auto number = [](int n) { return n > 0 ? std::to_string(n) : std::string("null"); };
    const bool sized = r.Width > 0 && r.Status != TPhotoStatus::Failed;
    std::string line = "{\"source\":" + JsonString(photo.Source) +
                       ",\"output\":" + (photo.Output.empty() ? "null" : JsonString(photo.Output)) +
                       ",\"status\":\"" + StatusName(r.Status) + "\"" +
                       ",\"width\":" + (sized ? number(r.Width) : "null") +
                       ",\"height\":" + (sized ? number(r.Height) : "null") +
                       ",\"ppi\":" + (sized ? number(r.Ppi) : "null") +
                       ",\"reason\":" + (r.Reason.empty() ? "null" : JsonString(r.Reason));
    // the cut in pixels of the stored photo, and the faces it keeps to
    if (r.Crop.width > 0 && r.Status != TPhotoStatus::Failed)
        line += ",\"crop\":{\"x\":" + std::to_string(r.Crop.x) + ",\"y\":" +
                std::to_string(r.Crop.y) + ",\"width\":" + std::to_string(r.Crop.width) +
                ",\"height\":" + std::to_string(r.Crop.height) + "}";
    else
        line += ",\"crop\":null";
    line += ",\"faces\":" + (r.Faces >= 0 ? std::to_string(r.Faces) : std::string("null"));
    if (r.Status == TPhotoStatus::Planned) {
        line += ",\"calls\":[";
        for (std::size_t i = 0; i < r.Calls.size(); ++i)
            line += (i ? "," : "") + JsonString(r.Calls[i]);
        line += "]";
    }
    return line + "}\n";
}

/// The report: each photo's lines on out in the order the photos were found,
/// and "Cropping 3/10 images..." on one terminal line. A dry run's text is a
/// script for a POSIX shell and nothing else: the calls, a "mkdir -p" for
/// each output folder still missing, every other report a comment.
class TReporter {
public:
    TReporter(std::ostream& out, std::ostream& err, bool progress, bool jsonl, bool dryRun)
        : out_(out), err_(err), progress_(progress), jsonl_(jsonl), dryRun_(dryRun) {}
    ~TReporter() { ClearProgress(); }

    void Print(const TPhoto& photo) {
        ClearProgress();
        ++done_;
        failed_ = failed_ || photo.Report.Status == TPhotoStatus::Failed;
        std::string text;
        if (jsonl_)
            text = JsonLine(photo);
        else if (photo.Report.Status == TPhotoStatus::Planned)
            text = Calls(photo);
        else
            text = (dryRun_ ? "# " : "") + ReportLine(photo);
        Write(text);
    }
    /// Shows how far the run is, at most ten times a second.
    void Progress(std::size_t found) {
        if (!progress_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - shownAt_ < std::chrono::milliseconds(100)) return;
        shownAt_ = now;
        ClearProgress();
        shown_ = FillPlaceholders(Translate("Cropping %1/%2 images..."),
                                  {std::to_string(done_), std::to_string(found)});
        err_ << "\r" << shown_ << std::flush;
    }
    bool AnyFailed() const { return failed_; }
    std::size_t Printed() const { return done_; }
    /// The errno of a report that could not be written, or 0.
    int WriteError() const { return writeError_; }

private:
    std::string Calls(const TPhoto& photo) {
        std::string lines;
        // the calls write into the output folder, which the real run would make
        const std::string folder = fs::path(photo.Output).parent_path().string();
        std::error_code ec;
        if (!folder.empty() && !fs::is_directory(folder, ec) &&
            madeFolders_.Insert(HashText(folder)))
            lines += "mkdir -p -- " + ShellQuote(folder) + "\n";
        for (const std::string& call : photo.Report.Calls)
            lines += call + "\n";
        return lines;
    }
    void Write(const std::string& text) {
        if (writeError_) return;
        errno = 0;
        out_ << text << std::flush;
        if (!out_) writeError_ = errno ? errno : EIO;
    }
    void ClearProgress() {
        if (shown_.empty()) return;
        err_ << "\r" << std::string(shown_.size(), ' ') << "\r" << std::flush;
        shown_.clear();
    }

    std::ostream& out_;
    std::ostream& err_;
    bool progress_;
    bool jsonl_;
    bool dryRun_;
    std::size_t done_ = 0;
    bool failed_ = false;
    int writeError_ = 0;
    TKeySet madeFolders_;
    std::string shown_;
    std::chrono::steady_clock::time_point shownAt_;
};

/// A settings file named on the command line that cannot be read stops the
/// run: cropping with defaults instead would not be what was asked.
void CheckSettingsFile(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT)
        throw TUsageError(FillPlaceholders(Translate("No such settings file: %1"), {path}));
    std::string reason;
    const int fd = OpenRegularFile(path, reason);
    if (fd < 0)
        throw TUsageError(
            FillPlaceholders(Translate("The settings file %1 cannot be read: %2"), {path, reason}));
    ::close(fd);
}

/// The list of --files-from, from its file or standard input, read as the
/// run goes. Raises TUsageError.
std::unique_ptr<std::istream> OpenPathList(const TBatchOptions& options) {
    if (options.FilesFrom.empty()) return nullptr;
    if (options.FilesFrom == "-") return std::make_unique<std::istream>(std::cin.rdbuf());
    auto in = std::make_unique<std::ifstream>(options.FilesFrom, std::ios::binary);
    std::error_code ec;
    if (!in->is_open() || fs::is_directory(options.FilesFrom, ec))
        throw TUsageError(
            FillPlaceholders(Translate("Cannot read the list of paths %1"), {options.FilesFrom}));
    return in;
}

/// A settings file that cannot be read whole ends the command: cropping with
/// defaults instead would cut other areas than the settings give.
class TSettingsFault : public TError {
public:
    using TError::TError;
};

std::unique_ptr<TStorageTank> LoadSettings(const TBatchOptions& options, std::ostream& err) {
    TSettingsFile file = options.SettingsFile.empty()
                             ? TSettingsFile::ForProgram()
                             : TSettingsFile::ForFile(options.SettingsFile);
    if (!options.SettingsFile.empty()) CheckSettingsFile(file.SavePath());
    auto settings = std::make_unique<TStorageTank>("Settings");
    TStreamPrompt prompt(err);
    file.Load(*settings, prompt);
    // the prompt has said why
    if (file.LoadFailed()) throw TSettingsFault("");
    return settings;
}

/// What every photo's job shares, from the settings and the options; bare
/// keeps an aspect given by its size.
TPhotoRunSettings RunSettings(const TStorageTank& settings, const TCropAspects& registry,
                              const TBatchOptions& options, std::unique_ptr<TCropAspect>& bare) {
    TPhotoRunSettings run;
    if (registry.Count() > 0)
        run.Aspect = ChooseAspect(registry.CurrentList(), options.Aspect, bare);
    if (!run.Aspect) throw TError(Translate("The settings hold no aspects"));
    run.AutoFlip = Get(settings, Options::AutoRotateCrop);
    run.HonourOrientation = Get(settings, Options::HonourOrientation);
    run.KeepFaces = options.KeepFaces.value_or(Get(settings, Options::KeepFaces));
    run.Options = CropOptionsFrom(settings);
    if (options.Timeout > 0) run.Options.TransformerTimeout = options.Timeout;
    // a server's run is bounded as the window's decoder is: a header claiming a
    // giant fails in jpegtran instead of taking the machine's memory
    run.Options.TransformerMemoryKB = TJpegLimits{}.maxMemory / 1000;
    run.DryRun = options.DryRun;
    run.Tool = FindTransformer();
    if (run.Tool.empty()) {
        if (!run.DryRun)
            throw TError(FillPlaceholders(Translate("Unable to locate %1!"), {kTransformerName}));
        // a dry run still shows the calls, with the tool the PATH will find
        run.Tool = kTransformerName;
    }
    return run;
}

/// Makes folder with its parents; "" or the system's reason.
std::string MakeFolder(const std::string& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return "";
    fs::create_directories(folder, ec);
    if (fs::is_directory(folder)) return "";
    return FillPlaceholders(Translate("Unable to create \"%1\": %2"),
                            {folder, ec ? ec.message() : SystemErrorText(ENOTDIR)});
}

/// What a run needs besides the photos.
struct TRunContext {
    const TStorageTank& Settings;
    const TBatchOptions& Options;
    std::string Folder; // the output folder
    std::vector<TCropQuestion>* Questions;
};

/// Walks, plans and crops in one stream: a part of the photos is planned
/// while the jobs of earlier parts run, up to jobs at once (0: one per core),
/// and each photo is reported and forgotten as soon as those before it are,
/// so the memory stays flat whatever the count. The proposal needs the photo
/// read, so it is made inside the job; every output belongs to one photo.
template <typename TWalk>
void CropAll(TWalk& walk, const TRunContext& context, const TPhotoRunSettings& settings,
             TReporter& reporter) {
    const TInterruptGuard guard;
    // the photos in flight end at once on an interruption: their jpegtran is killed
    std::atomic<bool> stop{false};
    TPhotoRunSettings run = settings;
    run.Stop = &stop;
    const unsigned threads =
        context.Options.Jobs ? context.Options.Jobs : TCropScheduler::CoreCount();
    std::mutex mutex; // guards byOutput, which the jobs look up
    std::unordered_map<std::string, TPhoto*> byOutput;
    TCropScheduler scheduler(threads, [&](const TCropJob& job) {
        TPhoto* photo;
        {
            const std::lock_guard lock(mutex);
            photo = byOutput.at(job.Output);
        }
        try {
            photo->Report = photo->Ordered ? CropOrderedPhoto(job, run) : CropPhoto(job, run);
        } catch (const TError& e) {
            photo->Report = {TPhotoStatus::Failed, ErrorText(e), {}};
        } catch (const std::exception& e) {
            photo->Report = {TPhotoStatus::Failed, e.what(), {}};
        }
        return TCropResult{};
    });
    // a deque keeps its elements in place while it grows at the back
    std::deque<TPhoto> window;
    std::unordered_map<std::size_t, TPhoto*> bySubmission;
    TOutputNames names;
    std::size_t found = 0;
    bool walking = true;
    const std::size_t kPart = 64;
    const std::size_t kWindow = std::max<std::size_t>(4 * kPart, 16 * std::size_t(threads));
    walk.SetOnFolder([&] { reporter.Progress(found); });
    // an interruption, or a report nobody reads, ends the run between photos:
    // the photos not started are cancelled, those in flight end at once
    const auto stopIfAsked = [&] {
        if (!(interrupted || reporter.WriteError()) || stop) return;
        stop = true;
        walking = false;
        for (const std::size_t index : scheduler.DropPending()) {
            TPhoto* photo = bySubmission.at(index);
            photo->Report = {TPhotoStatus::Failed, Translate("Cropping cancelled"), {}};
            photo->Finished = true;
            bySubmission.erase(index);
        }
    };
    for (;;) {
        stopIfAsked();
        while (walking && window.size() < kWindow) {
            std::vector<TPhoto*> part;
            TWalkItem item;
            while (part.size() < kPart && (walking = walk.Next(item))) {
                window.push_back({item.Source, item.SubFolder, "", {}, false, false, item.Ordered});
                if (!item.Fault.empty()) Decide(window.back(), item.Fault);
                part.push_back(&window.back());
            }
            if (part.empty()) break;
            const std::vector<TCropJob> jobs =
                PlanOutputs(part, context.Folder, context.Settings, context.Options.Overwrite,
                            names, found, context.Questions);
            found += part.size();
            for (std::size_t i = 0; i < part.size(); ++i) {
                TPhoto& photo = *part[i];
                if (!run.DryRun && !photo.Output.empty()) {
                    const std::string into = fs::path(photo.Output).parent_path().string();
                    if (!photo.Decided) {
                        if (const std::string why = MakeFolder(into); !why.empty())
                            Decide(photo, why);
                    }
                    // also where every photo is skipped: a killed run's leftovers go
                    ClearAbandonedScratch(into);
                }
                if (photo.Decided) {
                    photo.Finished = true;
                    continue;
                }
                {
                    const std::lock_guard lock(mutex);
                    byOutput[photo.Output] = &photo;
                }
                bySubmission[scheduler.Submit(jobs[i])] = &photo;
            }
            if (interrupted) break;
        }
        while (!window.empty() && window.front().Finished) {
            reporter.Print(window.front());
            window.pop_front();
        }
        reporter.Progress(found);
        if (window.empty() && !walking) break;
        // a line just printed may have been the one that met the signal
        stopIfAsked();
        if (const auto ended = scheduler.Next(std::chrono::milliseconds(100))) {
            TPhoto* photo = bySubmission.at(ended->Index);
            bySubmission.erase(ended->Index);
            photo->Finished = true;
            const std::lock_guard lock(mutex);
            byOutput.erase(photo->Output);
        }
    }
}
} // namespace

int RunBatch(const TBatchOptions& options, std::ostream& out, std::ostream& err, bool progress,
             std::vector<TCropQuestion>* questions) {
    const std::unique_ptr<TStorageTank> stored = LoadSettings(options, err);
    const TStorageTank& settings = *stored;
    // the language the environment asks for: a script's LC_ALL=C gives English,
    // whatever the window was last set to
    try {
        Translate("Cropping cancelled");
    } catch (const TError& e) {
        // an unusable catalogue leaves the texts in English; say why once
        err << "trimvale: " << e.what() << "\n";
    }
    TCropAspects registry;
    LoadAspectRegistry(settings, registry);
    std::unique_ptr<TCropAspect> bare;
    TPhotoRunSettings run = RunSettings(settings, registry, options, bare);

    std::unique_ptr<TOrderWalk> order;
    if (!options.Order.empty()) {
        // the photos the paths and the list name, out of the order
        std::vector<std::string> chosen = options.Paths;
        if (const std::unique_ptr<std::istream> list = OpenPathList(options)) {
            const std::string text{std::istreambuf_iterator<char>(*list), {}};
            if (list->bad())
                throw TUsageError(FillPlaceholders(Translate("Cannot read the list of paths %1"),
                                                   {options.FilesFrom}));
            for (std::string& path : SplitPathList(text, options.NullSeparated))
                chosen.push_back(std::move(path));
        }
        order = std::make_unique<TOrderWalk>(OpenOrderFile(options.Order), options.Order, chosen);
        // the cut is the order's own; how long a call may take stays the run's
        const TCropOptions& cut = order->Settings().Options;
        run.Options.CopyMetadats = cut.CopyMetadats;
        run.Options.HuffmanOptimize = cut.HuffmanOptimize;
        run.Options.AutoRotateToLandscapeAfterCrop = cut.AutoRotateToLandscapeAfterCrop;
        run.Options.UpdatePPI = cut.UpdatePPI;
        run.Options.CopyFileDates = cut.CopyFileDates;
        run.Options.CopyFilepermissions = cut.CopyFilepermissions;
    }
    std::string typed = options.Output;
    if (typed.empty() && order) typed = order->Settings().Destination;
    const std::string folder = DestinationFolder(typed.empty() ? CroppedDir(settings) : typed);
    TReporter reporter(out, err, progress && !options.Quiet, options.Jsonl, run.DryRun);
    if (!run.DryRun)
        if (const std::string why = MakeFolder(folder); !why.empty()) throw TError(why);
    bool listFailed = false;
    if (order) {
        CropAll(*order, {settings, options, folder, questions}, run, reporter);
    } else {
        TPhotoWalk walk(options.Paths, OpenPathList(options), options.NullSeparated,
                        options.Recursive, folder);
        CropAll(walk, {settings, options, folder, questions}, run, reporter);
        listFailed = walk.ListFailed();
    }
    if (listFailed)
        throw TUsageError(
            FillPlaceholders(Translate("Cannot read the list of paths %1"), {options.FilesFrom}));
    if (interrupted) return 128 + interrupted;
    if (const int error = reporter.WriteError()) {
        // a reader that went away (| head) ends the run as the signal would have
        if (error == EPIPE) return 128 + SIGPIPE;
        err << "trimvale: "
            << FillPlaceholders(Translate("The report cannot be written: %1"),
                                {SystemErrorText(error)})
            << "\n";
        return 1;
    }
    if (reporter.Printed() == 0) {
        // folders without JPEG files: nothing failed, but say so
        err << "trimvale: " << Translate("No photos found") << "\n";
    }
    return reporter.AnyFailed() ? 1 : 0;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   bool progress) {
    // a parent that ignored SIGCHLD would leave us no exit status of jpegtran
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    sigemptyset(&plain.sa_mask);
    sigaction(SIGCHLD, &plain, nullptr);
    try {
        SelectLanguage("");
        const TBatchOptions options = ParseBatchArguments(args);
        if (options.Help) {
            out << BatchHelp();
            return 0;
        }
        if (options.Version) {
            out << "Trimvale " << ShortVersion() << "\n"
                << "Copyright (C) " << TRIMVALE_RELEASE_YEAR << " Trimvale developers\n"
                << Translate("License GPL-3.0-or-later: GNU GPL version 3 or later "
                             "<https://gnu.org/licenses/gpl.html>.")
                << "\n"
                << Translate("This is free software: you are free to change and redistribute it.")
                << "\n"
                << Translate("There is NO WARRANTY, to the extent permitted by law.") << "\n";
            return 0;
        }
        return RunBatch(options, out, err, progress);
    } catch (const TUsageError& e) {
        err << "trimvale: " << e.what() << "\n" << Translate("Try 'trimvale --help'.") << "\n";
        return 2;
    } catch (const TSettingsFault&) {
        return 2;
    } catch (const std::exception& e) {
        err << "trimvale: " << e.what() << "\n";
        return 1;
    }
}
