#include "grid/ImageLoader.h"

#include <exception>

#include <QHBoxLayout>
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

TLoadForm::TLoadForm(QWidget* parent) : QWidget(parent) {
    setObjectName("LoadForm");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName("StatusLabel");
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName("ProgressBar");
    progressBar_->setTextVisible(false);
    progressBar_->setMaximumWidth(200);
    cancelBtn_ = new QPushButton(this);
    cancelBtn_->setObjectName("CancelBtn");
    connect(cancelBtn_, &QPushButton::clicked, this, &TLoadForm::CancelBtnClick);
    layout->addWidget(statusLabel_);
    layout->addWidget(progressBar_);
    layout->addWidget(cancelBtn_);

    cancelBtn_->setText(N_("&Cancel"));
    TranslateWindow(this);
    hide();
}

TLoadForm::~TLoadForm() = default;

void TLoadForm::Start() {
    if (!finished_) return;
    cancelled_ = false;
    finished_ = false;
    progressBar_->setRange(0, static_cast<int>(list_.size()));
    progressBar_->setValue(0);
    show();
    prefetch_.reset();
    if (source_ && addDecoded_)
        prefetch_ =
            std::make_unique<TThumbnailPrefetch>(*source_, list_, thumbnailHeight_, ahead_,
                                                 honourOrientation_, [this] { DecodeArrived(); });
    index_ = 0;
    waiting_ = false;
    // the first step runs from the event loop, as every later one does
    Queue(list_.empty() ? &TLoadForm::Finish : &TLoadForm::ShowFile);
}

void TLoadForm::Abort() {
    prefetch_.reset();
    cancelled_ = true;
    finished_ = true;
    waiting_ = false;
    ++generation_; // steps already queued find the run gone
    hide();
}

void TLoadForm::Queue(void (TLoadForm::*step)()) {
    QMetaObject::invokeMethod(
        this,
        [this, step, generation = generation_] {
            if (generation == generation_) (this->*step)();
        },
        Qt::QueuedConnection);
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
    if (finished_) return; // aborted from within the callback
    ++index_;
    progressBar_->setValue(static_cast<int>(index_));
    Queue(&TLoadForm::AfterFile);
}

void TLoadForm::DecodeArrived() {
    if (waiting_ && prefetch_ && prefetch_->Ready(index_)) {
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
    if (statusText_) statusText_(cancelled_ ? tr_("Adding cancelled") : tr_("Images added"));
    finished_ = true;
    hide();
    emit runEnded();
}

void TLoadForm::Cancel() {
    if (!finished_) cancelled_ = true;
}

void TLoadForm::CancelBtnClick() {
    Cancel();
}
