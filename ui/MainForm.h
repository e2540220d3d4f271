#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include "frames/CFrame.h"
#include "frames/FrameCommands.h"
#include "frames/IFrame.h"
#include "frames/ThumbnailSource.h"
#include "model/SettingsFile.h"

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class QUndoStack;
class IUserPrompt;
class TAboutBoxJ;
class TAspectForm;
class TCContainer;
class TIFrame;
class TKeyboardForm;
struct TListFault;
class TLoadForm;
class TMainFormCropRun;
class TMessageBoxPrompt;
class TPreviewWindow;
class TSForm;
class TStorageTank;
class TThumbnailPool;

/// A frame's state and its place in the list, for a frame that leaves or comes back.
struct TPlacedFrame {
    int Index = 0;
    TFrameState State;
};

/// The main window: the grid of image frames, the menus and the bottom bar
/// with the add and crop buttons and the destination folder. It owns the
/// settings store, the image list and the dialogs, and hears the frames'
/// selection and navigation through their signals and their commands through
/// IFrameCommands. Split by concern: MainForm.cpp (start and exit), MainFormMenus.cpp
/// (menus and view commands), MainFormImages.cpp (adding, navigating,
/// removing), MainFormEditing.cpp (frames chosen together, undo and redo) and
/// MainFormCrop.cpp (the crop run and the preview).
class TMainForm : public QMainWindow, public IFrameCommands {
    Q_OBJECT
public:
    /// Reads the settings (settingsFile decides where), chooses the language and
    /// builds the window and its dialogs. files are added 100 ms after showing.
    /// prompt: where messages and questions go (the window's own message boxes
    /// when none is given).
    explicit TMainForm(TSettingsFile settingsFile, std::vector<std::string> files = {},
                       IUserPrompt* prompt = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    IUserPrompt& Prompt() const { return *prompt_; }

    // --- the image list ---
    void AddFiles(const std::vector<std::string>& files);
    void AddFolder(const std::string& folder, bool recursive);
    /// Whether a thumbnail run is on; addRunFinished tells when it and the files that
    /// followed it are all in.
    bool Adding() const;
    TIFrame* AddImage(const std::string& path);
    /// AddImage with a thumbnail decoded ahead for an editor of the given height.
    TIFrame* AddImage(const std::string& path, TDecodedThumbnail decoded, int32_t height);
    /// Files and folders dropped on the window, in drop order.
    void AddDropped(const std::vector<std::string>& paths);
    void SetCurrentFrame(TIFrame* frame);
    TIFrame* CurrentFrame() const { return current_; }
    const std::vector<TIFrame*>& Images() const { return images_; }
    int ImageSize() const { return imageSize_; }

    // --- frames chosen together ---
    /// The current frame and the frames chosen with it, in list order.
    std::vector<TIFrame*> ChosenFrames() const;
    /// A press with Ctrl (the frame joins or leaves) or Shift (the frames from the
    /// current one to this one).
    void ChooseFrame(TIFrame* frame, Qt::KeyboardModifiers keys);
    void SelectAllExecute();
    /// Empties the list after asking; one step to undo.
    void ClearListExecute();

    // --- undo and redo ---
    QUndoStack* UndoStack() const { return undo_; }
    /// Makes what changed since the last step one step to undo: frames added,
    /// removed and edited.
    void Checkpoint();
    /// For the steps: frames put back into the given states, frames taken away
    /// and brought back to their places; none of it becomes a step itself.
    void RestoreStates(const std::vector<TFrameState>& states);
    void TakeAway(const std::vector<TPlacedFrame>& frames);
    void BringBack(const std::vector<TPlacedFrame>& frames, bool added);
    /// Counts a step that may bring these frames back (+1) or one that went (-1).
    void Hold(const std::vector<TPlacedFrame>& frames, int delta);

    // --- commands ---
    void RotateLeftExecute();
    void RotateRightExecute();
    void RemoveExecute();
    void CropCurrentActionExecute();
    void CropImagesActionExecute();
    void PreviewActionExecute();
    void PreferencesExecute();
    /// The crop run over frames, last to first: the questions are asked at
    /// once, the jobs end later; cropRunFinished tells when the run is over.
    /// summarise: one account at the end instead of a message per failure.
    void CropFrames(std::vector<TIFrame*> frames, bool removeCropped, bool summarise = false);
    /// Full path of the preview file, inside a folder of this window's own
    /// (made at the first preview); empty before that.
    std::string PreviewFile() const;
    /// How a finished preview is shown (the desktop's viewer by default).
    void SetOpener(std::function<void(const std::string&)> opener) { opener_ = std::move(opener); }

    // --- state ---
    void SetProcessing(bool on);
    bool Processing() const { return processing_; }
    void SetBusy(bool on);
    QString StatusText() const;
    void SetStatusText(const QString& text);
    TStorageTank& Settings() const { return *settings_; }
    TCContainer* Container() const { return container_; }
    QLineEdit* DirEdit() const { return dirEdit_; }
    TLoadForm* LoadForm() const { return loadForm_; }
    TSForm* SForm() const { return sForm_; }
    QAction* Action(const char* name) const;

    // IFrameCommands: a frame's buttons, double click and popup menu
    void Preview(TIFrame& frame) override;
    void CropCurrent(TIFrame& frame) override;
    void RotateLeft(TIFrame& frame) override;
    void RotateRight(TIFrame& frame) override;
    void Remove(TIFrame& frame) override;
    bool IsEnabled(TFrameCommand command) const override;

signals:
    /// The crop run has ended: its frames are gone or stay, the status says how it went.
    void cropRunFinished();
    /// The thumbnail run has ended (cancelled or not) and no files wait to follow it.
    void addRunFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    /// Brings the window's frame onto the screen once the window manager has told it,
    /// looking again a few times while it has not.
    void FitFrameWhenKnown(int tries);
    /// The thumbnails asked for are all made: the status bar says the photos are added.
    void ThumbnailsIdle();
    bool FormCloseQuery();
    void FormClose();
    void CommandLineTimerTimer();
    void CreateActions();
    void CreateMenus();
    void CreateBottomBar();
    void ApplyViewSize(int height);
    void ViewSizeExecute(QAction* action);
    void ColumnsExecute(int limit);
    void DetailsExecute(const std::string& level);
    void AddImagesExecute();
    void AddFolderExecute(bool recursive);
    void BrowseBtnClick();
    void TurnCurrent(int degrees);
    void CreateUndo();
    void UpdateUndoCommands();
    /// The frames just as they are now are the base of the next step.
    void Rebase();
    TIFrame* FrameOf(const std::string& file) const;
    void ChooseOnly();
    /// Keeps the frames chosen when the given one, one of them, becomes current.
    void KeepChoiceFor(TIFrame* frame);
    void AspectChosenIn(TIFrame* frame, bool flip);
    void KeyEditIn(TIFrame* frame);
    /// The files not in the list yet, each once; already is the frame of the first
    /// file that is listed, or null.
    std::vector<std::string> NewFilesOnly(const std::vector<std::string>& files,
                                          TIFrame*& already) const;
    /// Selects the frame of a file added again and says so in the status bar.
    void ShowAlreadyListed(TIFrame* frame, std::size_t count);
    TIFrame* PlaceImage(const std::string& path, const std::function<bool(TIFrame&)>& load);
    TIFrame* PlaceImage(const std::string& path, const std::function<bool(TIFrame&)>& load,
                        bool makeCurrent = true);
    void FrameArrived();
    void StartAddRun(const std::vector<std::string>& files);
    void AddRunEnded();
    void TellListFaults(const std::vector<TListFault>& faults);
    void NoteUnreadable(const std::string& path, const std::optional<TFault>& fault);
    void RemoveFrame(TIFrame* frame);
    void ReleaseFrame(TIFrame* frame);
    /// A frame out of the list stays, without its thumbnail, while an undo may bring
    /// it back; the others go once nothing holds them.
    void KeepFrame(TIFrame* frame);
    void PruneKeptFrames();
    bool FrameInRemoved(const std::string& file) const;
    /// A kept frame back at the end of the list, sized and set as the list is now;
    /// null when none is kept for the file.
    TIFrame* ReturnKept(const std::string& file);
    /// Makes the frame the user works in current, if it is one of the list.
    void SelectedFrom(TIFrame* frame);
    /// Moves the current frame as a navigation key in a frame asks.
    void NavigateFrom(TCFrame::TNavigation where);
    void UpdateImageCommands();
    int IndexOf(const TIFrame* frame) const;
    bool MayChangeList() const;
    std::string StartFolder() const;
    void RemovePreview();
    /// The desktop's image viewer shows the preview, or else a window of the program's own.
    void OpenPreview(const std::string& path);
    void CropJobsEnded();
    void EndCropRun();
    void StopCropRun();
    void CancelCropRun();
    void ShowCropProgress();
    void TellCropFailure(const std::string& file, const std::string& text);

    std::unique_ptr<TStorageTank> settings_;
    // decode thumbnails off the window's thread, for the add run and for frames
    // made again; both outlive every frame (the destructor releases them first)
    static constexpr int kReloadNiceness = 10;
    std::unique_ptr<TThumbnailPool> thumbnails_;
    std::unique_ptr<TThumbnailPool> reloads_;
    TSettingsFile settingsFile_;
    std::unique_ptr<TMessageBoxPrompt> boxPrompt_;
    IUserPrompt* prompt_;
    std::string previewFolder_;  // the temporary folder
    std::string previewScratch_; // the private folder in it that holds the preview
    std::function<void(const std::string&)> opener_;
    std::vector<std::string> commandLine_;
    std::vector<TIFrame*> images_;
    TIFrame* current_ = nullptr;
    std::unique_ptr<TIFrame> released_;
    int imageSize_ = 350;
    bool processing_ = false;
    bool busy_ = false;
    bool closing_ = false;
    bool shown_ = false;
    std::unique_ptr<TMainFormCropRun> cropRun_; // while a crop run's jobs are out

    TCContainer* container_ = nullptr;
    QPushButton* addBtn_ = nullptr;
    QPushButton* exeBtn_ = nullptr;
    QLabel* toDirLabel_ = nullptr;
    QLineEdit* dirEdit_ = nullptr;
    QToolButton* browseBtn_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* emptyHint_ = nullptr;   ///< over the grid while the list is empty
    bool makingThumbnails_ = false; ///< the status bar says so until the pools are idle
    QMenu* debugMenu_ = nullptr;
    QActionGroup* sizeGroup_ = nullptr;
    QActionGroup* columnGroup_ = nullptr;
    QActionGroup* detailGroup_ = nullptr;
    QTimer commandLineTimer_;

    TSForm* sForm_ = nullptr;
    TLoadForm* loadForm_ = nullptr;
    std::vector<std::string> waitingFiles_; // added while a thumbnail run was on
    QElapsedTimer lastLayout_;              // of the grid while frames arrive
    std::vector<std::string> unreadable_;   // "name: reason", told once the run is over
    TAboutBoxJ* aboutBox_ = nullptr;
    TKeyboardForm* keyboardForm_ = nullptr;
    TAspectForm* aspectForm_ = nullptr;

    QUndoStack* undo_ = nullptr;
    QTimer keyRun_;                                        // ends a run of key presses
    std::map<std::string, TFrameState> baseline_;          // each frame at the last step, by file
    std::vector<TPlacedFrame> removed_;                    // frames gone since, in that order
    std::map<std::string, std::unique_ptr<TIFrame>> kept_; // frames out of the list, by file
    std::map<std::string, int> held_;         // steps that may bring a file's frame back
    bool restoring_ = false;                  // an undo or redo is at work
    bool spreading_ = false;                  // an aspect goes to all chosen frames
    TPreviewWindow* previewWindow_ = nullptr; // made when no viewer takes a preview
    int previewPpi_ = 0; ///< the print resolution of the crop last previewed; 0: the file's
    // a file of the add run already in the list, and how many were, told at its end
    std::pair<TIFrame*, std::size_t> alreadyListed_{nullptr, 0};
};
