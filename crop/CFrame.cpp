#include "CFrame.h"

#include <algorithm>
#include <cstring>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int kTolerance = 5; // pixels around an edge that still grab it
constexpr auto kDoubleClickPause = std::chrono::milliseconds(300);
const QColor kCream(255, 251, 240);

/// Copies a part of a 24-bit bottom-up bitmap into a top-down 32-bit image.
void CopyToImage(const TBitmap& bitmap, const QRect& part, QImage& image) {
    if (image.size() != part.size() || image.format() != QImage::Format_RGB32)
        image = QImage(part.size(), QImage::Format_RGB32);
    for (int r = 0; r < part.height(); ++r) {
        const uint8_t* src = bitmap.ScanLine(part.y() + r) + 3 * part.x();
        auto* dst = reinterpret_cast<uint32_t*>(image.scanLine(r));
        for (int c = 0; c < part.width(); ++c, src += 3)
            dst[c] = 0xff000000u | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
    }
}
} // namespace

/// The invisible text edit that holds the editor's keyboard focus.
class TFocusReceiver : public QLineEdit {
public:
    explicit TFocusReceiver(TCFrame* editor) : QLineEdit(editor), editor_(editor) {}

protected:
    bool event(QEvent* event) override {
        // claim the editor's own keys before window shortcuts see them, and leave
        // every other key (Ctrl+D, Enter...) to the shortcuts a text edit would take
        if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (TCFrame::CropKey(key->key(), key->modifiers()) != 0 || TCFrame::IsMenuKey(key) ||
                editor_->IsActionKey(key, false))
                event->accept();
            else
                event->ignore();
            return true;
        }
        return QLineEdit::event(event);
    }
    void keyPressEvent(QKeyEvent* event) override { editor_->FocusGrabberKeyDown(event); }
    void keyReleaseEvent(QKeyEvent* event) override { event->accept(); }
    void inputMethodEvent(QInputMethodEvent* event) override { event->accept(); }
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        editor_->NewHandlerEnter();
    }
    void focusOutEvent(QFocusEvent* event) override { QLineEdit::focusOutEvent(event); }
    void mousePressEvent(QMouseEvent* event) override { event->ignore(); }
    void contextMenuEvent(QContextMenuEvent* event) override {
        // the Menu key opens the crop area's menu, not this edit's text menu
        editor_->KeyboardMenu();
        event->accept();
    }

private:
    TCFrame* editor_;
};

TCFrame::TCFrame(QWidget* parent)
    : QWidget(parent), area_(&subject_, this),
      clock_([] { return std::chrono::steady_clock::now(); }) {
    setObjectName("Cropper");
    SetBackground(kCream);
    setMouseTracking(true);
    newHandler_ = new TFocusReceiver(this);
    newHandler_->setObjectName("NewHandler");
    newHandler_->setGeometry(0, 0, 0, 21);
    newHandler_->setFocusPolicy(Qt::StrongFocus);
    newHandler_->setFrame(false);
    setFocusPolicy(Qt::NoFocus);
    setFocusProxy(newHandler_);
    area_.SetEventTarget(this, this);
    area_.SetRepaint([this] { update(); });
    area_.SetProcessMessages([] { QApplication::processEvents(); });
    SyncSurface();
}

TCFrame::~TCFrame() = default;

void TCFrame::SetBackground(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
    setAutoFillBackground(true);
}

void TCFrame::SyncSurface() {
    area_.SetSurfaceSize(width(), height());
}

bool TCFrame::LoadImage(const std::string& fileName) {
    SyncSurface();
    WithdrawRequest();
    return area_.LoadImage(fileName);
}

bool TCFrame::LoadThumbnail(const std::string& fileName, TThumbnail thumb, int32_t height) {
    SyncSurface();
    if (height != std::max(1, this->height())) return LoadImage(fileName);
    WithdrawRequest();
    return area_.LoadThumbnail(fileName, std::move(thumb));
}

void TCFrame::Reload() {
    SyncSurface();
    if (!source_ || !area_.Loaded()) {
        area_.Reload();
        update();
        return;
    }
    WithdrawRequest();
    // the old picture, stretched to the new size, stands in meanwhile
    area_.FitThumbnail();
    area_.Recalculate();
    if (isVisible()) {
        RequestThumbnail();
        return;
    }
    // out of view nothing is drawn: decode once it shows, and keep no bitmap
    // larger than the one that will replace it
    stale_ = true;
    const TBitmap& old = area_.Thumbnail();
    const int32_t h = std::max(1, height());
    if (int64_t(old.Width()) * old.Height() > int64_t(h) * area_.PreferredWidth(h))
        area_.DropThumbnail();
}

void TCFrame::SetRotation(int32_t degrees) {
    SyncSurface();
    const int32_t old = area_.Rotation();
    area_.SetRotation(degrees);
    if (area_.Rotation() != old) WithdrawRequest(); // an answer for the old turn is void
    update();
}

void TCFrame::WithdrawRequest() {
    ++generation_;
    stale_ = false;
    if (ticket_ && source_) source_->Withdraw(ticket_);
    ticket_ = 0;
}

void TCFrame::RequestThumbnail() {
    stale_ = false;
    const uint64_t generation = ++generation_;
    const int32_t h = std::max(1, height());
    const int32_t rotation = area_.Rotation();
    ticket_ = source_->Request(this, area_.FileName(), rotation, h, area_.HonourOrientation(),
                               [this, generation, h, rotation](TDecodedThumbnail decoded) {
                                   ThumbnailArrived(generation, h, rotation, std::move(decoded));
                               });
}

void TCFrame::ThumbnailArrived(uint64_t generation, int32_t height, int32_t rotation,
                               TDecodedThumbnail decoded) {
    if (generation != generation_) return; // overtaken by a newer request
    ticket_ = 0;
    // a file that cannot be read now keeps the old picture
    if (!decoded.Thumbnail) return;
    if (rotation != area_.Rotation()) return;
    if (height != std::max(1, this->height())) {
        // the editor changed height while the answer was on its way
        Reload();
        return;
    }
    area_.SetThumbnail(std::move(*decoded.Thumbnail));
    // a decode sizes by height alone: a wide photo must also fit the editor's width
    area_.FitThumbnail();
    area_.Recalculate();
    update();
}

void TCFrame::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale_ && source_ && area_.Loaded()) RequestThumbnail();
}

void TCFrame::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // what only drawing needs goes while nothing is drawn
    area_.ReleaseWorkBitmap();
    workImage_ = QImage();
    thumbImage_ = QImage();
    // a frame scrolled away before its turn came decodes when it is back
    if (ticket_ && source_ && source_->Withdraw(ticket_)) {
        ticket_ = 0;
        stale_ = true;
    }
}

void TCFrame::SetLook(int look) {
    if (look == look_) return;
    look_ = look;
    update();
}

void TCFrame::GrabFocus() {
    if (newHandler_->isVisible()) newHandler_->setFocus(Qt::OtherFocusReason);
}

QRect TCFrame::ThumbRect() const {
    const int tw = area_.ThumbWidth();
    const int th = area_.ThumbHeight();
    return QRect((width() - tw) / 2, (height() - th) / 2, tw, th);
}

QPoint TCFrame::ThumbPoint(int x, int y) const {
    const QRect r = ThumbRect();
    return QPoint(x - r.x(), y - r.y());
}

TCFrame::TZone TCFrame::HitTest(int x, int y) const {
    const QPoint p = ThumbPoint(x, y);
    const int px = p.x();
    const int py = p.y();
    TCropRect t;
    area_.GetThumbCrop(t);
    TZone zone = TZone::None;
    if (area_.Kind() != "fixed") {
        if (t.x - kTolerance <= px && px <= t.x + kTolerance)
            zone = TZone::Left;
        else if (t.x + t.width - kTolerance <= px && px <= t.x + t.width + kTolerance)
            zone = TZone::Right;
        // a corner belongs to the top or bottom edge
        if (t.y - kTolerance <= py && py <= t.y + kTolerance)
            zone = TZone::Top;
        else if (t.y + t.height - kTolerance <= py && py <= t.y + t.height + kTolerance)
            zone = TZone::Bottom;
    }
    if (t.x + kTolerance < px && px < t.x + t.width - kTolerance && t.y + kTolerance < py &&
        py < t.y + t.height - kTolerance)
        zone = TZone::Inside;
    return zone;
}

// --- painting ---

const QImage& TCFrame::BuildWork() {
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
    if (!area_.CropVisible()) {
        // the bitmap keeps its own proportions, as large as the thumbnail's place allows
        CopyToImage(thumb, whole, thumbImage_);
        const QSize size = thumbImage_.size().scaled(rect.size(), Qt::KeepAspectRatio);
        p.drawImage(QRect(rect.x() + (rect.width() - size.width()) / 2,
                          rect.y() + (rect.height() - size.height()) / 2, size.width(),
                          size.height()),
                    thumbImage_);
        return;
    }
    TCropRect t;
    area_.GetThumbCrop(t);
    const QRect crop(rect.x() + t.x, rect.y() + t.y, t.width, t.height);
    switch (look_) {
    case kLookBox: {
        CopyToImage(thumb, whole, thumbImage_);
        p.drawImage(rect, thumbImage_);
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
        CopyToImage(thumb, whole, thumbImage_);
        p.drawImage(rect, thumbImage_);
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
            CopyToImage(thumb, part, thumbImage_);
            p.drawImage(QPoint(rect.x() + part.x(), rect.y() + part.y()), thumbImage_);
        } else if (rect.width() > 0 && rect.height() > 0) {
            const double sx = double(thumb.Width()) / rect.width();
            const double sy = double(thumb.Height()) / rect.height();
            CopyToImage(thumb, whole, thumbImage_);
            p.drawImage(QRectF(crop), thumbImage_,
                        QRectF(t.x * sx, t.y * sy, t.width * sx, t.height * sy));
        }
        break;
    }
    }
}

void TCFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    SyncSurface();
    if (!area_.Loaded()) return;
    area_.FitThumbnail();
    area_.Recalculate();
    SetBackground(palette().color(QPalette::Button));
}

// --- mouse ---

void TCFrame::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    MouseShapeMouseDown(event->button(), pos.x(), pos.y());
    event->accept();
}

void TCFrame::mouseMoveEvent(QMouseEvent* event) {
    // the release may have gone elsewhere (to the popup menu that a right press opened):
    // a move without the left button must not keep the area on the pointer
    if (dragging_ && !(event->buttons() & Qt::LeftButton)) MouseShapeMouseUp();
    const QPoint pos = event->position().toPoint();
    MouseShapeMouseMove(pos.x(), pos.y());
}

void TCFrame::mouseReleaseEvent(QMouseEvent*) {
    MouseShapeMouseUp();
}

void TCFrame::mouseDoubleClickEvent(QMouseEvent* event) {
    MouseShapeDblClick();
    // the press that comes with a double click falls into the pause and is ignored
    mousePressEvent(event);
}

void TCFrame::MouseShapeMouseDown(Qt::MouseButton button, int x, int y) {
    if (!area_.Loaded() || clock_() - lastDoubleClick_ < kDoubleClickPause) return;
    if (area_.Kind() == "nocrop") {
        Notify(this, "Selected", true);
        return;
    }
    if (button == Qt::LeftButton && area_.CropVisible()) {
        const TZone zone = HitTest(x, y);
        if (zone != TZone::None) {
            dragging_ = true;
            pressPoint_ = QPoint(x, y);
            dragZone_ = zone;
            area_.GetThumbCrop(pressRect_);
        }
    }
    newHandler_->setFocus(Qt::MouseFocusReason);
    Notify(this, "Selected", true);
}

void TCFrame::MouseShapeMouseMove(int x, int y) {
    if (!area_.Loaded() || area_.Kind() == "nocrop") return;
    if (!dragging_) {
        switch (HitTest(x, y)) {
        case TZone::Inside:
            setCursor(Qt::PointingHandCursor);
            break;
        case TZone::Top:
        case TZone::Bottom:
            setCursor(Qt::SizeVerCursor);
            break;
        case TZone::Left:
        case TZone::Right:
            setCursor(Qt::SizeHorCursor);
            break;
        case TZone::None:
            setCursor(Qt::ArrowCursor);
            break;
        }
        return;
    }
    const QPoint p = ThumbPoint(x, y);
    const TCropRect& r = pressRect_;
    switch (dragZone_) {
    case TZone::Inside:
        area_.SetThumbPosition(x - pressPoint_.x() + r.x, y - pressPoint_.y() + r.y);
        break;
    case TZone::Right:
        area_.SetThumbWidth(p.x() - r.x);
        break;
    case TZone::Left:
        area_.SetThumbWidth(r.x + r.width - p.x());
        area_.SetThumbPosition(p.x(), r.y);
        break;
    case TZone::Bottom:
        area_.SetThumbHeight(p.y() - r.y);
        break;
    case TZone::Top:
        area_.SetThumbHeight(r.y + r.height - p.y());
        area_.SetThumbPosition(r.x, p.y());
        break;
    case TZone::None:
        break;
    }
}

void TCFrame::MouseShapeMouseUp() {
    dragging_ = false;
    setCursor(Qt::ArrowCursor);
    dragZone_ = TZone::None;
}

void TCFrame::MouseShapeDblClick() {
    Notify(this, "DoubleClick", true);
    lastDoubleClick_ = clock_();
}

// --- keys and focus ---

void TCFrame::NewHandlerEnter() {
    Notify(this, "Selected", true);
}

bool TCFrame::IsActionKey(QKeyEvent* event, bool trigger) {
    const QKeySequence pressed(event->keyCombination());
    for (QAction* action : actions()) {
        if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
            if (trigger) action->trigger();
            return true;
        }
    }
    return false;
}

void TCFrame::FocusGrabberKeyDown(QKeyEvent* event) {
    event->accept(); // the invisible edit never receives text
    if (IsMenuKey(event)) {
        // where the window system turned the Menu key into a menu request, the menu is open
        if (!QApplication::activePopupWidget()) KeyboardMenu();
        return;
    }
    // commands put on the editor (the popup menu's flip) take their keys here
    if (IsActionKey(event, true)) return;
    int key = CropKey(event->key(), event->modifiers());
    if (key != 0) area_.HandleKey(key, ShiftState(event->modifiers()));
}

bool TCFrame::IsMenuKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Menu ||
           (event->key() == Qt::Key_F10 &&
            (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier);
}

void TCFrame::KeyboardMenu() {
    // the menu opens over the middle of the crop area, where the user is looking
    QPoint at = rect().center();
    TCropRect t;
    if (area_.CropVisible() && area_.GetThumbCrop(t))
        at = ThumbRect().topLeft() + QPoint(t.x + t.width / 2, t.y + t.height / 2);
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, mapToGlobal(at));
    QApplication::sendEvent(this, &menu);
}

int TCFrame::CropKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers & Qt::KeypadModifier;
    switch (qtKey) {
    case Qt::Key_Space:
        return kKeySpace;
    case Qt::Key_PageUp:
        return kKeyPageUp;
    case Qt::Key_PageDown:
        return kKeyPageDown;
    case Qt::Key_End:
        return kKeyEnd;
    case Qt::Key_Home:
        return kKeyHome;
    case Qt::Key_Left:
        return kKeyLeft;
    case Qt::Key_Up:
        return kKeyUp;
    case Qt::Key_Right:
        return kKeyRight;
    case Qt::Key_Down:
        return kKeyDown;
    case Qt::Key_Plus: // only the keypad's plus and minus resize
        return keypad ? kKeyAdd : 0;
    case Qt::Key_Minus:
        return keypad ? kKeySubtract : 0;
    default:
        return 0;
    }
}

TShiftState TCFrame::ShiftState(Qt::KeyboardModifiers modifiers) {
    TShiftState s = 0;
    if (modifiers & Qt::ShiftModifier) s |= kShift;
    if (modifiers & Qt::ControlModifier) s |= kCtrl;
    if (modifiers & Qt::AltModifier) s |= kAlt;
    return s;
}
