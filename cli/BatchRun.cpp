#include "cli/BatchRun.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "cli/BatchOptions.h"
#include "cli/JsonText.h"
#include "cli/PhotoJob.h"
#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "core/StringController.h"
#include "core/TextEncoding.h"
#include "core/UserPrompt.h"
#include "core/VersionController.h"
#include "generated/Version.h"
#include "i18n/gnugettext.h"
#include "jobs/CropPlan.h"
#include "jobs/CropScheduler.h"
#include "jobs/SharedSettings.h"
#include "model/CropAspects.h"
#include "model/DestinationNaming.h"
#include "model/ImageFiles.h"
#include "model/Options.h"
#include "model/SettingsFile.h"

namespace fs = std::filesystem;

namespace {
// Set by SIGINT, SIGTERM and SIGHUP; a signal handler can reach nothing else.
volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
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
    }
    ~TInterruptGuard() {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &old_[i], nullptr);
    }
    TInterruptGuard(const TInterruptGuard&) = delete;
    TInterruptGuard& operator=(const TInterruptGuard&) = delete;

private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> old_{};
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
};

void Decide(TPhoto& photo, const std::string& reason) {
    photo.Report = {TPhotoStatus::Failed, reason, {}};
    photo.Decided = true;
}

/// The photos named: files as they are, folders by the JPEG masks. Each file
/// is taken once; what is neither file nor folder is reported.
std::vector<TPhoto> CollectPhotos(const std::vector<std::string>& paths, bool recursive) {
    std::vector<TPhoto> photos;
    std::set<TFileId> seen;
    auto add = [&](const std::string& path, const std::string& subFolder) {
        TFileId id;
        if (FileIdOf(path, id) && !seen.insert(id).second) return false;
        photos.push_back({path, subFolder, "", {}, false});
        return true;
    };
    for (const std::string& path : paths) {
        std::error_code ec;
        const fs::file_status st = fs::status(path, ec);
        if (fs::is_directory(st)) {
            // a folder that cannot be read is told as a failure, not passed over;
            // as cp -r: a photo of a subfolder goes into the same subfolder of the output
            std::vector<TListFault> faults;
            for (const std::string& file : ListImageFiles(path, recursive, &faults)) {
                const fs::path sub = fs::path(file).parent_path().lexically_relative(path);
                add(file, sub.empty() || sub == "." ? std::string() : sub.string());
            }
            for (const TListFault& fault : faults) {
                photos.push_back({fault.Path, "", "", {}, false});
                Decide(photos.back(), fault.Reason);
            }
        } else {
            if (!add(path, "")) continue;
            if (!fs::exists(st))
                Decide(photos.back(), Translate("No such file or folder"));
            else if (!fs::is_regular_file(st))
                Decide(photos.back(), Translate("Not a photo or a folder"));
        }
    }
    return photos;
}

/// Gives every photo its output path by the crop plan, which the options
/// answer: an existing output is replaced only when asked for, a read-only
/// one never. Returns the plan's jobs by photo (empty where there is none) and
/// adds the questions answered to questions, when given.
std::vector<TCropJob> PlanOutputs(std::vector<TPhoto>& photos, const std::string& folder,
                                  const TStorageTank& settings, bool overwrite,
                                  std::vector<TCropQuestion>* questions) {
    std::vector<std::size_t> inPlan;
    std::vector<TCropPlanPhoto> planned;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        if (photos[i].Decided) continue;
        inPlan.push_back(i);
        // the crop is proposed inside the job, once the photo is read
        planned.push_back({photos[i].Source,
                           NewDestinationName(photos[i].Source, settings),
                           photos[i].SubFolder,
                           {},
                           -1});
    }
    const TCropPlan plan =
        PlanCrops(planned, {folder, true, overwrite}, [overwrite](const TCropQuestion& q) {
            // nobody can be asked: an existing file is replaced as the options
            // say, and a protected one stays
            return q.Kind == TCropQuestion::Exists && overwrite ? TAnswer::Yes : TAnswer::No;
        });
    if (questions)
        questions->insert(questions->end(), plan.Questions.begin(), plan.Questions.end());
    std::vector<TCropJob> jobs(photos.size());
    for (std::size_t k = 0; k < inPlan.size(); ++k) {
        TPhoto& photo = photos[inPlan[k]];
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

/// The list's default aspect, or the one of the given description: exactly,
/// else without regard to case when only one fits. Raises TUsageError.
const TCropAspect* ChooseAspect(const TCropAspectList& list, const std::string& name) {
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

/// The report lines of one photo.
std::string ReportLines(const TPhoto& photo) {
    const TPhotoReport& r = photo.Report;
    if (r.Status == TPhotoStatus::Planned) {
        std::string lines;
        for (const std::string& call : r.Calls)
            lines += call + "\n";
        return lines;
    }
    // one line per photo, whatever its name holds
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
    if (r.Status == TPhotoStatus::Planned) {
        line += ",\"calls\":[";
        for (std::size_t i = 0; i < r.Calls.size(); ++i)
            line += (i ? "," : "") + JsonString(r.Calls[i]);
        line += "]";
    }
    return line + "}\n";
}

/// The report: each photo's lines on out in the order the photos were named,
/// whichever job ends first, and "Cropping 3/10 images..." on one terminal line.
class TReporter {
public:
    TReporter(const std::vector<TPhoto>& photos, std::ostream& out, std::ostream& err,
              bool progress, bool jsonl)
        : photos_(photos), out_(out), err_(err), progress_(progress), jsonl_(jsonl),
          finished_(photos.size(), false) {}
    ~TReporter() { ClearProgress(); }

    void Finished(std::size_t i) {
        finished_[i] = true;
        ++done_;
        ClearProgress();
        for (; printed_ < photos_.size() && finished_[printed_]; ++printed_) {
            const TPhoto& photo = photos_[printed_];
            failed_ = failed_ || photo.Report.Status == TPhotoStatus::Failed;
            out_ << (jsonl_ ? JsonLine(photo) : ReportLines(photo)) << std::flush;
        }
        if (!progress_ || done_ == photos_.size()) return;
        shown_ = FillPlaceholders(Translate("Cropping %1/%2 images..."),
                                  {std::to_string(done_), std::to_string(photos_.size())});
        err_ << "\r" << shown_ << std::flush;
    }
    bool AnyFailed() const { return failed_; }

private:
    void ClearProgress() {
        if (shown_.empty()) return;
        err_ << "\r" << std::string(shown_.size(), ' ') << "\r" << std::flush;
        shown_.clear();
    }

    const std::vector<TPhoto>& photos_;
    std::ostream& out_;
    std::ostream& err_;
    bool progress_;
    bool jsonl_;
    std::vector<bool> finished_;
    std::size_t printed_ = 0;
    std::size_t done_ = 0;
    bool failed_ = false;
    std::string shown_;
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

/// The paths of --files-from, from its file or standard input. Raises TUsageError.
std::vector<std::string> ReadPathList(const TBatchOptions& options) {
    std::string text;
    bool read = true;
    if (options.FilesFrom == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        read = !std::cin.bad();
    } else {
        std::ifstream in(options.FilesFrom, std::ios::binary);
        read = in.is_open() && !fs::is_directory(options.FilesFrom);
        if (read) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        read = read && !in.bad();
    }
    if (!read)
        throw TUsageError(
            FillPlaceholders(Translate("Cannot read the list of paths %1"), {options.FilesFrom}));
    return SplitPathList(text, options.NullSeparated);
}

std::unique_ptr<TStorageTank> LoadSettings(const TBatchOptions& options, std::ostream& err) {
    TSettingsFile file = options.SettingsFile.empty()
                             ? TSettingsFile::ForProgram()
                             : TSettingsFile::ForFile(options.SettingsFile);
    if (!options.SettingsFile.empty()) CheckSettingsFile(file.SavePath());
    auto settings = std::make_unique<TStorageTank>("Settings");
    TStreamPrompt prompt(err);
    file.Load(*settings, prompt);
    return settings;
}

/// What every photo's job shares, from the settings and the options.
TPhotoRunSettings RunSettings(const TStorageTank& settings, const TCropAspects& registry,
                              const TBatchOptions& options) {
    TPhotoRunSettings run;
    if (registry.Count() > 0) run.Aspect = ChooseAspect(registry.CurrentList(), options.Aspect);
    if (!run.Aspect) throw TError(Translate("The settings hold no aspects"));
    run.AutoFlip = Get(settings, Options::AutoRotateCrop);
    run.HonourOrientation = Get(settings, Options::HonourOrientation);
    run.Options = CropOptionsFrom(settings);
    if (options.Timeout > 0) run.Options.TransformerTimeout = options.Timeout;
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

/// Runs the planned job of every photo not settled yet, up to jobs at once
/// (0: one per core). The proposal needs the photo read, so it is made inside
/// the job; every output belongs to one photo only (see PlanOutputs).
void CropAll(std::vector<TPhoto>& photos, const std::vector<TCropJob>& planned,
             const TPhotoRunSettings& settings, unsigned jobs, TReporter& reporter) {
    const TInterruptGuard guard;
    // the photos in flight end at once on an interruption: their jpegtran is killed
    std::atomic<bool> stop{false};
    TPhotoRunSettings run = settings;
    run.Stop = &stop;
    std::map<std::string, std::size_t> byOutput;
    for (std::size_t i = 0; i < photos.size(); ++i)
        if (!photos[i].Decided) byOutput.emplace(photos[i].Output, i);
    const std::size_t threads = std::min<std::size_t>(jobs ? jobs : TCropScheduler::CoreCount(),
                                                      std::max<std::size_t>(1, byOutput.size()));
    TCropScheduler scheduler(static_cast<unsigned>(threads), [&](const TCropJob& job) {
        TPhoto& photo = photos[byOutput.at(job.Output)];
        try {
            photo.Report = CropPhoto(job, run);
        } catch (const std::exception& e) {
            photo.Report = {TPhotoStatus::Failed, e.what(), {}};
        }
        return TCropResult{};
    });
    std::vector<std::size_t> submitted;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        if (photos[i].Decided) {
            reporter.Finished(i);
            continue;
        }
        scheduler.Submit(planned[i]);
        submitted.push_back(i);
    }
    while (scheduler.Outstanding() > 0) {
        if (interrupted) {
            stop = true;
            for (const std::size_t index : scheduler.DropPending()) {
                photos[submitted[index]].Report = {
                    TPhotoStatus::Failed, Translate("Cropping cancelled"), {}};
                reporter.Finished(submitted[index]);
            }
        }
        if (const auto ended = scheduler.Next(std::chrono::milliseconds(100)))
            reporter.Finished(submitted[ended->Index]);
    }
}
} // namespace

int RunBatch(const TBatchOptions& options, std::ostream& out, std::ostream& err, bool progress,
             std::vector<TCropQuestion>* questions) {
    const std::unique_ptr<TStorageTank> stored = LoadSettings(options, err);
    const TStorageTank& settings = *stored;
    SelectLanguage(Get(settings, Options::Language, CurrentLanguage()));
    try {
        Translate("Cropping cancelled");
    } catch (const TError& e) {
        // an unusable catalogue leaves the texts in English; say why once
        err << "trimvale: " << e.what() << "\n";
    }
    TCropAspects registry;
    LoadAspectRegistry(settings, registry);
    const TPhotoRunSettings run = RunSettings(settings, registry, options);

    const std::string folder =
        DestinationFolder(options.Output.empty() ? CroppedDir(settings) : options.Output);
    std::vector<std::string> paths = options.Paths;
    if (!options.FilesFrom.empty()) {
        const std::vector<std::string> listed = ReadPathList(options);
        paths.insert(paths.end(), listed.begin(), listed.end());
    }
    std::vector<TPhoto> photos = CollectPhotos(paths, options.Recursive);
    if (photos.empty()) {
        // folders without JPEG files: nothing failed, but say so
        err << "trimvale: " << Translate("No photos found") << "\n";
        return 0;
    }
    const std::vector<TCropJob> jobs =
        PlanOutputs(photos, folder, settings, options.Overwrite, questions);
    if (!run.DryRun) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (!fs::is_directory(folder, ec))
            throw TError(FillPlaceholders(Translate("Unable to create \"%1\""), {folder}));
        for (TPhoto& photo : photos) {
            if (photo.Decided || photo.SubFolder.empty()) continue;
            const std::string into = fs::path(photo.Output).parent_path().string();
            fs::create_directories(into, ec);
            if (!fs::is_directory(into, ec))
                Decide(photo, FillPlaceholders(Translate("Unable to create \"%1\""), {into}));
        }
    }

    TReporter reporter(photos, out, err, progress, options.Jsonl);
    CropAll(photos, jobs, run, options.Jobs, reporter);
    return reporter.AnyFailed() ? 1 : 0;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   bool progress) {
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
    } catch (const std::exception& e) {
        err << "trimvale: " << e.what() << "\n";
        return 1;
    }
}
