#include "ui/PreviewWindow.h"

#include <algorithm>
#include <cmath>

#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "i18n/TranslateWindow.h"

namespace {
constexpr double kMinZoom = 0.02;
constexpr double kStep = 1.25;
constexpr int kChrome = 80; // the info line and the window's frame, below the picture
} // namespace

TPreviewWindow::TPreviewWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setAlignment(Qt::AlignCenter);
    picture_ = new QLabel(scroll_);
    picture_->setObjectName(QStringLiteral("Picture"));
    scroll_->setWidget(picture_);
    info_ = new QLabel(this);
    info_->setObjectName(QStringLiteral("Info"));
    info_->setMargin(4);
    layout->addWidget(scroll_, 1);
    layout->addWidget(info_);
}

bool TPreviewWindow::Show(const std::string& fileName, std::string* error, int printPpi) {
    QImageReader reader(QString::fromStdString(fileName));
    QImage image = reader.read();
    if (image.isNull()) {
        if (error) *error = reader.errorString().toStdString();
        return false;
    }
    image_ = std::move(image);
    const int ppi =
        printPpi > 0 ? printPpi : static_cast<int>(std::lround(image_.dotsPerMeterX() * 0.0254));
    info_->setText(tr_("%1 x %2 pixels, %3 ppi").arg(image_.width()).arg(image_.height()).arg(ppi));
    setWindowTitle(tr_("Crop Preview"));
    // the window takes at most the screen it opens on, the picture fitted into it
    const QScreen* screen =
        parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize wanted = image_.size().boundedTo(available.size() - QSize(0, kChrome));
    resize(std::max(wanted.width(), 200), std::max(wanted.height() + kChrome / 2, 150));
    move(available.center() - rect().center());
    show();
    raise();
    activateWindow();
    SetZoom(FitZoom());
    return true;
}

double TPreviewWindow::FitZoom() const {
    if (image_.isNull()) return 1;
    const QSize view = scroll_->viewport()->size();
    return std::min(
        {1.0, double(view.width()) / image_.width(), double(view.height()) / image_.height()});
}

void TPreviewWindow::SetZoom(double zoom) {
    if (image_.isNull()) return;
    zoom_ = std::clamp(zoom, kMinZoom, 1.0);
    // drawn at the screen's pixel density, so 100 % shows every pixel of the cut
    const qreal ratio = devicePixelRatioF();
    const QSize logical(std::max(1, int(std::lround(image_.width() * zoom_))),
                        std::max(1, int(std::lround(image_.height() * zoom_))));
    QPixmap pixmap = QPixmap::fromImage(
        image_.scaled(logical * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    picture_->setPixmap(pixmap);
    picture_->resize(logical);
}

void TPreviewWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Plus:
        SetZoom(zoom_ * kStep);
        break;
    case Qt::Key_Minus:
        SetZoom(zoom_ / kStep);
        break;
    case Qt::Key_1:
        SetZoom(1);
        break;
    case Qt::Key_0:
        SetZoom(FitZoom());
        break;
    case Qt::Key_Escape:
        close();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}
