#include "ui/PreviewFileDialog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "core/Error.h"
#include "jpeg/JpegThumbnail.h"

namespace {
constexpr int kPreviewSide = 200;

// The thumbnail's rows are stored bottom first with blue, green, red bytes.
QImage ToImage(const TBitmap& bitmap) {
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB888);
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* from = bitmap.ScanLine(y);
        uchar* to = image.scanLine(y);
        for (int32_t x = 0; x < bitmap.Width(); ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return image;
}
} // namespace

TPreviewFileDialog::TPreviewFileDialog(QWidget* parent) : QFileDialog(parent) {
    // only Qt's own dialog can take the extra preview area
    setOption(QFileDialog::DontUseNativeDialog, true);
    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("PreviewLabel"));
    preview_->setFixedSize(kPreviewSide, kPreviewSide);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(preview_, 0, grid->columnCount(), grid->rowCount(), 1, Qt::AlignTop);
    connect(this, &QFileDialog::currentChanged, this, &TPreviewFileDialog::ShowPreview);
}

void TPreviewFileDialog::ShowPreview(const QString& path) {
    preview_->clear();
    if (!QFileInfo(path).isFile()) return;
    try {
        const TThumbnail t = ReadJpegThumbnail(path.toStdString(), 0, kPreviewSide);
        QPixmap pixmap = QPixmap::fromImage(ToImage(t.bitmap));
        if (pixmap.width() > kPreviewSide)
            pixmap = pixmap.scaledToWidth(kPreviewSide, Qt::SmoothTransformation);
        preview_->setPixmap(pixmap);
    } catch (const TError&) {
        // not a picture we can show: the area stays empty
    }
}
