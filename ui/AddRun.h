#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include "core/Error.h"
#include "frames/ThumbnailSource.h"

class IUserPrompt;
class TCContainer;
class TFrameList;
class TLoadForm;
class TStorageTank;
struct TListFault;

/// Photos coming into the print order: files, folders and drops, each file
/// once, their thumbnails decoded off the window's thread by the thumbnail run
/// while the user works on, and what could not be read told once at the end.
/// Files that come while a run is on follow it.
class TAddRun : public QObject {
    Q_OBJECT
public:
    /// status shows a line in the window's status bar; pixelRatio is the screen's.
    TAddRun(TFrameList& list, TLoadForm& loadForm, TCContainer& container, TStorageTank& settings,
            IUserPrompt& prompt, std::function<void(const QString&)> status,
            std::function<double()> pixelRatio);

    void AddFiles(const std::vector<std::string>& files);
    void AddFolder(const std::string& folder, bool recursive);
    /// Files and folders named on the command line: a folder gives its photos in its place.
    void AddCommandLine(const std::vector<std::string>& paths);
    /// Files and folders dropped: folders go in at once, with their subfolders; the
    /// files follow as one run.
    void AddDropped(const std::vector<std::string>& paths);
    /// Whether a thumbnail run is on.
    bool Adding() const;
    /// The file's photo, its header read on the spot; false when it cannot be read.
    bool AddImage(const std::string& path);
    /// The same with a thumbnail decoded ahead (which the thumbnail source keeps).
    bool AddImage(const std::string& path, const TDecodedThumbnail& decoded);
    /// What could not be looked into is told, not passed over.
    void TellListFaults(const std::vector<TListFault>& faults);
    /// The thumbnail run has ended: what is left of the add follows.
    void RunEnded();

signals:
    /// The run's frames are all in and laid out.
    void FramesIn();
    /// The run has ended (cancelled or not) and no files wait to follow it.
    void Finished();

private:
    void Start(const std::vector<std::string>& files);
    void FrameArrived();
    void NoteUnreadable(const std::string& path, const std::optional<TFault>& fault);
    /// The files not in the list yet, each once; already is the file of the first
    /// one that is listed, or "".
    std::vector<std::string> NewFilesOnly(const std::vector<std::string>& files,
                                          std::string& already) const;
    /// Selects the photo of a file added again and says so in the status bar.
    void ShowAlreadyListed(const std::string& file, std::size_t count);

    TFrameList& list_;
    TLoadForm& loadForm_;
    TCContainer& container_;
    TStorageTank& settings_;
    IUserPrompt& prompt_;
    std::function<void(const QString&)> status_;
    std::function<double()> pixelRatio_;
    std::vector<std::string> waiting_;    // added while a thumbnail run was on
    QElapsedTimer lastLayout_;            // of the grid while frames arrive
    std::vector<std::string> unreadable_; // "name: reason", told once the run is over
    // a file of the run already in the list, and how many were, told at its end
    std::pair<std::string, std::size_t> alreadyListed_{"", 0};
};
