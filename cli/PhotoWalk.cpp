#include "cli/PhotoWalk.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

#include "core/FilesystemController.h"
#include "core/TextEncoding.h"
#include "i18n/gnugettext.h"

namespace {
const char* const kMasks[] = {"*.jpg", "*.jpeg", "*.jpe"};

bool IsJpegName(const std::string& name) {
    return std::any_of(std::begin(kMasks), std::end(kMasks),
                       [&](const char* mask) { return MatchesMask(name, mask); });
}

/// A path that jpegtran would take for an option gets "./" before it.
std::string SafePath(const std::string& path) {
    return !path.empty() && path[0] == '-' ? "./" + path : path;
}
} // namespace

struct TPhotoWalk::TFolder {
    struct TEntry {
        std::string Key; // its name in lower case, a folder's with "/": the sorted tree's order
        std::string Name;
        bool Folder;
        std::string Fault; // why it could not be looked at, in its place in the order
    };
    std::string Path; // ending in "/"
    std::string Sub;  // below the folder named, "" at its top
    std::vector<TEntry> Entries;
    std::size_t Next = 0;
};

TPhotoWalk::TPhotoWalk(std::vector<std::string> paths, std::unique_ptr<std::istream> more,
                       bool nullSeparated, bool recursive, const std::string& skip)
    : paths_(std::move(paths)), more_(std::move(more)), separator_(nullSeparated ? '\0' : '\n'),
      recursive_(recursive), skip_(skip) {}

TPhotoWalk::~TPhotoWalk() = default;

bool TPhotoWalk::NextNamed(std::string& path) {
    if (nextPath_ < paths_.size()) {
        path = std::move(paths_[nextPath_++]);
        if (nextPath_ == paths_.size()) std::vector<std::string>().swap(paths_);
        return true;
    }
    while (more_) {
        if (!std::getline(*more_, path, separator_)) {
            listFailed_ = more_->bad();
            more_.reset();
            return false;
        }
        if (!path.empty()) return true; // empty entries are left out
    }
    return false;
}

void TPhotoWalk::Enter(const std::string& path, const std::string& sub, TWalkItem* fault) {
    auto folder = std::make_unique<TFolder>();
    folder->Path = path.back() == '/' ? path : path + "/";
    folder->Sub = sub;
    const auto fail = [&](const std::string& name, int error) {
        folder->Entries.push_back({LowerCase(name), name, false, SystemErrorText(error)});
    };
    DIR* dir = opendir(folder->Path.c_str());
    ++foldersRead_;
    if (!dir) {
        if (fault) *fault = {path, "", SystemErrorText(errno)};
        return;
    }
    TFileId skipId;
    const bool skipping = recursive_ && FileIdOf(skip_, skipId);
    for (;;) {
        errno = 0;
        const dirent* e = readdir(dir);
        if (!e) {
            // the folder itself failed on the way: told after what it gave
            if (errno) pending_.push_back({path, "", SystemErrorText(errno)});
            break;
        }
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string full = folder->Path + name;
        unsigned char type = e->d_type;
        const bool photo = IsJpegName(name);
        const bool enter = recursive_ && name[0] != '.';
        if (!photo && !enter) continue;
        struct stat st;
        // a link to a photo is a photo; a link to a folder is not entered, so no loops
        if (photo && (type == DT_LNK || type == DT_UNKNOWN)) {
            if (stat(full.c_str(), &st) != 0) {
                fail(name, errno);
                continue;
            }
            if (S_ISREG(st.st_mode)) type = DT_REG;
        }
        if (enter && type == DT_UNKNOWN) {
            if (lstat(full.c_str(), &st) != 0) {
                fail(name, errno);
                continue;
            }
            if (S_ISDIR(st.st_mode)) type = DT_DIR;
        }
        if (photo && type == DT_REG) {
            folder->Entries.push_back({LowerCase(name), name, false, ""});
        } else if (enter && type == DT_DIR) {
            TFileId id;
            if (skipping && FileIdOf(full, id) && id == skipId) continue;
            folder->Entries.push_back({LowerCase(name) + "/", name, true, ""});
        }
    }
    closedir(dir);
    std::sort(folder->Entries.begin(), folder->Entries.end(),
              [](const TFolder::TEntry& a, const TFolder::TEntry& b) {
                  return a.Key != b.Key ? a.Key < b.Key : a.Name < b.Name;
              });
    for (auto& entry : folder->Entries)
        std::string().swap(entry.Key); // sorted: the keys are no longer needed
    stack_.push_back(std::move(folder));
    if (onFolder_) onFolder_();
}

bool TPhotoWalk::Next(TWalkItem& item) {
    for (;;) {
        if (!pending_.empty()) {
            item = std::move(pending_.front());
            pending_.erase(pending_.begin());
            return true;
        }
        if (!stack_.empty()) {
            TFolder& top = *stack_.back();
            if (top.Next == top.Entries.size()) {
                stack_.pop_back();
                continue;
            }
            const TFolder::TEntry& entry = top.Entries[top.Next++];
            const std::string path = top.Path + entry.Name;
            if (!entry.Folder) {
                item = {path, top.Sub, entry.Fault};
                return true;
            }
            TWalkItem fault;
            Enter(path, top.Sub.empty() ? entry.Name : top.Sub + "/" + entry.Name, &fault);
            if (!fault.Source.empty()) {
                item = std::move(fault);
                return true;
            }
            continue;
        }
        std::string named;
        if (!NextNamed(named)) return false;
        struct stat st;
        const bool found = stat(named.c_str(), &st) == 0;
        if (found && S_ISDIR(st.st_mode)) {
            TWalkItem fault;
            Enter(named, "", &fault);
            if (!fault.Source.empty()) {
                item = std::move(fault);
                return true;
            }
            continue;
        }
        if (!named_.Insert(HashText(named))) continue;
        item = {SafePath(named), "", ""};
        if (!found)
            item.Fault = Translate("No such file or folder");
        else if (!S_ISREG(st.st_mode))
            item.Fault = Translate("Not a photo or a folder");
        return true;
    }
}
