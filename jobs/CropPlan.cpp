#include "jobs/CropPlan.h"

#include <filesystem>
#include <map>
#include <set>
#include <utility>

#include <sys/stat.h>

#include "core/Error.h"
#include "core/FilesystemController.h"
#include "core/StringController.h"
#include "i18n/ErrorText.h"
#include "i18n/gnugettext.h"
#include "model/DestinationNaming.h"

namespace fs = std::filesystem;

namespace {
// a dangling link takes a name as much as a file does
bool Taken(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// shown names the output, or the photo itself when it is incomplete
TCropQuestion Question(TCropQuestion::TKind kind, std::size_t photo, const std::string& shown) {
    if (kind == TCropQuestion::Incomplete)
        return {kind, photo, TranslateOrKeep(N_("Incomplete photo")),
                FillPlaceholders(TranslateOrKeep(N_(
                                     "%1 is incomplete: its lower part is grey. Crop it anyway?")),
                                 {shown})};
    if (kind == TCropQuestion::Exists)
        return {kind, photo, TranslateOrKeep(N_("File exists")),
                FillPlaceholders(TranslateOrKeep(N_("Overwrite %1?")), {shown})};
    return {kind, photo, TranslateOrKeep(N_("READ ONLY")),
            FillPlaceholders(TranslateOrKeep(N_("File %1 is read only.\n\nOverwrite anyway?")),
                             {shown})};
}
} // namespace

std::string DestinationFolder(const std::string& typed) {
    std::string folder = typed;
    if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    return folder;
}

TCropSpec CropSpecOf(const TCropRect& area, int rotation, const std::string& kind,
                     int orientation) {
    TCropSpec crop;
    crop.X = area.x;
    crop.Y = area.y;
    crop.Width = area.width;
    crop.Height = area.height;
    crop.Rotation = rotation;
    crop.Kind = kind;
    crop.Orientation = orientation;
    return crop;
}

TCropSpec CropSpecOf(const TOrderPhoto& photo) {
    return CropSpecOf(photo.Choice.Crop, photo.Choice.Rotation, photo.Kind, photo.Orientation);
}

TCropPlanPhoto PlanPhotoOf(const TOrderPhoto& photo) {
    return {photo.File(),     photo.Choice.DestName, "",          CropSpecOf(photo),
            photo.Resolution, photo.Incomplete,      photo.Source};
}

TCropJob PlannedJob(const TCropPlanPhoto& photo, const TPlannedCrop& planned) {
    TCropJob job;
    job.Source = photo.Source;
    job.Output = planned.Output;
    job.Crop = photo.Crop;
    job.Resolution = photo.Resolution;
    job.Expected = photo.Expected;
    // a name only claimed while free, unless the user chose to replace it
    job.Replace = planned.Replace;
    return job;
}

TCropPlan PlanCrops(const std::vector<TCropPlanPhoto>& photos, const TCropPlanOptions& options,
                    const TCropAnswerer& answer, const std::function<bool()>& stop) {
    TCropPlan plan;
    plan.Photos.resize(photos.size());
    // no output may replace a photo this run still has to read
    TOutputNames ownNames;
    TOutputNames& written = options.Names ? *options.Names : ownNames; // this run's outputs
    std::map<TFileId, std::string> sources;
    for (const TCropPlanPhoto& photo : photos)
        if (TFileId id; FileIdOf(photo.Source, id)) {
            sources.emplace(id, photo.Source);
            written.AddSource(id);
        }
    const std::string folder = DestinationFolder(options.Folder);
    // "Yes to all" and "No to all", by question, for the rest of the run
    std::map<TCropQuestion::TKind, TAnswer> forAll;
    const auto freeName = [&](const std::string& path) { return written.FreeName(path, Taken); };

    // Settles a question; false when the photo goes no further.
    const auto settle = [&](TCropQuestion::TKind kind, std::size_t i, TPlannedCrop& planned) {
        TAnswer given;
        if (const auto it = forAll.find(kind); it != forAll.end()) {
            given = it->second;
        } else {
            TCropQuestion question =
                Question(kind, i,
                         LastComponent(kind == TCropQuestion::Incomplete ? photos[i].Source
                                                                         : planned.Output));
            question.Answer = answer(question);
            plan.Questions.push_back(question);
            given = question.Answer;
        }
        if (given == TAnswer::YesToAll || given == TAnswer::NoToAll) {
            given = given == TAnswer::YesToAll ? TAnswer::Yes : TAnswer::No;
            forAll[kind] = given;
        }
        // keeping both speaks of an output; of the photo itself it says crop
        if (given == TAnswer::KeepBoth && kind == TCropQuestion::Incomplete) given = TAnswer::Yes;
        if (given == TAnswer::KeepBoth) {
            // the file there stays; the photo goes to the first free name beside it
            const std::string free = freeName(planned.Output);
            if (!free.empty()) {
                planned.Output = free;
                planned.KeptBoth = true;
                return true;
            }
            given = TAnswer::No;
        }
        if (given == TAnswer::Yes) return true;
        if (given == TAnswer::Cancel) {
            plan.Cancelled = true;
            return false;
        }
        planned.What = TPlannedCrop::Skipped;
        planned.SkippedAt = kind;
        planned.Reason = kind == TCropQuestion::Exists ? TranslateOrKeep(N_("File exists"))
                         : kind == TCropQuestion::ReadOnly
                             ? TranslateOrKeep(N_("The output file is read only"))
                             : TranslateOrKeep(N_("incomplete: the lower part is grey"));
        return false;
    };

    for (std::size_t i = 0; i < photos.size() && !plan.Cancelled; ++i) {
        if (stop && stop()) {
            plan.Cancelled = true;
            break;
        }
        const TCropPlanPhoto& photo = photos[i];
        TPlannedCrop& planned = plan.Photos[i];
        planned.What = TPlannedCrop::Refused;
        try {
            const std::string into =
                photo.SubFolder.empty() ? folder : folder + "/" + photo.SubFolder;
            planned.Output = OutputPath(into, photo.DestinationName, options.PosixNames);
        } catch (const TError& e) {
            planned.Reason = ErrorText(e);
            continue;
        }
        // the photo itself, or one it cannot read, is refused as the job would
        if (const auto refusal = CropJobRefusal(PlannedJob(photo, planned))) {
            planned.Reason = ErrorText(*refusal);
            continue;
        }
        if (TFileId id; FileIdOf(planned.Output, id) && written.IsSource(id)) {
            // an earlier part of the run knows the photo by its id only
            const auto named = sources.find(id);
            planned.Reason =
                ErrorText({TErrorKind::AnotherPhoto,
                           named != sources.end() ? named->second : planned.Output, "", ""});
            continue;
        }
        planned.What = TPlannedCrop::NotReached;
        // the transformer fails such a photo where its data ends; the user may still try
        if (photo.Incomplete && !settle(TCropQuestion::Incomplete, i, planned)) continue;
        planned.What = TPlannedCrop::Refused;
        // two photos of this run never write one name (photos of two folders
        // may share one): the later gets the first name free on disk and in the run
        if (written.Has(planned.Output)) {
            planned.Output = freeName(planned.Output);
            if (planned.Output.empty()) {
                planned.Reason = FillPlaceholders(TranslateOrKeep(N_("File exists: %1")),
                                                  {photo.DestinationName});
                continue;
            }
        }
        planned.What = TPlannedCrop::NotReached;
        bool exists = Taken(planned.Output);
        if (exists && options.AskExisting && !settle(TCropQuestion::Exists, i, planned)) continue;
        if (planned.KeptBoth) exists = false;
        if (exists && IsReadOnly(planned.Output)) {
            if (!settle(TCropQuestion::ReadOnly, i, planned)) continue;
            if (planned.KeptBoth)
                exists = false;
            else
                planned.ClearReadOnly = true;
        }
        planned.Replace = exists || (options.ReplaceAlways && !planned.KeptBoth);
        planned.What = TPlannedCrop::Crop;
        written.Add(planned.Output);
    }
    return plan;
}
