#include "frames/CFrame.h"

#include <algorithm>
#include <cstdlib>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace {
constexpr int kTolerance = 5; // pixels around an edge that still grab it
constexpr auto kDoubleClickPause = std::chrono::milliseconds(300);
const QColor kCream(255, 251, 240);
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
            if (TCFrame::KeyCommand(key->key(), key->modifiers()).action !=
                    TCFrame::TKeyCommand::TAction::None ||
                TCFrame::IsMenuKey(key) || editor_->IsActionKey(key, false))
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
    : QWidget(parent), clock_([] { return std::chrono::steady_clock::now(); }) {
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
    area_.SetChangeHandler([this] {
        update();
        emit Recalculated();
    });
    SyncSurface();
}

TCFrame::~TCFrame() = default;

void TCFrame::SetBackground(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
    setAutoFillBackground(true);
}

double TCFrame::PixelRatio() const {
    return pixelRatio_ > 0.0 ? pixelRatio_ : devicePixelRatioF();
}

void TCFrame::SetPixelRatio(double ratio) {
    pixelRatio_ = ratio;
}

void TCFrame::SyncSurface() {
    area_.SetSurfaceSize(width(), height());
    area_.SetPixelRatio(PixelRatio());
}

bool TCFrame::LoadImage(const std::string& fileName) {
    SyncSurface();
    WithdrawRequest();
    return area_.LoadImage(fileName);
}

bool TCFrame::LoadThumbnail(const std::string& fileName, TThumbnail thumb, int32_t height) {
    SyncSurface();
    // one decoded for another height (in device pixels) would not fit or would blur
    if (height != area_.DecodeHeight()) return LoadImage(fileName);
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
    area_.Refit();
    RequestThumbnail();
}

void TCFrame::Show(const std::string& fileName, const TJpegLayout& layout, int orientation,
                   bool incomplete, std::vector<TCropRect> faces, const TCropArea& area) {
    SyncSurface();
    // the same picture stays, and so does a decode on its way for it
    if (!area_.Show(fileName, layout, orientation, incomplete, std::move(faces), area)) {
        WithdrawRequest();
        standIn_ = false;
    }
    if ((!area_.HasThumbnail() || standIn_) && !ticket_) NewThumbnailDue();
    update();
}

void TCFrame::NewThumbnailDue() {
    // a frame near the view but not in it decodes too, after those in view
    if (source_) RequestThumbnail();
}

void TCFrame::SetRotation(int32_t degrees) {
    SyncSurface();
    if (source_) {
        if (!area_.TurnShown(degrees)) return;
        // an answer for the old turn is void
        WithdrawRequest();
        NewThumbnailDue();
        update();
        return;
    }
    const int32_t old = area_.Crop().Rotation();
    area_.SetRotation(degrees);
    if (area_.Crop().Rotation() != old) WithdrawRequest(); // an answer for the old turn is void
    update();
}

void TCFrame::WithdrawRequest() {
    ++generation_;
    if (ticket_ && source_) source_->Withdraw(ticket_);
    if (preview_ && source_) source_->Withdraw(preview_);
    ticket_ = preview_ = 0;
}

void TCFrame::RequestThumbnail() {
    // the decode height follows the editor as it is now, also when it was resized unseen
    SyncSurface();
    const uint64_t generation = ++generation_;
    const int32_t h = std::max(1, height());
    const int32_t rotation = area_.Crop().Rotation();
    if (std::optional<TThumbnail> kept = source_->Cached(area_.FileName(), rotation,
                                                         area_.DecodeHeight(),
                                                         area_.HonourOrientation())) {
        area_.SetThumbnail(std::move(*kept));
        standIn_ = false;
        area_.Refit();
        update();
        return;
    }
    if (!area_.HasThumbnail()) {
        // the camera's own small picture stands in at once, where the file has one
        preview_ = source_->RequestPreview(
            this, area_.FileName(), rotation, area_.HonourOrientation(),
            [this, generation, rotation](TDecodedThumbnail decoded) {
                if (generation != generation_) return;
                preview_ = 0;
                if (!decoded.Thumbnail || area_.HasThumbnail() ||
                    rotation != area_.Crop().Rotation())
                    return;
                // it knows nothing of the photo's data: what the decode found stays
                decoded.Thumbnail->truncated = area_.Incomplete();
                area_.SetThumbnail(std::move(*decoded.Thumbnail));
                TakeImage(std::move(decoded.Image));
                standIn_ = true;
                area_.Refit();
                update();
            });
    }
    // decoded at device pixels, so a scaled screen shows it sharp
    ticket_ = source_->Request(this, area_.FileName(), rotation, area_.DecodeHeight(),
                               area_.HonourOrientation(),
                               [this, generation, h, rotation](TDecodedThumbnail decoded) {
                                   ThumbnailArrived(generation, h, rotation, std::move(decoded));
                               });
    // what is in view goes before what was asked for ahead
    if (isVisible()) source_->Hurry(ticket_);
}

void TCFrame::ThumbnailArrived(uint64_t generation, int32_t height, int32_t rotation,
                               TDecodedThumbnail decoded) {
    if (generation != generation_) return; // overtaken by a newer request
    ticket_ = 0;
    // a file that cannot be read now keeps the old picture
    if (!decoded.Thumbnail) return;
    if (rotation != area_.Crop().Rotation()) return;
    if (height != std::max(1, this->height())) {
        // the editor changed height while the answer was on its way
        Reload();
        return;
    }
    area_.SetThumbnail(std::move(*decoded.Thumbnail));
    TakeImage(std::move(decoded.Image));
    standIn_ = false;
    // a decode sizes by height alone: a wide photo must also fit the editor's width
    area_.Refit();
    update();
}

void TCFrame::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // a frame scrolled into view is decoded before those near it
    if (ticket_ && source_) source_->Hurry(ticket_);
}

void TCFrame::Release() {
    WithdrawRequest();
    standIn_ = false;
    area_.DropThumbnail();
    workImage_ = QImage();
    thumbImage_ = QImage();
}

void TCFrame::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // what only drawing needs goes while nothing is drawn
    area_.ReleaseWorkBitmap();
    workImage_ = QImage();
    thumbImage_ = QImage();
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
    if (area_.Crop().Kind() != "fixed") {
        const bool left = t.x - kTolerance <= px && px <= t.x + kTolerance;
        const bool right =
            !left && t.x + t.width - kTolerance <= px && px <= t.x + t.width + kTolerance;
        const bool top = t.y - kTolerance <= py && py <= t.y + kTolerance;
        const bool bottom =
            !top && t.y + t.height - kTolerance <= py && py <= t.y + t.height + kTolerance;
        // where two edges meet, the corner takes both
        if (top)
            zone = left ? TZone::TopLeft : right ? TZone::TopRight : TZone::Top;
        else if (bottom)
            zone = left ? TZone::BottomLeft : right ? TZone::BottomRight : TZone::Bottom;
        else if (left)
            zone = TZone::Left;
        else if (right)
            zone = TZone::Right;
    }
    if (t.x + kTolerance < px && px < t.x + t.width - kTolerance && t.y + kTolerance < py &&
        py < t.y + t.height - kTolerance)
        zone = TZone::Inside;
    return zone;
}

void TCFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    SyncSurface();
    if (!area_.Loaded()) return;
    area_.Refit();
    SetBackground(palette().color(QPalette::Button));
    // a new height wants a thumbnail of its own: the old one, stretched, stands in meanwhile
    if (source_ && event->oldSize().height() > 0 &&
        event->oldSize().height() != event->size().height()) {
        WithdrawRequest();
        NewThumbnailDue();
    }
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
    if (area_.Crop().Kind() == "nocrop") {
        emit Selected();
        return;
    }
    if (button == Qt::LeftButton && area_.Crop().CropVisible()) {
        const TZone zone = HitTest(x, y);
        if (zone != TZone::None) {
            dragging_ = true;
            pressPoint_ = QPoint(x, y);
            dragZone_ = zone;
            area_.GetThumbCrop(pressRect_);
        }
    }
    newHandler_->setFocus(Qt::MouseFocusReason);
    emit Selected();
}

void TCFrame::MouseShapeMouseMove(int x, int y) {
    if (!area_.Loaded() || area_.Crop().Kind() == "nocrop") return;
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
        case TZone::TopLeft:
        case TZone::BottomRight:
            setCursor(Qt::SizeFDiagCursor);
            break;
        case TZone::TopRight:
        case TZone::BottomLeft:
            setCursor(Qt::SizeBDiagCursor);
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
    case TZone::TopLeft:
    case TZone::TopRight:
    case TZone::BottomLeft:
    case TZone::BottomRight:
        DragCorner(p);
        break;
    case TZone::None:
        break;
    }
}

void TCFrame::DragCorner(QPoint p) {
    const TCropRect& r = pressRect_;
    const bool left = dragZone_ == TZone::TopLeft || dragZone_ == TZone::BottomLeft;
    const bool top = dragZone_ == TZone::TopLeft || dragZone_ == TZone::TopRight;
    const int width = left ? r.x + r.width - p.x() : p.x() - r.x;
    const int height = top ? r.y + r.height - p.y() : p.y() - r.y;
    if (area_.Crop().Kind() == "defined") {
        // one side decides, the aspect gives the other
        if (std::abs(width - r.width) >= std::abs(height - r.height))
            area_.SetThumbWidth(width);
        else
            area_.SetThumbHeight(height);
    } else {
        area_.SetThumbWidth(width);
        area_.SetThumbHeight(height);
    }
    TCropRect now;
    area_.GetThumbCrop(now);
    // the corner across from the one dragged stays where it was
    area_.SetThumbPosition(left ? r.x + r.width - now.width : r.x,
                           top ? r.y + r.height - now.height : r.y);
}

void TCFrame::MouseShapeMouseUp() {
    if (dragging_) emit DragEnded();
    dragging_ = false;
    setCursor(Qt::ArrowCursor);
    dragZone_ = TZone::None;
}

void TCFrame::MouseShapeDblClick() {
    emit DoubleClick();
    lastDoubleClick_ = clock_();
}

// --- keys and focus ---

void TCFrame::NewHandlerEnter() {
    emit Selected();
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
    const TKeyCommand command = KeyCommand(event->key(), event->modifiers());
    // a photo not shown or without a visible area takes no key at all
    if (command.action == TKeyCommand::TAction::None || !area_.Crop().Editable()) return;
    using TAction = TKeyCommand::TAction;
    const TCropRect before = area_.GetCrop();
    switch (command.action) {
    case TAction::Flip:
        emit FlipAspect();
        return;
    case TAction::Navigate:
        emit Navigate(command.where);
        return;
    case TAction::Move:
        area_.Edit([&](TCropArea& a) { a.Move(command.columns, command.rows); });
        break;
    case TAction::Grow:
        area_.Edit([&](TCropArea& a) { a.Grow(command.sign, command.step); });
        break;
    case TAction::None:
        return;
    }
    if (!(area_.GetCrop() == before)) emit KeyEdited();
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
    if (area_.Crop().CropVisible() && area_.GetThumbCrop(t))
        at = ThumbRect().topLeft() + QPoint(t.x + t.width / 2, t.y + t.height / 2);
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, mapToGlobal(at));
    QApplication::sendEvent(this, &menu);
}

std::optional<TCFrame::TNavigation> TCFrame::NavigationOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_PageUp:
        return TNavigation::Previous;
    case Qt::Key_PageDown:
        return TNavigation::Next;
    case Qt::Key_Home:
        return TNavigation::Home;
    case Qt::Key_End:
        return TNavigation::End;
    default:
        return std::nullopt;
    }
}

TCFrame::TKeyCommand TCFrame::KeyCommand(int qtKey, Qt::KeyboardModifiers modifiers) {
    using TAction = TKeyCommand::TAction;
    TKeyCommand c;
    if (const std::optional<TNavigation> where = NavigationOf(qtKey)) {
        c.action = TAction::Navigate;
        c.where = *where;
        return c;
    }
    const auto move = [&c](int columns, int rows) {
        c.action = TAction::Move;
        c.columns = columns;
        c.rows = rows;
        return c;
    };
    // Shift alone gives the fine step and Ctrl alone the coarse one; any other
    // mix of Shift, Ctrl and Alt the normal step
    const Qt::KeyboardModifiers keys =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const auto grow = [&c, keys](int sign) {
        c.action = TAction::Grow;
        c.sign = sign;
        c.step = keys == Qt::ShiftModifier     ? TCropArea::TStep::Fine
                 : keys == Qt::ControlModifier ? TCropArea::TStep::Coarse
                                               : TCropArea::TStep::Normal;
        return c;
    };
    switch (qtKey) {
    case Qt::Key_Space:
        c.action = TAction::Flip;
        return c;
    case Qt::Key_Left:
        return move(-1, 0);
    case Qt::Key_Right:
        return move(1, 0);
    case Qt::Key_Up:
        return move(0, -1);
    case Qt::Key_Down:
        return move(0, 1);
    // the main keyboard's plus, equals and minus resize as the keypad's do; with
    // Shift they arrive as "+" and "_" on many layouts, and Shift still means the fine step
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return grow(1);
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return grow(-1);
    // layouts with a plus key of its own give its shifted character instead:
    // "*" (German, Italian, Spanish) and "?" (Danish, Norwegian, Swedish); the
    // keypad's "*" and "/" stay what they are
    case Qt::Key_Asterisk:
    case Qt::Key_Question:
        if ((modifiers & Qt::ShiftModifier) && !(modifiers & Qt::KeypadModifier)) return grow(1);
        return c;
    default:
        return c;
    }
}
