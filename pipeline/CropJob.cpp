#include "CropJob.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "FilesystemController.h"
#include "ResolutionUpdate.h"

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
} // namespace

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string CropJobRefusal(const TCropJob& job) {
    if (job.Output.empty() || NameOf(job.Output).empty())
        return "No output file name for " + job.Source;
    if (IsSameFile(job.Source, job.Output))
        return "The output file " + job.Output + " is the source file itself";
    return "";
}

TCropResult RunCropJob(const TCropJob& job) {
    if (const std::string reason = CropJobRefusal(job); !reason.empty()) return Refused(reason);

    const std::string folder = FolderOf(job.Output);
    TScratchFolder scratch(folder);
    if (scratch.Path().empty())
        return Refused("Unable to write into " + folder + ": " + std::strerror(scratch.Error()));
    // the same name as the output, so that its extension keeps its meaning
    const std::string fresh = scratch.Path() + "/" + NameOf(job.Output);

    const TTransformCall options =
        TransformOptions(job.Options.CopyMetadats, job.Options.HuffmanOptimize);
    const TTransformCall crop = CropCall(options, job.Crop, job.Source, fresh);
    RunTransformer(job.Tool, crop);
    // only a file the call created counts; its exit code decides nothing
    if (!HasContent(fresh)) return {TCropOutcome::TransformFailed, crop.ArgumentString(), ""};

    if (job.Crop.Height > job.Crop.Width && job.Options.AutoRotateToLandscapeAfterCrop)
        RunTransformer(job.Tool, LandscapeTurnCall(options, fresh));
    if (job.Options.UpdatePPI && job.Resolution > 0)
        WriteResolution(fresh, job.Resolution, job.Resolution);
    if (job.Options.CopyFileDates) CopyFileTimes(job.Source, fresh);
    if (job.Options.CopyFilepermissions) CopyFileAttributes(job.Source, fresh);

    if (!HasContent(fresh)) return {TCropOutcome::TransformFailed, crop.ArgumentString(), ""};
    if (rename(fresh.c_str(), job.Output.c_str()) != 0)
        return {TCropOutcome::TransformFailed, crop.ArgumentString(),
                "Unable to replace " + job.Output + ": " + std::strerror(errno)};
    return {TCropOutcome::Written, crop.ArgumentString(), ""};
}
