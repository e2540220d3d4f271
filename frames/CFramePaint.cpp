// The crop area editor's painting: the thumbnail and its crop area in one of
// the five looks, and the faint marks of the faces found.
#include "frames/CFrame.h"

#include <cstring>

#include <QPainter>

QImage DrawableImage(const TBitmap& bitmap) {
    // a 24-bit bottom-up bitmap copied into a top-down 32-bit image
    const QSize size(bitmap.Width(), bitmap.Height());
    QImage image(size, QImage::Format_RGB32);
    for (int r = 0; r < size.height(); ++r) {
        const uint8_t* src = bitmap.ScanLine(r);
        auto* dst = reinterpret_cast<uint32_t*>(image.scanLine(r));
        for (int c = 0; c < size.width(); ++c, src += 3)
            dst[c] = 0xff000000u | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
    }
    return image;
}

const QImage& TCFrame::ThumbImage() {
    if (thumbImage_.isNull() || thumbImageOf_ != area_.ThumbnailVersion()) {
        thumbImage_ = DrawableImage(area_.Thumbnail());
        thumbImageOf_ = area_.ThumbnailVersion();
    }
    return thumbImage_;
}

void TCFrame::TakeImage(QImage image) {
    if (image.isNull()) return;
    thumbImage_ = std::move(image);
    thumbImageOf_ = area_.ThumbnailVersion();
}

const QImage& TCFrame::BuildWork() {
    if (!workImage_.isNull() && workImageOf_ == area_.ThumbnailVersion() && workImageLook_ == look_)
        return workImage_;
    workImageOf_ = area_.ThumbnailVersion();
    workImageLook_ = look_;
    const TBitmap& thumb = area_.Thumbnail();
    TBitmap& work = area_.WorkBitmap();
    const int w = thumb.Width();
    const int h = thumb.Height();
    if (work.Width() != w || work.Height() != h) work = TBitmap(w, h, 24);
    if (workImage_.size() != QSize(w, h)) workImage_ = QImage(w, h, QImage::Format_RGB32);
    const bool fade = look_ == kLookFade;
    for (int r = 0; r < h; ++r) {
        const uint8_t* src = thumb.ScanLine(r);
        uint8_t* out = work.ScanLine(r);
        auto* dst = reinterpret_cast<uint32_t*>(workImage_.scanLine(r));
        if (fade) {
            for (int i = 0; i < 3 * w; ++i)
                out[i] = src[i] >> 1;
        } else {
            std::memcpy(out, src, 3 * std::size_t(w));
            // the screen inverts even columns on rows 0, 4, 8... and odd ones on 2, 6...
            if (r % 4 == 0 || r % 4 == 2) {
                for (int c = r % 4 == 0 ? 0 : 1; c < w; c += 2) {
                    out[3 * c] = 255 - src[3 * c];
                    out[3 * c + 1] = 255 - src[3 * c + 1];
                    out[3 * c + 2] = 255 - src[3 * c + 2];
                }
            }
        }
        for (int c = 0; c < w; ++c, out += 3)
            dst[c] = 0xff000000u | uint32_t(out[2]) << 16 | uint32_t(out[1]) << 8 | out[0];
    }
    return workImage_;
}

void TCFrame::paintEvent(QPaintEvent*) {
    const TBitmap& thumb = area_.Thumbnail();
    if (!area_.Loaded()) return;
    if (thumb.Empty() || thumb.BitsPerPixel() != 24) {
        // a plain placeholder until the thumbnail arrives
        QPainter(this).fillRect(ThumbRect(), palette().color(QPalette::Mid));
        return;
    }
    QPainter p(this);
    const QRect rect = ThumbRect();
    const QRect whole(0, 0, thumb.Width(), thumb.Height());
    const QImage& image = ThumbImage();
    if (!area_.Crop().CropVisible()) {
        // the bitmap keeps its own proportions, as large as the thumbnail's place allows
        const QSize size = image.size().scaled(rect.size(), Qt::KeepAspectRatio);
        p.drawImage(QRect(rect.x() + (rect.width() - size.width()) / 2,
                          rect.y() + (rect.height() - size.height()) / 2, size.width(),
                          size.height()),
                    image);
        return;
    }
    TCropRect t;
    area_.GetThumbCrop(t);
    const QRect crop(rect.x() + t.x, rect.y() + t.y, t.width, t.height);
    switch (look_) {
    case kLookBox: {
        p.drawImage(rect, image);
        // a 3-pixel ring just outside the area, each pixel inverted once
        const QRect outer = crop.adjusted(-3, -3, 3, 3);
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.fillRect(QRect(outer.left(), outer.top(), outer.width(), 3), Qt::white);
        p.fillRect(QRect(outer.left(), crop.bottom() + 1, outer.width(), 3), Qt::white);
        p.fillRect(QRect(outer.left(), crop.top(), 3, crop.height()), Qt::white);
        p.fillRect(QRect(crop.right() + 1, crop.top(), 3, crop.height()), Qt::white);
        break;
    }
    case kLookBlack:
    case kLookInverse: {
        p.drawImage(rect, image);
        const QRect bands[] = {
            QRect(QPoint(rect.left(), rect.top()), QPoint(crop.left() - 1, rect.bottom())),
            QRect(QPoint(crop.right() + 1, rect.top()), QPoint(rect.right(), rect.bottom())),
            QRect(QPoint(crop.left(), rect.top()), QPoint(crop.right(), crop.top() - 1)),
            QRect(QPoint(crop.left(), crop.bottom() + 1), QPoint(crop.right(), rect.bottom())),
        };
        if (look_ == kLookInverse) p.setCompositionMode(QPainter::RasterOp_NotDestination);
        for (const QRect& band : bands)
            if (band.isValid()) p.fillRect(band, Qt::black);
        break;
    }
    default: {
        if (area_.WorkBitmap().Empty()) return;
        p.drawImage(rect, BuildWork());
        // the area itself is copied from the thumbnail: unscaled while the bitmap has
        // the thumbnail's size, else from the matching part of the stretched bitmap
        if (thumb.Width() == rect.width() && thumb.Height() == rect.height()) {
            const QRect part = QRect(t.x, t.y, t.width, t.height).intersected(whole);
            if (part.isEmpty()) break;
            p.drawImage(QPoint(rect.x() + part.x(), rect.y() + part.y()), image, part);
        } else if (rect.width() > 0 && rect.height() > 0) {
            const double sx = double(thumb.Width()) / rect.width();
            const double sy = double(thumb.Height()) / rect.height();
            p.drawImage(QRectF(crop), image,
                        QRectF(t.x * sx, t.y * sy, t.width * sx, t.height * sy));
        }
        break;
    }
    }
    if (faceMarks_) MarkFaces(p, rect);
}

void TCFrame::MarkFaces(QPainter& p, const QRect& rect) {
    const TCropArea& crop = area_.Crop();
    if (crop.ImageWidth() <= 0 || crop.ImageHeight() <= 0) return;
    const std::vector<TCropRect> faces = area_.FacesInView();
    if (faces.empty()) return;
    // faint enough to leave the picture to the eye, on light and dark faces alike
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    const double sx = double(rect.width()) / crop.ImageWidth();
    const double sy = double(rect.height()) / crop.ImageHeight();
    for (const TCropRect& f : faces) {
        const QRectF mark(rect.x() + f.x * sx, rect.y() + f.y * sy, f.width * sx, f.height * sy);
        p.setPen(QPen(QColor(0, 0, 0, 70), 3));
        p.drawRoundedRect(mark, 4, 4);
        p.setPen(QPen(QColor(255, 255, 255, 150), 1, Qt::DashLine));
        p.drawRoundedRect(mark, 4, 4);
    }
}
