#include "cli/OrderRun.h"

#include <filesystem>
#include <set>
#include <utility>

#include "cli/PhotoJob.h"
#include "core/StringController.h"
#include "i18n/ErrorText.h"
#include "i18n/gnugettext.h"
#include "jobs/CropJob.h"
#include "jobs/OrderSummary.h"

namespace fs = std::filesystem;

namespace {
std::string Normal(const fs::path& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return (error ? path : absolute).lexically_normal().string();
}
} // namespace

TOrderWalk::TOrderWalk(TOpenedOrder order, const std::string& orderPath,
                       const std::vector<std::string>& chosen)
    : order_(std::move(order)) {
    const fs::path folder = fs::path(Normal(orderPath)).parent_path();
    // a path chosen is looked for from the working folder and from the order's,
    // so that a list made from the order's own "source" members works anywhere
    std::set<std::string> wanted, found;
    for (const std::string& path : chosen) {
        wanted.insert(Normal(path));
        if (fs::path(path).is_relative())
            wanted.insert((folder / path).lexically_normal().string());
    }
    const auto take = [&](const std::string& file) {
        if (chosen.empty()) return true;
        if (!wanted.count(file)) return false;
        found.insert(file);
        return true;
    };
    for (const TOrderDropped& dropped : order_.Dropped)
        if (take(dropped.File)) faults_.push_back({dropped.File, "", dropped.Reason});
    for (const TOrderPhoto& photo : order_.Photos)
        if (take(photo.File())) photos_.push_back(&photo);
    for (const std::string& path : chosen) {
        const std::string fromHere = Normal(path);
        const std::string fromOrder = (folder / path).lexically_normal().string();
        if (!found.count(fromHere) && !found.count(fromOrder))
            faults_.push_back({path, "", TranslateOrKeep(N_("not a photo of the print order"))});
    }
}

bool TOrderWalk::Next(TWalkItem& item) {
    if (nextFault_ < faults_.size()) {
        item = faults_[nextFault_++];
        return true;
    }
    if (nextPhoto_ < photos_.size()) {
        const TOrderPhoto& photo = *photos_[nextPhoto_++];
        // the prints of a size together, for a lab that takes them so
        item = {photo.File(),
                order_.Settings.SizeFolders ? AspectFolderName(photo.Choice.Aspect) : "", ""};
        item.Ordered = &photo;
        return true;
    }
    return false;
}

TPhotoReport CropOrderedPhoto(const TCropJob& planned, const TPhotoRunSettings& run) {
    // the photo is opened once, for the job and its calls
    const TSourceRead read = ReadSource(planned.Source);
    if (read.Unreadable) return {TPhotoStatus::Failed, ErrorText(*read.Unreadable), {}};
    return CutPlannedPhoto(planned, read, run);
}
