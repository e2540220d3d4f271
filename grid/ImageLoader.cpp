#include "grid/ImageLoader.h"

#include <exception>

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "grid/ThumbnailPrefetch.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"

namespace {

// The name shown for a path: its last component, with either slash as a separator.
QString FileNameOf(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    return QString::fromStdString(cut == std::string::npos ? path : path.substr(cut + 1));
}

} // namespace

TLoadForm::TLoadForm(QWidget* parent) : QDialog(parent) {
    setObjectName("LoadForm");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(468, 130);

    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName("ProgressBar");
    progressBar_->setGeometry(16, 16, 433, 33);
    progressBar_->setTextVisible(false);
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName("StatusLabel");
    statusLabel_->setGeometry(16, 64, 436, 17);
    cancelBtn_ = new QPushButton(this);
    cancelBtn_->setObjectName("CancelBtn");
    cancelBtn_->setGeometry(376, 88, 75, 25);
    cancelBtn_->setDefault(true);
    connect(cancelBtn_, &QPushButton::clicked, this, &TLoadForm::CancelBtnClick);

    timer_.setInterval(100);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TLoadForm::TimerTimer);

    setWindowTitle(N_("Creating Thumbnails"));
    cancelBtn_->setText(N_("&Cancel"));
    TranslateWindow(this);
}

TLoadForm::~TLoadForm() = default;

void TLoadForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // One run per showing: the window system shows the dialog again when it is restored
    // from minimised, and that must neither restart the run nor forget a Cancel.
    if (!finished_) return;
    // From here on closing means cancelling, also in the moment before the run starts.
    cancelled_ = false;
    finished_ = false;
    progressBar_->setValue(0);
    timer_.start();
}

void TLoadForm::TimerTimer() {
    // Stopped first: one showing makes one run.
    timer_.stop();
    finished_ = false;
    progressBar_->setRange(0, static_cast<int>(list_.size()));
    progressBar_->setValue(0);
    prefetch_.reset();
    if (source_ && addDecoded_)
        prefetch_ =
            std::make_unique<TThumbnailPrefetch>(*source_, list_, thumbnailHeight_, ahead_,
                                                 honourOrientation_, [this] { DecodeArrived(); });
    index_ = 0;
    waiting_ = false;
    if (list_.empty())
        Finish();
    else
        ShowFile();
}

void TLoadForm::Queue(void (TLoadForm::*step)()) {
    QMetaObject::invokeMethod(
        this, [this, step] { (this->*step)(); }, Qt::QueuedConnection);
}

void TLoadForm::ShowFile() {
    const int count = static_cast<int>(list_.size());
    statusLabel_->setText(
        tr_("Creating Thumb (%1/%2) %3")
            .arg(QString::number(index_ + 1), QString::number(count), FileNameOf(list_[index_])));
    // the line is painted, and a Cancel seen, before the file is added
    Queue(&TLoadForm::AddFile);
}

void TLoadForm::AddFile() {
    const std::string& path = list_[index_];
    if (prefetch_) {
        prefetch_->Want(index_);
        // its decode is still on the way: DecodeArrived comes back here
        waiting_ = !prefetch_->Ready(index_);
        if (waiting_) return;
    }
    try {
        if (prefetch_)
            addDecoded_(path, prefetch_->Take(index_));
        else if (addImage_)
            addImage_(path);
    } catch (const std::exception&) {
        // One file that cannot be added must not end the run or escape the event loop.
    }
    ++index_;
    progressBar_->setValue(static_cast<int>(index_));
    Queue(&TLoadForm::AfterFile);
}

void TLoadForm::DecodeArrived() {
    if (waiting_ && prefetch_->Ready(index_)) {
        waiting_ = false;
        Queue(&TLoadForm::AddFile);
    }
}

void TLoadForm::AfterFile() {
    // Cancel takes effect after the file in progress, never within it
    if (cancelled_ || index_ >= list_.size())
        Finish();
    else
        ShowFile();
}

void TLoadForm::Finish() {
    prefetch_.reset(); // what was asked for ahead is withdrawn
    if (statusText_) statusText_(cancelled_ ? tr_("Cancel") : tr_("Images added"));
    finished_ = true;
    accept();
}

void TLoadForm::CancelBtnClick() {
    cancelled_ = true;
    reject();
}

void TLoadForm::done(int result) {
    if (!finished_) {
        cancelled_ = true;
        return;
    }
    QDialog::done(result);
}

void TLoadForm::closeEvent(QCloseEvent* event) {
    if (!finished_) {
        cancelled_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
