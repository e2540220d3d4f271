#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QTimer>

#include "frames/FrameCommands.h"
#include "model/SettingsFile.h"

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class IUserPrompt;
class TAboutBoxJ;
class TAddRun;
class TAspectForm;
class TBottomBar;
class TCContainer;
class TFrameList;
class TIFrame;
class TKeyboardForm;
class TLoadForm;
class TCropPreview;
class TCropRun;
class TMessageBoxPrompt;
class TOrderKeeper;
class TSForm;
class TStorageTank;
class TThumbnailCache;
class TThumbnailPool;

/// The main window: the grid of image frames, the menus and the bottom bar
/// with the add and crop buttons and the destination folder. It owns the
/// settings store, the print order's frames (TFrameList) and the dialogs, and
/// answers the frames' commands through IFrameCommands. Split by concern:
/// MainForm.cpp (start and exit), MainFormMenus.cpp (menus and view commands),
/// MainFormImages.cpp (adding photos and the commands on them) and
/// MainFormCrop.cpp (starting crop runs and the preview).
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
    /// Files and folders dropped on the window, in drop order.
    void AddDropped(const std::vector<std::string>& paths);
    void SetCurrentFrame(TIFrame* frame);
    TIFrame* CurrentFrame() const;
    /// The frame of each photo of the list; null for a photo away from the view.
    const std::vector<TIFrame*>& Images() const;
    int ImageSize() const;
    /// The frames of the current photo and those chosen with it, in list order.
    std::vector<TIFrame*> ChosenFrames() const;
    /// The photos in list order, with what the user chose for each, and its frames.
    TFrameList& List() const { return *list_; }
    /// The print order's file, its autosave and the recent orders.
    TOrderKeeper& Keeper() const { return *keeper_; }
    void SelectAllExecute();
    /// Empties the list after asking; one step to undo.
    void ClearListExecute();

    // --- commands ---
    void RotateLeftExecute();
    void RotateRightExecute();
    void RemoveExecute();
    void CropCurrentActionExecute();
    void CropImagesActionExecute();
    void PreviewActionExecute();
    void PreferencesExecute();
    /// The crop run over photos of the list: the questions are asked at
    /// once, the jobs end later; cropRunFinished tells when the run is over.
    /// summarise: one account at the end instead of a message per failure.
    void CropPhotos(std::vector<std::string> files, bool removeCropped, bool summarise = false);
    /// The same for the photos the frames show.
    void CropFrames(const std::vector<TIFrame*>& frames, bool removeCropped,
                    bool summarise = false);
    /// Full path of the preview file, inside a folder of this window's own
    /// (made at the first preview); empty before that.
    std::string PreviewFile() const;
    /// How a finished preview is shown (the desktop's viewer by default).
    void SetOpener(std::function<void(const std::string&)> opener);

    // --- state ---
    void SetProcessing(bool on);
    bool Processing() const { return processing_; }
    void SetBusy(bool on);
    QString StatusText() const;
    void SetStatusText(const QString& text);
    TStorageTank& Settings() const { return *settings_; }
    TCContainer* Container() const { return container_; }
    QLineEdit* DirEdit() const;
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
    /// An add run's frames are in: the status says whether thumbnails are still being made.
    void AddRunFramesIn();
    void UpdateImageCommands();
    void UpdateUndoCommands();
    bool MayChangeList() const;
    std::string StartFolder() const;
    void EndCropRun();
    void MakeOrderKeeper();

    std::unique_ptr<TStorageTank> settings_;
    // decode thumbnails off the window's thread, for the add run and for frames
    // made again; both outlive every frame (the destructor releases them first)
    static constexpr int kReloadNiceness = 10;
    std::unique_ptr<TThumbnailCache> thumbnailCache_;
    std::unique_ptr<TThumbnailPool> thumbnails_;
    std::unique_ptr<TThumbnailPool> reloads_;
    TSettingsFile settingsFile_;
    std::unique_ptr<TMessageBoxPrompt> boxPrompt_;
    IUserPrompt* prompt_;
    std::vector<std::string> commandLine_;
    bool processing_ = false;
    bool busy_ = false;
    bool closing_ = false;
    bool shown_ = false;
    std::unique_ptr<TCropRun> cropRun_; // while a crop run's jobs are out
    bool removeCropped_ = true;         // its written photos leave the list
    bool endBusy_ = false;              // it set the busy cursor; its end clears it

    TCContainer* container_ = nullptr;
    TBottomBar* bar_ = nullptr;
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
    std::unique_ptr<TAddRun> adding_;
    std::unique_ptr<TCropPreview> preview_;
    TAboutBoxJ* aboutBox_ = nullptr;
    TKeyboardForm* keyboardForm_ = nullptr;
    TAspectForm* aspectForm_ = nullptr;

    std::unique_ptr<TFrameList> list_;
    std::unique_ptr<TOrderKeeper> keeper_;
    QMenu* recentMenu_ = nullptr;
};
