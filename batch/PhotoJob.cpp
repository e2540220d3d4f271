#include "PhotoJob.h"

#include <filesystem>

#include "CropAspect.h"
#include "Error.h"
#include "FilesystemController.h"
#include "FrameProposal.h"
#include "JpegThumbnail.h"
#include "gnugettext.h"

namespace {
// small enough to decode at an eighth, large enough that every scan is read
constexpr int32_t kCheckHeight = 64;

TPhotoReport Report(TPhotoStatus status, const std::string& reason) {
    return {status, reason, {}};
}
} // namespace

TPhotoReport CropPhoto(const std::string& source, const std::string& output,
                       const TPhotoRunSettings& run) {
    std::error_code ec;
    if (std::filesystem::exists(output, ec)) {
        if (!run.Overwrite) return Report(TPhotoStatus::Skipped, Translate("File exists"));
        // without a window nobody can be asked, so a protected file stays
        if (IsReadOnly(output))
            return Report(TPhotoStatus::Failed, Translate("The output file is read only"));
    }

    if (std::filesystem::is_regular_file(source, ec) && std::filesystem::file_size(source, ec) == 0)
        return Report(TPhotoStatus::Failed, Translate("The file is empty"));
    TThumbnail image;
    try {
        // the whole photo is read, as the image frame reads it, so that a
        // damaged one is found before anything is written
        image = ReadJpegThumbnail(source, 0, kCheckHeight);
    } catch (const TError& e) {
        return Report(TPhotoStatus::Failed, e.what());
    } catch (const std::bad_alloc&) {
        return Report(TPhotoStatus::Failed, Translate("Not enough memory"));
    }
    // jpegtran would cut what is there and leave the rest grey
    if (image.truncated)
        return Report(TPhotoStatus::Failed, Translate("The image data ends early"));

    const TFrameProposal proposal =
        ProposeFrame(image.imageWidth, image.imageHeight, *run.Aspect, run.AutoFlip);
    if (run.DryRun) {
        const TTransformCall options =
            TransformOptions(run.Options.CopyMetadats, run.Options.HuffmanOptimize);
        TPhotoReport planned{TPhotoStatus::Planned, "", {}};
        planned.Calls.push_back(kTransformerName +
                                CropCall(options, proposal.Crop, source, output).ArgumentString());
        if (proposal.Crop.Height > proposal.Crop.Width &&
            run.Options.AutoRotateToLandscapeAfterCrop)
            planned.Calls.push_back(kTransformerName +
                                    LandscapeTurnCall(options, output).ArgumentString());
        return planned;
    }

    TCropJob job;
    job.Tool = run.Tool;
    job.Source = source;
    job.Output = output;
    job.Crop = proposal.Crop;
    job.Resolution = proposal.Resolution;
    job.Options = run.Options;
    const TCropResult result = RunCropJob(job);
    switch (result.Outcome) {
    case TCropOutcome::Written:
        return Report(TPhotoStatus::Written, "");
    case TCropOutcome::TransformFailed:
        return Report(TPhotoStatus::Failed,
                      result.Reason.empty()
                          ? "Error: Defective JPEGTran call:" + result.ArgumentString
                          : result.Reason);
    case TCropOutcome::Refused:
        break;
    }
    return Report(TPhotoStatus::Failed, result.Reason);
}
