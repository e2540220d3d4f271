#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "jobs/OutputNames.h"

struct TOrderPhoto;

/// One photo a walk found, or a path it could not take (Fault says why).
struct TWalkItem {
    std::string Source;
    std::string SubFolder; ///< below the folder named, kept below the output folder
    std::string Fault;     ///< empty for a photo
    /// A photo of a print order: cut with its area, under its name; null for a
    /// photo cut as a new frame would propose it.
    const TOrderPhoto* Ordered = nullptr;
};

/// The photos of the paths named, one at a time, so that a run over an
/// archive of millions holds only the folders on the way down: files named
/// as they are, folders by the JPEG masks, subfolders (with recursive) in
/// the order of their sorted paths, as a sorted list of the whole tree would
/// give them. Every name is a photo of its own, also when names share one
/// file (hard links); a file named twice by the same name is one photo. Hidden folders, links to
/// folders and the folder given as skip (the output folder, whose crops are no new photos) are not
/// entered; what cannot be read is told as an item with its reason.
class TPhotoWalk {
public:
    /// more, when given, lists further paths after the named ones, one a line
    /// or NUL-separated, read as the walk goes.
    TPhotoWalk(std::vector<std::string> paths, std::unique_ptr<std::istream> more,
               bool nullSeparated, bool recursive, const std::string& skip);
    ~TPhotoWalk();
    TPhotoWalk(const TPhotoWalk&) = delete;
    TPhotoWalk& operator=(const TPhotoWalk&) = delete;

    /// The next item; false at the end. onFolder, when set, is called after
    /// each folder read, also in long stretches without photos.
    bool Next(TWalkItem& item);
    void SetOnFolder(std::function<void()> onFolder) { onFolder_ = std::move(onFolder); }
    std::size_t FoldersRead() const { return foldersRead_; }
    /// True when the list of further paths could not be read to its end.
    bool ListFailed() const { return listFailed_; }

private:
    struct TFolder;
    bool NextNamed(std::string& path);
    void Enter(const std::string& path, const std::string& sub, TWalkItem* fault);

    std::vector<std::string> paths_;
    std::size_t nextPath_ = 0;
    std::unique_ptr<std::istream> more_;
    TKeySet named_; // files named directly, by the hash of the name: twice is once
    char separator_;
    bool recursive_;
    std::string skip_;
    std::vector<std::unique_ptr<TFolder>> stack_;
    std::vector<TWalkItem> pending_; // a folder that failed while it was read
    std::function<void()> onFolder_;
    std::size_t foldersRead_ = 0;
    bool listFailed_ = false;
};
