#pragma once

#include <functional>
#include <future>
#include <string>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

#include "jobs/OrderFile.h"

class IUserPrompt;
class QMenu;
class QWidget;
class TFrameList;
class TStorageTank;

/// Keeps the window's print order beyond the window: saves it to an order file
/// and opens one again, keeps the recent ones, saves it on its own a moment
/// after each change into the state folder, offers that copy after an unclean
/// end, and asks before a clean end would lose changes. The writing of the
/// copy leaves the window's thread: the window only takes a snapshot.
class TOrderKeeper : public QObject {
    Q_OBJECT
public:
    /// What the keeper needs of the window.
    struct THost {
        QWidget* Window = nullptr;
        TFrameList* List = nullptr;
        TStorageTank* Settings = nullptr;
        IUserPrompt* Prompt = nullptr;
        std::function<std::string()> Destination;
        std::function<void(const std::string&)> SetDestination;
        std::function<void(const QString&)> Status;
        /// Asks for the file to save to or open; "" when the user gave up.
        std::function<std::string(bool save, const std::string& start)> ChooseFile;
        /// Shows a folder with the desktop's file manager.
        std::function<void(const std::string&)> ShowFolder;
    };

    /// stateFolder: where the autosave lives ("" for none); made when needed.
    TOrderKeeper(THost host, std::string stateFolder);
    /// A write in flight ends first; the autosave stays, as after any unclean end.
    ~TOrderKeeper() override;

    /// The order file in use ("" before the first save or open).
    const std::string& File() const { return file_; }
    /// The order differs from the one last saved or opened (or was never saved).
    bool Modified() const;
    /// How files are chosen and folders shown (the desktop's dialogs by default).
    void SetDesktop(std::function<std::string(bool save, const std::string& start)> chooseFile,
                    std::function<void(const std::string&)> showFolder) {
        host_.ChooseFile = std::move(chooseFile);
        host_.ShowFolder = std::move(showFolder);
    }
    std::string AutosavePath() const;
    /// Whether this window keeps an autosave (another one of the same state folder
    /// may hold it).
    bool Autosaving() const { return locked_; }
    /// The autosave is due a moment after a change of the order.
    void Changed();
    /// Writes the autosave at once (the window's snapshot, written elsewhere) and
    /// waits for it.
    void AutosaveNow();

    /// Save Order: to the file in use, else as Save Order As asks. False when
    /// nothing was saved.
    bool Save();
    bool SaveAs();
    /// Open Order: asks for a file.
    void Open();
    /// Replaces the list with the order of the file. Photos left out are told
    /// once, each with its reason; an aspect no longer in the list is added.
    bool OpenFile(const std::string& path);
    /// Writes the lab's view of the order (prints per size, photos below lowPpi)
    /// to path: CSV when its name ends in ".csv", else text. False when it could not.
    bool ExportSummary(const std::string& path, int lowPpi);
    /// The orders opened or saved last, newest first.
    std::vector<std::string> Recent() const;
    /// Fills the menu with the recent orders.
    void FillRecentMenu(QMenu& menu);

    /// After an unclean end: offers to bring the autosave back. Until it was
    /// called, nothing is autosaved.
    void OfferRestore();
    /// Before a clean end: Save / Discard / Cancel when photos are left with
    /// changes not saved. False when the window is to stay open.
    bool MayClose();
    /// A clean end: the autosave goes.
    void EndCleanly();

signals:
    /// The order file in use or its modified state changed.
    void StateChanged();

private:
    TOrderSettings SettingsOfWindow() const;
    void Autosave();
    void WaitForWrite();
    void Remember(const std::string& path);
    bool Load(const TOpenedOrder& order);
    void SetFile(const std::string& path, bool modified);

    THost host_;
    std::string stateFolder_;
    std::string file_;
    bool unsaved_ = false;           ///< not in any file the user chose
    std::vector<TFrameState> saved_; ///< the choices as last saved or opened
    bool locked_ = false;
    bool offered_ = false; ///< the autosave of an unclean end was offered (or there was none)
    int lockFd_ = -1;
    QTimer autosave_;
    std::future<void> writing_;
};
