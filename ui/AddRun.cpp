#include "ui/AddRun.h"

#include <filesystem>
#include <unordered_map>
#include <unordered_set>

#include <QFileInfo>

#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "core/UserPrompt.h"
#include "frames/IFrame.h"
#include "grid/BigPanel.h"
#include "grid/CropContainer.h"
#include "grid/ImageLoader.h"
#include "i18n/ErrorText.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "model/CropArea.h"
#include "model/DestinationNaming.h"
#include "model/ImageFiles.h"
#include "model/Options.h"
#include "ui/FrameList.h"
#include "ui/PhotoFault.h"

namespace fs = std::filesystem;

namespace {
// The first lines of what could not be read, under one heading.
std::string UnreadableList(const std::vector<std::string>& lines, std::size_t shown) {
    std::string text = Translate("These folders and files could not be read:");
    for (std::size_t i = 0; i < lines.size() && i < shown; ++i)
        text += "\n" + lines[i];
    if (lines.size() > shown) text += "\n...";
    return text;
}

/// One spelling per file: links and "." or ".." resolved where the file exists. A
/// folder is resolved once for all its files, so that a folder of thousands is quick.
class TSameFileKeys {
public:
    std::string operator()(const std::string& path) {
        const fs::path p = fs::path(path).lexically_normal();
        std::error_code ec;
        // a link to a file is that file; one more look at the file alone
        if (fs::is_symlink(p, ec)) return Resolved(p);
        const std::string parent = p.parent_path().string();
        auto it = folders_.find(parent);
        if (it == folders_.end()) it = folders_.emplace(parent, Resolved(p.parent_path())).first;
        return (fs::path(it->second) / p.filename()).string();
    }

private:
    static std::string Resolved(const fs::path& p) {
        std::error_code ec;
        const fs::path canonical = fs::weakly_canonical(p, ec);
        return ec ? p.string() : canonical.string();
    }
    std::unordered_map<std::string, std::string> folders_;
};
} // namespace

TAddRun::TAddRun(TFrameList& list, TLoadForm& loadForm, TCContainer& container,
                 TStorageTank& settings, IUserPrompt& prompt,
                 std::function<void(const QString&)> status, std::function<double()> pixelRatio)
    : list_(list), loadForm_(loadForm), container_(container), settings_(settings), prompt_(prompt),
      status_(std::move(status)), pixelRatio_(std::move(pixelRatio)) {}

void TAddRun::AddFolder(const std::string& folder, bool recursive) {
    std::vector<TListFault> faults;
    AddFiles(ListImageFiles(folder, recursive, &faults));
    TellListFaults(faults);
}

void TAddRun::AddCommandLine(const std::vector<std::string>& paths) {
    std::vector<std::string> files;
    std::vector<TListFault> faults;
    for (const std::string& path : paths) {
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            const std::vector<std::string> listed = ListImageFiles(path, false, &faults);
            files.insert(files.end(), listed.begin(), listed.end());
        } else {
            files.push_back(path);
        }
    }
    AddFiles(files);
    TellListFaults(faults);
}

void TAddRun::AddDropped(const std::vector<std::string>& paths) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        const QFileInfo info(QString::fromStdString(path));
        if (info.isFile())
            files.push_back(info.absoluteFilePath().toStdString());
        else if (info.isDir())
            AddFolder(info.absoluteFilePath().toStdString(), true);
    }
    AddFiles(files);
}

void TAddRun::TellListFaults(const std::vector<TListFault>& faults) {
    if (faults.empty()) return;
    std::vector<std::string> lines;
    for (const TListFault& fault : faults)
        lines.push_back(fault.Path + ": " + fault.Reason);
    prompt_.ShowError(UnreadableList(lines, 10));
}

void TAddRun::AddFiles(const std::vector<std::string>& files) {
    if (!files.empty()) Start(files);
}

void TAddRun::Start(const std::vector<std::string>& files) {
    if (Adding()) {
        // files that come while a run is on (a drop, the command line) follow it
        waiting_.insert(waiting_.end(), files.begin(), files.end());
        return;
    }
    std::string already;
    const std::vector<std::string> fresh = NewFilesOnly(files, already);
    if (fresh.empty()) {
        ShowAlreadyListed(already, files.size());
        return;
    }
    // told when the run has ended, so that its own status line does not hide it
    alreadyListed_ = {already, files.size() - fresh.size()};
    loadForm_.SetList(fresh);
    // decoded ahead at the screen's device pixels, as the editors decode their own
    loadForm_.SetThumbnailHeight(
        DeviceHeight(TIFrame::EditorHeightFor(list_.ImageSize(), Get(settings_, Options::Details)),
                     pixelRatio_()));
    loadForm_.SetHonourOrientation(Get(settings_, Options::HonourOrientation));
    lastLayout_.invalidate();
    loadForm_.Start();
}

bool TAddRun::Adding() const {
    return !loadForm_.Finished();
}

bool TAddRun::AddImage(const std::string& path) {
    const bool added = list_.Place(path, !Adding());
    if (!added && Adding()) NoteUnreadable(path, std::nullopt);
    if (added && Adding()) FrameArrived();
    return added;
}

bool TAddRun::AddImage(const std::string& path, const TDecodedThumbnail& decoded) {
    // a file the decoder refused is not listed
    if (!decoded.Thumbnail) {
        NoteUnreadable(path, decoded.Fault);
        return false;
    }
    // the user works on while photos arrive: the current one changes only when there is none
    list_.Add(path, decoded.Thumbnail->layout, decoded.Thumbnail->truncated,
              list_.CurrentIndex() < 0);
    FrameArrived();
    return true;
}

void TAddRun::FrameArrived() {
    // the grid follows the arriving frames without being laid out once per frame
    constexpr qint64 kLayoutEveryMs = 100;
    // a frame that made the grid overflow is laid out at once: the columns narrow by
    // the vertical bar at once, and no horizontal bar comes and goes meanwhile
    const bool overflowing = container_.Big()->HorzBarShown();
    if (!overflowing && lastLayout_.isValid() && lastLayout_.elapsed() < kLayoutEveryMs) return;
    lastLayout_.start();
    container_.LayoutNow();
}

void TAddRun::NoteUnreadable(const std::string& path, const std::optional<TFault>& fault) {
    // what is wrong with the photo, judged from the file where it shows it; the decoder's after it
    std::string said = PhotoFault(path, fault ? *fault : TFault{});
    if (said.empty())
        said = fault ? ErrorText(*fault) : ErrorText({TErrorKind::NotAFile, path, "", ""});
    unreadable_.push_back(fs::path(path).filename().string() + ": " + said);
}

void TAddRun::RunEnded() {
    if (list_.CurrentIndex() < 0 && !list_.Empty()) list_.SetCurrentIndex(0);
    container_.LayoutNow(); // the last frames are shown at once
    emit FramesIn();
    list_.Checkpoint(); // the files added are one step
    if (const auto [file, count] = std::exchange(alreadyListed_, {}); !file.empty())
        ShowAlreadyListed(file, count);
    // files that came meanwhile were accepted then: a crop run begun since does not turn
    // them away; when they make a run of their own, its end tells the rest
    if (!waiting_.empty()) {
        Start(std::exchange(waiting_, {}));
        if (Adding()) return;
    }
    // what could not be read is told once, after the whole add
    if (!unreadable_.empty()) prompt_.ShowError(UnreadableList(std::exchange(unreadable_, {}), 20));
    emit Finished();
}

std::vector<std::string> TAddRun::NewFilesOnly(const std::vector<std::string>& files,
                                               std::string& already) const {
    // a file listed twice would be cut twice into the same name, the uncropped copy
    // possibly last
    TSameFileKeys SameFileKey;
    std::unordered_map<std::string, std::string> listed;
    for (const TOrderPhoto& photo : list_.Order().Photos())
        listed.emplace(SameFileKey(photo.File()), photo.File());
    std::unordered_set<std::string> taken;
    std::vector<std::string> fresh;
    already.clear();
    for (const std::string& file : files) {
        const std::string key = SameFileKey(file);
        const auto it = listed.find(key);
        if (it != listed.end()) {
            if (already.empty()) already = it->second;
        } else if (taken.insert(key).second) {
            fresh.push_back(file);
        }
    }
    return fresh;
}

void TAddRun::ShowAlreadyListed(const std::string& file, std::size_t count) {
    const int index = list_.Order().IndexOf(file);
    if (index < 0) return;
    list_.SetCurrentIndex(index);
    const QString name = QString::fromStdString(LastComponent(file));
    status_(count > 1 ? trn_("%1 file is already in the list and was not added again.",
                             "%1 files are already in the list and were not added again.", count)
                            .arg(count)
                      : tr_("\"%1\" is already in the list; its frame is selected.").arg(name));
}
