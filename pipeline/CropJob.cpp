#include "CropJob.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "Error.h"
#include "FilesystemController.h"
#include "JpegThumbnail.h"
#include "ResolutionUpdate.h"
#include "gnugettext.h"

namespace {
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasContent(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

/// A private folder beside the output, removed with whatever it holds.
class TScratchFolder {
public:
    explicit TScratchFolder(const std::string& besideFolder) {
        std::string pattern = besideFolder + "/.trimvale-XXXXXX";
        if (mkdtemp(pattern.data()))
            path_ = pattern;
        else
            error_ = errno;
    }
    ~TScratchFolder() {
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }
    int Error() const { return error_; }

private:
    std::string path_;
    int error_ = 0;
};

TCropResult Refused(const std::string& reason) {
    return {TCropOutcome::Refused, "", reason};
}

// the system's own wording, safe to call from several jobs at once
std::string SystemReason(int error) {
    return std::generic_category().message(error);
}

// the catalogue of a language that cannot be used was reported at start; its texts stay English
std::string Tr(const char* text) {
    try {
        return Translate(text);
    } catch (const TError&) {
        return text;
    }
}

/// The file a write to output lands in: a symbolic link is followed to the
/// file it names, so that the link stays and its target gets the new image.
/// Sets error (and returns "") for a chain of links that never ends.
std::string WriteTarget(const std::string& output, int& error) {
    namespace fs = std::filesystem;
    fs::path path = output;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path.string();
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

// The crop and the turn to landscape in one cut: turning the cut result again
// would leave its partial blocks unturned. The area keeps what the turned
// picture can cut exactly. Nothing when the source's header cannot be read.
std::optional<TCropSpec> LandscapeSpec(const TCropJob& job) {
    TJpegLayout layout;
    try {
        layout = ReadJpegLayout(job.Source);
    } catch (const std::exception&) {
        return std::nullopt;
    }
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
} // namespace

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string CropJobRefusal(const TCropJob& job) {
    if (job.Output.empty() || NameOf(job.Output).empty())
        return Tr(N_("No output file name for")) + " " + job.Source;
    if (IsSameFile(job.Source, job.Output))
        return Tr(N_("The output file")) + " " + job.Output + " " +
               Tr(N_("is the source file itself"));
    return "";
}

std::vector<TTransformCall> CropJobCalls(const TCropJob& job, const std::string& into) {
    // the cut keeps the source's form: progressive stays progressive, arithmetic arithmetic
    const TJpegCoding coding = ReadJpegCoding(job.Source);
    // arithmetic coding has no Huffman tables to optimise; the transformer refuses both
    TTransformCall options = TransformOptions(job.Options.CopyMetadats,
                                              job.Options.HuffmanOptimize && !coding.arithmetic);
    if (coding.progressive) options.Add("-progressive");
    if (coding.arithmetic) options.Add("-arithmetic");
    const bool landscape =
        job.Crop.Height > job.Crop.Width && job.Options.AutoRotateToLandscapeAfterCrop;
    const std::optional<TCropSpec> turned = landscape ? LandscapeSpec(job) : std::nullopt;
    std::vector<TTransformCall> calls{
        CropCall(options, turned ? *turned : job.Crop, job.Source, into)};
    if (landscape && !turned) calls.push_back(LandscapeTurnCall(options, into));
    return calls;
}

std::optional<TThumbnailCut> ThumbnailCutOf(const TCropJob& job) {
    const bool landscape =
        job.Crop.Height > job.Crop.Width && job.Options.AutoRotateToLandscapeAfterCrop;
    // a landscape turn made by a second call is not followed here
    const std::optional<TCropSpec> spec = landscape ? LandscapeSpec(job) : job.Crop;
    if (!spec) return std::nullopt;
    TJpegLayout layout;
    try {
        layout = ReadJpegLayout(job.Source);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    TThumbnailCut cut;
    cut.SourceWidth = layout.width;
    cut.SourceHeight = layout.height;
    cut.Turn = OrientationTurn(spec->Orientation).Then(spec->Rotation);
    const TJpegView view = ViewOf(layout, cut.Turn);
    // the whole view is what the transformer keeps when nothing is cut
    const TCropRect shown = spec->Kind == "nocrop"
                                ? TCropRect{0, 0, view.width, view.height}
                                : TCropRect{spec->X, spec->Y, spec->Width, spec->Height};
    cut.Stored = FromView(view, shown);
    return cut;
}

TCropResult RunCropJob(const TCropJob& job) {
    if (const std::string reason = CropJobRefusal(job); !reason.empty()) return Refused(reason);

    int linkError = 0;
    const std::string target = WriteTarget(job.Output, linkError);
    if (target.empty())
        return Refused(Tr(N_("Unable to replace")) + " " + job.Output + ": " +
                       SystemReason(linkError));
    const std::string folder = FolderOf(target);
    TScratchFolder scratch(folder);
    if (scratch.Path().empty())
        return Refused(Tr(N_("Unable to write into")) + " " + folder + ": " +
                       SystemReason(scratch.Error()));
    // the same name as the output, so that its extension keeps its meaning
    const std::string fresh = scratch.Path() + "/" + NameOf(target);

    const std::vector<TTransformCall> calls = CropJobCalls(job, fresh);
    const TTransformCall& crop = calls.front();
    // messages name the file the user asked for, not the scratch file that is gone by then
    const std::string shown = CropJobCalls(job, job.Output).front().ArgumentString();
    RunTransformer(job.Tool, crop);
    // only a file the call created counts; its exit code decides nothing
    if (!HasContent(fresh)) return {TCropOutcome::TransformFailed, shown, ""};

    for (std::size_t i = 1; i < calls.size(); ++i)
        RunTransformer(job.Tool, calls[i]);
    TMetadataUpdate update;
    update.Upright = job.Crop.Orientation != 1;
    if (job.Options.UpdatePPI) update.Resolution = job.Resolution;
    UpdateMetadata(fresh, update);
    if (job.Options.CopyFileDates) CopyFileTimes(job.Source, fresh);
    struct stat replaced;
    if (job.Options.CopyFilepermissions)
        CopyFileAttributes(job.Source, fresh);
    else if (stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode))
        // a replaced file keeps who may read it; a fresh one gets the usual mode
        chmod(fresh.c_str(), replaced.st_mode & 07777);

    if (!HasContent(fresh)) return {TCropOutcome::TransformFailed, shown, ""};
    if (rename(fresh.c_str(), target.c_str()) != 0) {
        const int error = errno;
        return {TCropOutcome::TransformFailed, shown,
                Tr(N_("Unable to replace")) + " " + job.Output + ": " + SystemReason(error)};
    }
    return {TCropOutcome::Written, shown, ""};
}
