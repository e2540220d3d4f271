#include "jobs/CropJob.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/FilesystemController.h"
#include "core/StringController.h"
#include "i18n/ErrorText.h"
#include "jobs/OutputNames.h"
#include "jpeg/JpegCheck.h"
#include "jpeg/JpegThumbnail.h"
#include "jpeg/ResolutionUpdate.h"

namespace {
const std::string kScratchPrefix = ".trimvale-";

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// When the process started, in clock ticks after boot (field 22 of
/// /proc/PID/stat); 0 when it cannot be read. Only part of a scratch folder's
/// name, to tell runs apart at a glance: its lock says whether it is in use.
unsigned long long OwnStartTime() {
    static const unsigned long long start = [] {
        std::ifstream in("/proc/self/stat");
        std::string stat;
        std::getline(in, stat);
        // the command name in parentheses may hold spaces; the fields follow the last ")"
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos) return 0ULL;
        std::istringstream fields(stat.substr(close + 1));
        std::string field;
        for (int i = 3; i <= 22 && fields >> field; ++i)
            if (i == 22) return std::strtoull(field.c_str(), nullptr, 10);
        return 0ULL;
    }();
    return start;
}

/// The scratch folder at path, opened to be locked; -1 when it is none of ours.
int OpenScratch(int at, const char* name) {
    return openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

/// Removes the scratch folders in folder that nobody holds: a run killed in
/// the middle of a job leaves its full-size copy there. A live folder is
/// locked (flock) by its owner as long as it exists, whatever process id
/// namespace the owner runs in, and the lock goes with the owner. Only
/// folders of this user named as scratch folders are touched.
void RemoveAbandonedScratch(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, kScratchPrefix.size(), kScratchPrefix) != 0) continue;
        long pid = 0;
        unsigned long long start = 0;
        char tail[16] = {};
        if (std::sscanf(name.c_str() + kScratchPrefix.size(), "%ld-%llu-%15s", &pid, &start,
                        tail) == 3 &&
            std::strlen(tail) == 6 && pid > 0)
            names.push_back(name);
    }
    for (const std::string& name : names) {
        const int fd = OpenScratch(dirfd(dir), name.c_str());
        if (fd < 0) continue;
        struct stat st;
        // held while removed, so that its owner, should it lock it after us, sees it gone
        if (fstat(fd, &st) == 0 && st.st_uid == getuid() && flock(fd, LOCK_EX | LOCK_NB) == 0) {
            std::error_code ec;
            std::filesystem::remove_all(folder + "/" + name, ec);
        }
        close(fd);
    }
    closedir(dir);
}

/// A private folder beside the output, named after its owner, locked while it
/// lives and removed with whatever it holds.
class TScratchFolder {
public:
    explicit TScratchFolder(const std::string& besideFolder) {
        // another run clearing abandoned folders may take a new one before it is locked
        for (int attempt = 0; attempt < 8 && path_.empty(); ++attempt) {
            std::string pattern = besideFolder + "/" + kScratchPrefix + std::to_string(getpid()) +
                                  "-" + std::to_string(OwnStartTime()) + "-XXXXXX";
            if (!mkdtemp(pattern.data())) {
                error_ = errno;
                return;
            }
            lock_ = OpenScratch(AT_FDCWD, pattern.c_str());
            struct stat st;
            if (lock_ >= 0 && flock(lock_, LOCK_EX) == 0 && fstat(lock_, &st) == 0 &&
                st.st_nlink > 0) {
                path_ = pattern;
                return;
            }
            error_ = lock_ < 0 ? errno : ENOENT;
            if (lock_ >= 0) close(lock_);
            lock_ = -1;
        }
    }
    ~TScratchFolder() {
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        close(lock_);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    const std::string& Path() const { return path_; }
    int Error() const { return error_; }

private:
    std::string path_;
    int lock_ = -1;
    int error_ = 0;
};

TCropResult Refused(TFault fault) {
    return {TCropOutcome::Refused, "", std::move(fault)};
}

TCropResult Failed(const std::string& shown, TFault fault) {
    return {TCropOutcome::TransformFailed, shown, std::move(fault)};
}

// the system's own wording, safe to call from several jobs at once
std::string SystemReason(int error) {
    return std::generic_category().message(error);
}

/// Why the job's names rule it out, without reading the source.
std::optional<TFault> NamingRefusal(const TCropJob& job) {
    if (job.Output.empty() || NameOf(job.Output).empty())
        return TFault{TErrorKind::NoOutputName, job.Source, "", ""};
    if (IsSameFile(job.Source, job.Output)) return TFault{TErrorKind::SameFile, job.Output, "", ""};
    return std::nullopt;
}

/// The file a write to output lands in: a symbolic link of the user's is
/// followed to the file it names, so that the link stays and its target gets
/// the new image. A link of anybody else's is where the chain ends: it is
/// replaced itself, so no one can aim our writes elsewhere. Sets error (and
/// returns "") for a chain of links that never ends.
std::string WriteTarget(const std::string& output, int& error) {
    namespace fs = std::filesystem;
    fs::path path = output;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || st.st_uid != getuid())
            return path.string();
        std::error_code ec;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            error = ec.value();
            return "";
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    error = ELOOP;
    return "";
}

/// The umask, read without changing it (umask() would, for every thread).
mode_t CurrentUmask() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, 6, "Umask:") == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    return 022;
}

/// Gives fresh its mode: the source's when asked for, else that of the file it
/// replaces, else the usual one; whatever it is, others may do no more with it
/// than with the source (its mode less the umask).
void SetMode(const TCropJob& job, const std::string& fresh, const std::string& target) {
    struct stat source, replaced, made;
    if (stat(job.Source.c_str(), &source) != 0 || stat(fresh.c_str(), &made) != 0) return;
    mode_t mode = made.st_mode & 0777;
    if (job.Options.CopyFilepermissions)
        mode = source.st_mode & 0777;
    else if (stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode))
        mode = replaced.st_mode & 0777;
    const mode_t others = source.st_mode & ~CurrentUmask() & 0077;
    chmod(fresh.c_str(), (mode & 0700) | (mode & others));
}

/// Takes the name output for fresh only while nobody has it: no run, no
/// link, no file. Returns 0 or the system's error (EEXIST: taken).
int ClaimFreeName(const std::string& fresh, const std::string& output) {
    if (renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, output.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    // a file system without it: a second name for the checked file
    if (link(fresh.c_str(), output.c_str()) == 0) return 0;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return errno;
    // nor hard links: an empty placeholder holds the name until the checked file replaces it
    const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    close(fd);
    if (rename(fresh.c_str(), output.c_str()) == 0) return 0;
    const int error = errno;
    unlink(output.c_str());
    return error;
}

/// Why a written file is not whole: a full disk says so, naming the folder.
TFault Incomplete(const std::string& folder, const std::string& output) {
    struct statvfs fs;
    if (statvfs(folder.c_str(), &fs) == 0 && fs.f_bavail == 0) return DiskFull(folder, "");
    return {TErrorKind::TransformerIncomplete, output, "", ""};
}

// The crop and the turn to landscape in one cut: turning the cut result again
// would leave its partial blocks unturned. The area keeps what the turned
// picture can cut exactly.

std::optional<TCropSpec> LandscapeSpec(const TCropJob& job, const TJpegLayout& layout) {
    const TTurn shown = OrientationTurn(job.Crop.Orientation).Then(job.Crop.Rotation);
    const TJpegView view = ViewOf(layout, shown);
    const TJpegView turnedView = ViewOf(layout, shown.Then(90));
    TCropSpec cut = job.Crop;
    cut.Rotation = (job.Crop.Rotation + 90) % 360;
    if (cut.Kind == "nocrop") return cut;
    const TCropRect stored =
        FromView(view, {job.Crop.X, job.Crop.Y, job.Crop.Width, job.Crop.Height});
    const TCropRect r = ExactCut(turnedView, ToView(turnedView, stored));
    if (r.width <= 0 || r.height <= 0) return std::nullopt;
    cut.X = r.x;
    cut.Y = r.y;
    cut.Width = r.width;
    cut.Height = r.height;
    return cut;
}
/// A portrait cut is turned to landscape when the options ask for it.
bool TurnsToLandscape(const TCropJob& job) {
    return job.Crop.Height > job.Crop.Width && job.Options.AutoRotateToLandscapeAfterCrop;
}

/// The crop the first transformer call makes: the job's own, or turned to
/// landscape in the same cut. Nothing when that turn cannot be planned (the
/// header is unreadable): a second call then turns the result.
std::optional<TCropSpec> CutSpec(const TCropJob& job, const std::optional<TJpegLayout>& layout) {
    if (!TurnsToLandscape(job)) return job.Crop;
    return layout ? LandscapeSpec(job, *layout) : std::nullopt;
}

/// Where the cut lies in its source, for a new EXIF thumbnail.
std::optional<TThumbnailCut> CutIn(const TCropJob& job, const std::optional<TJpegLayout>& layout) {
    // a landscape turn made by a second call is not followed here
    const std::optional<TCropSpec> crop = CutSpec(job, layout);
    if (!crop || !layout) return std::nullopt;
    TThumbnailCut cut;
    cut.SourceWidth = layout->width;
    cut.SourceHeight = layout->height;
    cut.Turn = OrientationTurn(crop->Orientation).Then(crop->Rotation);
    const TJpegView view = ViewOf(*layout, cut.Turn);
    // the whole view is what the transformer keeps when nothing is cut
    const TCropRect shown = crop->Kind == "nocrop"
                                ? TCropRect{0, 0, view.width, view.height}
                                : TCropRect{crop->X, crop->Y, crop->Width, crop->Height};
    cut.Stored = FromView(view, shown);
    return cut;
}

/// The calls as CropJobCalls makes them, from the source's header read once.
std::vector<TTransformCall> Calls(const TCropJob& job, const TSourceRead& source,
                                  const std::string& into) {
    const std::optional<TJpegLayout>& layout = source.Layout;
    // the cut keeps the source's form: progressive stays progressive, arithmetic arithmetic
    const TJpegCoding coding = source.Coding;
    // arithmetic coding has no Huffman tables to optimise; the transformer refuses both
    TTransformCall options = TransformOptions(job.Options.CopyMetadats,
                                              job.Options.HuffmanOptimize && !coding.arithmetic);
    if (job.Options.TransformerMemoryKB > 0)
        options.Add("-maxmemory").Add(std::to_string(job.Options.TransformerMemoryKB));
    if (coding.progressive) options.Add("-progressive");
    if (coding.arithmetic) options.Add("-arithmetic");
    const std::optional<TCropSpec> cut = CutSpec(job, layout);
    std::vector<TTransformCall> calls{CropCall(options, cut ? *cut : job.Crop, job.Source, into)};
    if (!cut) calls.push_back(LandscapeTurnCall(options, into));
    return calls;
}

/// The size of the picture the job's transformer calls write: the view's
/// whole, or the area with its corner moved up and left onto the block grid,
/// as the transformer moves it. Nothing when the header cannot be read.
std::optional<std::pair<int32_t, int32_t>> PlannedSize(const TCropJob& job,
                                                       const TJpegLayout& layout) {
    const std::optional<TCropSpec> crop = CutSpec(job, layout);
    if (!crop) return std::nullopt;
    const TJpegView view = ViewOf(layout, OrientationTurn(crop->Orientation).Then(crop->Rotation));
    if (crop->Kind == "nocrop") return std::pair{view.width, view.height};
    return std::pair{crop->Width + crop->X % std::max(1, view.blockWidth),
                     crop->Height + crop->Y % std::max(1, view.blockHeight)};
}

/// Why the source is not the photo the job was planned for, or nothing:
/// replaced, rewritten or turned by another program since it was read, the
/// area no longer inside its picture.
std::optional<TFault> Changed(const TCropJob& job, const TJpegLayout& now) {
    bool same = true;
    if (job.Expected) {
        const TJpegLayout& then = *job.Expected;
        same = then.width == now.width && then.height == now.height &&
               then.orientation == now.orientation;
        if (then.fileSize != 0)
            same = same && then.fileSize == now.fileSize && then.modifiedNs == now.modifiedNs;
    }
    if (same && job.Crop.Kind != "nocrop") {
        const TJpegView view =
            ViewOf(now, OrientationTurn(job.Crop.Orientation).Then(job.Crop.Rotation));
        same = job.Crop.X >= 0 && job.Crop.Y >= 0 && job.Crop.Width > 0 && job.Crop.Height > 0 &&
               int64_t{job.Crop.X} + job.Crop.Width <= view.width &&
               int64_t{job.Crop.Y} + job.Crop.Height <= view.height;
    }
    if (same) return std::nullopt;
    return TFault{TErrorKind::Changed, job.Source, "", ""};
}

std::string SizeText(int32_t width, int32_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
}
} // namespace

void ClearAbandonedScratch(const std::string& folder) {
    // once a folder per process: a listing per photo grows with the folder
    static std::mutex mutex;
    static TKeySet cleared;
    {
        const std::lock_guard lock(mutex);
        if (!cleared.Insert(HashText(folder))) return;
    }
    RemoveAbandonedScratch(folder);
}

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string TCropResult::Reason() const {
    return Outcome == TCropOutcome::Written ? "" : ErrorText(Fault);
}

std::optional<TFault> CropJobRefusal(const TCropJob& job) {
    if (auto refusal = NamingRefusal(job)) return refusal;
    std::string why;
    const int fd = OpenRegularFile(job.Source, why);
    if (fd < 0) return TFault{TErrorKind::CannotRead, job.Source, why, ""};
    ::close(fd);
    return std::nullopt;
}

TSourceRead ReadSource(const std::string& path) {
    TSourceRead read;
    std::string why;
    // a photo deleted or replaced since it was shown: the system says why, not jpegtran
    const int fd = OpenRegularFile(path, why);
    if (fd < 0) {
        read.Unreadable = TFault{TErrorKind::CannotRead, path, why, ""};
        return read;
    }
    read.Coding = ReadJpegCoding(fd);
    try {
        read.Layout = ReadJpegLayout(fd, path);
    } catch (const TError& e) {
        // the job leaves an unreadable header to the transformer to explain
        read.HeaderFault = e.Fault();
    }
    ::close(fd);
    return read;
}

std::vector<TTransformCall> CropJobCalls(const TCropJob& job, const std::string& into) {
    return CropJobCalls(job, ReadSource(job.Source), into);
}

std::vector<TTransformCall> CropJobCalls(const TCropJob& job, const TSourceRead& source,
                                         const std::string& into) {
    return Calls(job, source, into);
}

std::optional<TThumbnailCut> ThumbnailCutOf(const TCropJob& job) {
    return CutIn(job, ReadSource(job.Source).Layout);
}

TCropResult RunCropJob(const TCropJob& job) {
    if (auto refusal = NamingRefusal(job)) return Refused(std::move(*refusal));
    // the source, opened once: whether it can be read, its header (whether this is
    // still the photo the area was chosen on, the turn to landscape, the new
    // thumbnail and the size to expect) and its coding
    return RunCropJobWith(job, ReadSource(job.Source));
}

TCropResult RunCropJobWith(const TCropJob& job, const TSourceRead& source) {
    if (auto refusal = NamingRefusal(job)) return Refused(std::move(*refusal));
    if (source.Unreadable) return Refused(*source.Unreadable);
    const std::optional<TJpegLayout>& layout = source.Layout;
    std::vector<TTransformCall> calls = Calls(job, source, job.Output);
    // messages name the file the user asked for, not the scratch file that is gone by then
    const std::string shown = calls.front().ArgumentString();
    const TFault exists{TErrorKind::Exists, job.Output, "", ""};

    struct stat present;
    // a name that is taken in any way, a dangling link too, is not free
    if (!job.Replace && lstat(job.Output.c_str(), &present) == 0)
        return {TCropOutcome::Exists, shown, exists};
    int linkError = 0;
    const std::string target = job.Replace ? WriteTarget(job.Output, linkError) : job.Output;
    if (target.empty())
        return Refused({TErrorKind::CannotReplace, job.Output, SystemReason(linkError), ""});
    // an unreadable header is left to the transformer to explain
    if (layout)
        if (auto changed = Changed(job, *layout)) return Refused(std::move(*changed));
    const std::string folder = FolderOf(target);
    ClearAbandonedScratch(folder);
    TScratchFolder scratch(folder);
    if (scratch.Path().empty())
        return Refused({TErrorKind::CannotWrite, folder, SystemReason(scratch.Error()), ""});
    // the same name as the output, so that its extension keeps its meaning
    const std::string fresh = scratch.Path() + "/" + NameOf(target);

    const TTransformLimits limits{job.Options.TransformerTimeout, job.Stop};
    for (TTransformCall& call : calls) {
        const auto scratchFor = [&](const std::string& path) {
            return path == job.Output ? fresh : path;
        };
        call.SetFiles(scratchFor(call.Input()), scratchFor(call.Output()));
        TTransformResult run = RunTransformer(job.Tool, call, limits, folder);
        // the fault names the photo, not the scratch file that is gone by then
        if (run.Fault.File == fresh) run.Fault.File = job.Output;
        if (!run.Ok) return Failed(shown, std::move(run.Fault));
    }
    if (!IsCompleteJpeg(fresh)) return Failed(shown, Incomplete(folder, job.Output));

    TMetadataUpdate update;
    update.Upright = job.Crop.Orientation != 1;
    if (job.Options.UpdatePPI) update.Resolution = job.Resolution;
    // the EXIF thumbnail is cut from the source's own where it can be, without a decode
    update.Cut = CutIn(job, layout);
    // records that still describe the uncut photo make a wrong file, not a written one
    if (const TMetadataResult updated = UpdateMetadata(fresh, update); !updated.Error.empty())
        return Failed(shown, updated.DiskFull ? DiskFull(folder, "")
                                              : TFault{TErrorKind::RecordsNotUpdated, job.Output,
                                                       updated.Error, ""});
    if (job.Options.CopyFileDates) CopyFileTimes(job.Source, fresh);
    SetMode(job, fresh, target);
    // the update rewrote the file; it too may have met a full disk
    if (!IsCompleteJpeg(fresh)) return Failed(shown, Incomplete(folder, job.Output));
    // what was written must be what was planned: a transformer that ignored the
    // cut, or a photo changed under the job, gives a picture of another size
    if (const auto planned = layout ? PlannedSize(job, *layout) : std::nullopt) {
        TJpegLayout written;
        try {
            written = ReadJpegLayout(fresh);
        } catch (const std::exception&) {
        }
        if (written.width != planned->first || written.height != planned->second)
            return Failed(shown, {TErrorKind::WrongSize, job.Output,
                                  SizeText(written.width, written.height),
                                  SizeText(planned->first, planned->second)});
    }

    if (!job.Replace) {
        const int error = ClaimFreeName(fresh, target);
        if (error == EEXIST) return {TCropOutcome::Exists, shown, exists};
        if (error != 0)
            return Failed(shown, {TErrorKind::CannotWrite, folder, SystemReason(error), ""});
    } else if (rename(fresh.c_str(), target.c_str()) != 0) {
        const int error = errno;
        return Failed(shown, {TErrorKind::CannotReplace, job.Output, SystemReason(error), ""});
    }
    return {TCropOutcome::Written, shown, {}};
}
