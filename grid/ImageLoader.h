#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "frames/ThumbnailSource.h"

class QLabel;
class QProgressBar;
class QPushButton;
class TThumbnailPrefetch;

/// The progress of adding images: a status line, a bar and a Cancel button that its owner
/// puts into the window's status bar, shown only while a run is on. It does no decoding
/// itself: for each path it calls its owner's add-image callback and lets the user cancel
/// after the file in progress. The run goes on in steps queued to the window's own event
/// loop: the status line, then the file, then the check for a Cancel, each after the events
/// that came meanwhile (repaints, scrolling, keys, the Cancel click), so the window never
/// waits for the whole run. Nothing in the run processes events itself.
class TLoadForm : public QWidget {
    Q_OBJECT
public:
    /// Called once per path, in list order; a file it cannot add it simply skips.
    using TAddImage = std::function<void(const std::string& path)>;
    /// Receives the closing message ("Images added" or "Cancel") for the owner's status bar.
    using TStatusText = std::function<void(const QString& text)>;

    explicit TLoadForm(QWidget* parent = nullptr);
    ~TLoadForm() override;

    /// Called once per path, in list order, with the thumbnail decoded ahead.
    using TAddDecoded = std::function<void(const std::string& path, TDecodedThumbnail decoded)>;

    void SetAddImage(TAddImage addImage) { addImage_ = std::move(addImage); }
    /// With a source, the files ahead are decoded there, for editors of the
    /// given height, while frames are made for the earlier ones; addDecoded
    /// then takes the place of the add-image callback.
    void SetThumbnails(IThumbnailSource* source, std::size_t ahead, TAddDecoded addDecoded) {
        source_ = source;
        ahead_ = ahead;
        addDecoded_ = std::move(addDecoded);
    }
    void SetThumbnailHeight(int32_t height) { thumbnailHeight_ = height; }
    /// Whether the decodes ahead show photos upright by their EXIF orientation.
    void SetHonourOrientation(bool honour) { honourOrientation_ = honour; }
    int32_t ThumbnailHeight() const { return thumbnailHeight_; }
    void SetStatusText(TStatusText statusText) { statusText_ = std::move(statusText); }
    /// The paths of the next run; the form keeps its own copy. Not to be called while a
    /// run is on (the owner queues what comes meanwhile).
    void SetList(std::vector<std::string> list) { list_ = std::move(list); }

    /// Shows the progress and starts the run over the list; ignored while a run is on.
    void Start();
    /// Ends the run after the file in progress; what was added stays.
    void Cancel();
    /// Ends the run at once without another callback (the owner is going away).
    void Abort();

    bool Cancelled() const { return cancelled_; }
    bool Finished() const { return finished_; }

    QProgressBar* ProgressBar() const { return progressBar_; }
    QLabel* StatusLabel() const { return statusLabel_; }
    QPushButton* CancelBtn() const { return cancelBtn_; }

signals:
    /// The run has ended, cancelled or not, after its closing message.
    void runEnded();

private:
    /// The run's steps, each queued to the event loop by the one before.
    void ShowFile();
    void AddFile();
    void AfterFile();
    void Finish();
    void Queue(void (TLoadForm::*step)());
    /// A decode came in: the run goes on if it waited for that one.
    void DecodeArrived();
    void CancelBtnClick();

    std::vector<std::string> list_;
    TAddImage addImage_;
    TAddDecoded addDecoded_;
    QPointer<IThumbnailSource> source_;
    std::size_t ahead_ = 4;
    int32_t thumbnailHeight_ = 1;
    bool honourOrientation_ = true;
    TStatusText statusText_;
    bool cancelled_ = false;
    bool finished_ = true;
    std::unique_ptr<TThumbnailPrefetch> prefetch_; // during a run with a source
    std::size_t index_ = 0;                        // the file at work
    bool waiting_ = false;                         // for the decode of that file
    uint64_t generation_ = 0;                      // of the run the queued steps belong to
    QProgressBar* progressBar_;
    QLabel* statusLabel_;
    QPushButton* cancelBtn_;
};
