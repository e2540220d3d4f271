#include "cli/PhotoJob.h"

#include <filesystem>

#include "core/Error.h"
#include "faces/FaceFinder.h"
#include "i18n/ErrorText.h"
#include "jobs/CropPlan.h"
#include "jpeg/JpegThumbnail.h"
#include "model/CropArea.h"
#include "model/CropAspect.h"

namespace {
// far beyond what any coding reaches: Huffman-coded blocks hold 512 pixels a
// byte at most, arithmetic-coded flat ones some tens of thousands
constexpr uint64_t kMostPixelsPerByte = 65536;

TPhotoReport Report(TPhotoStatus status, const std::string& reason) {
    return {status, reason, {}};
}
} // namespace

TPhotoReport CropPhoto(const TCropJob& planned, const TPhotoRunSettings& run) {
    const std::string& source = planned.Source;
    std::error_code ec;
    const uintmax_t bytes =
        std::filesystem::is_regular_file(source, ec) ? std::filesystem::file_size(source, ec) : 0;
    if (!ec && bytes == 0)
        return Report(TPhotoStatus::Failed, ErrorText({TErrorKind::Empty, source, "", ""}));
    TCropJob job = planned;
    int faceCount = -1;
    // the photo is opened once: its header proposes the area and serves the job
    const TSourceRead read = ReadSource(source);
    if (read.Unreadable) return Report(TPhotoStatus::Failed, ErrorText(*read.Unreadable));
    if (!read.Layout)
        return Report(TPhotoStatus::Failed, ErrorText(read.HeaderFault.value_or(
                                                TFault{TErrorKind::Damaged, source, "", ""})));
    try {
        const TCropAspect& aspect = *run.Aspect;
        // a turn to landscape after the crop wants portrait areas of whole blocks
        TCropProposal proposal = ProposeCrop(
            *read.Layout, aspect.Unit(), aspect.Horizontal(), aspect.Vertical(), run.AutoFlip,
            run.HonourOrientation, run.Options.AutoRotateToLandscapeAfterCrop);
        // jpegtran holds the whole picture's coefficients; a header claiming a
        // giant is refused before it can take the machine's memory
        const uint64_t pixels = uint64_t(proposal.imageWidth) * uint64_t(proposal.imageHeight);
        if (pixels > TJpegLimits{}.maxPixels) throw TError(TErrorKind::TooLarge, source);
        // even a flat picture costs its blocks a bit or so each (Huffman coding
        // at least two bits a block); a few hundred bytes claiming a giant are a
        // trap that would cost jpegtran gigabytes
        if (!ec && pixels / kMostPixelsPerByte > bytes)
            throw TError(TErrorKind::Implausible, source);
        // faces matter only where the area leaves part of the picture out
        const bool partial = proposal.crop.width < proposal.imageWidth ||
                             proposal.crop.height < proposal.imageHeight;
        if (run.KeepFaces && partial) {
            const TFoundFaces faces = FindFaces(source);
            faceCount = int(faces.Faces.size());
            if (!faces.Faces.empty())
                proposal = ProposeCrop(*read.Layout, aspect.Unit(), aspect.Horizontal(),
                                       aspect.Vertical(), run.AutoFlip, run.HonourOrientation,
                                       run.Options.AutoRotateToLandscapeAfterCrop, faces.Faces);
        }
        // a new frame is not turned
        job.Crop = CropSpecOf(proposal.crop, 0, proposal.kind, proposal.orientation);
        job.Resolution = aspect.GetPPI(proposal.crop.width, proposal.flipped);
        // a photo replaced between its plan and its cut is not cut with this area
        job.Expected = proposal.layout;
    } catch (const TError& e) {
        return Report(TPhotoStatus::Failed, ErrorText(e));
    }
    TPhotoReport report = CutPlannedPhoto(std::move(job), read, run);
    report.Faces = faceCount;
    return report;
}

TPhotoReport CutPlannedPhoto(TCropJob job, const TSourceRead& read, const TPhotoRunSettings& run) {
    const std::string output = job.Output;
    job.Tool = run.Tool;
    job.Options = run.Options;
    job.Stop = run.Stop;
    TPhotoReport done = Report(TPhotoStatus::Written, "");
    // a portrait cut is turned to landscape afterwards when the options ask for it
    const bool turned =
        run.Options.AutoRotateToLandscapeAfterCrop && job.Crop.Height > job.Crop.Width;
    done.Width = turned ? job.Crop.Height : job.Crop.Width;
    done.Height = turned ? job.Crop.Width : job.Crop.Height;
    done.Ppi = run.Options.UpdatePPI ? job.Resolution : -1;
    if (read.Layout && job.Crop.Kind != "nocrop") {
        const TJpegView view =
            ViewOf(*read.Layout, OrientationTurn(job.Crop.Orientation).Then(job.Crop.Rotation));
        done.Crop = FromView(view, {job.Crop.X, job.Crop.Y, job.Crop.Width, job.Crop.Height});
    }
    if (run.DryRun) {
        done.Status = TPhotoStatus::Planned;
        // exactly the calls the job makes, to be pasted into a shell
        for (const TTransformCall& call : CropJobCalls(job, read, output))
            done.Calls.push_back(call.ShellCommand(run.Tool));
        return done;
    }
    const TCropResult result = RunCropJobWith(job, read);
    const std::string reason = result.Reason();
    switch (result.Outcome) {
    case TCropOutcome::Written:
        return done;
    case TCropOutcome::Exists: // another run took the name first
        return Report(TPhotoStatus::Skipped, reason);
    case TCropOutcome::TransformFailed:
        return Report(TPhotoStatus::Failed,
                      reason.empty() ? "Error: Defective JPEGTran call:" + result.ArgumentString
                                     : reason);
    case TCropOutcome::Refused:
        break;
    }
    return Report(TPhotoStatus::Failed, reason);
}
