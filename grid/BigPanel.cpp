#include "grid/BigPanel.h"

#include <algorithm>

#include <QApplication>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QWheelEvent>

namespace {

constexpr int kBarSize = 17; // width of the vertical bar, height of the horizontal strip
const QColor kCream(255, 251, 240);

void PaintCream(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, kCream);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

TBigControl::TBigControl(TBig* big, QWidget* control, int32_t x, int32_t y)
    : big_(big), control_(control), x_(x), y_(y) {}

int32_t TBigControl::Width() const {
    return control_ ? control_->width() : 0;
}
int32_t TBigControl::Height() const {
    return control_ ? control_->height() : 0;
}

TBig::TBig(QWidget* parent) : QWidget(parent) {
    scrollbarHPanel_ = new QWidget(this);
    scrollBarH_ = new QScrollBar(Qt::Horizontal, scrollbarHPanel_);
    scrollBarH_->setFocusPolicy(Qt::NoFocus);
    cornerPanel_ = new QWidget(scrollbarHPanel_);
    scrollbarVPanel_ = new QWidget(this);
    PaintCream(scrollbarVPanel_);
    bigHolder_ = new QWidget(scrollbarVPanel_);
    bigHolder_->setObjectName("BigHolder");
    PaintCream(bigHolder_);
    scrollBarV_ = new QScrollBar(Qt::Vertical, scrollbarVPanel_);
    scrollBarV_->setFocusPolicy(Qt::NoFocus);
    scrollBarV_->setSingleStep(10);
    scrollBarV_->setPageStep(100);
    scrollBarH_->setSingleStep(10);
    scrollBarH_->setPageStep(100);
    SyncBar(horz_, scrollBarH_);
    SyncBar(vert_, scrollBarV_);
    connect(scrollBarH_, &QScrollBar::valueChanged, this,
            [this](int v) { BarMoved(Qt::Horizontal, v); });
    connect(scrollBarV_, &QScrollBar::valueChanged, this,
            [this](int v) { BarMoved(Qt::Vertical, v); });
    // Nothing to scroll yet: both bars start hidden, as an empty plane fits any size.
    scrollbarHPanel_->hide();
    scrollBarV_->hide();
    PlaceParts();
}

TBig::~TBig() {
    // The item widgets belong to whoever added them, so they must not die with the viewport.
    for (auto& item : items_) {
        if (QWidget* c = item->control_) {
            disconnect(c, nullptr, this, nullptr);
            c->hide();
            c->setParent(nullptr);
        }
    }
}

TBigControl* TBig::Item(int index) const {
    if (index < 0 || index >= ItemCount()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

TBigControl* TBig::FindItem(const QWidget* control) const {
    if (!control) return nullptr;
    for (const auto& item : items_)
        if (item->control_ == control) return item.get();
    return nullptr;
}

void TBig::AddItem(QWidget* control) {
    if (!control || FindItem(control)) return;
    const QPoint pos = control->pos();
    control->setParent(bigHolder_);
    control->hide(); // explicitly, so showing the grid does not show it; Reposition decides
    connect(control, &QObject::destroyed, this, &TBig::Forget);
    items_.push_back(std::make_unique<TBigControl>(this, control, pos.x(), pos.y()));
    if (items_.size() == 1 && extentRight_ == 0 && extentBottom_ == 0) {
        minX_ = pos.x();
        minY_ = pos.y();
        maxRight_ = items_.back()->Right();
        maxBottom_ = items_.back()->Bottom();
    } else {
        WidenBounds(*items_.back());
    }
    if (updatesEnabled_) UpdateScrollBars();
}

void TBig::RemoveItem(QWidget* control) {
    auto it = std::find_if(items_.begin(), items_.end(),
                           [control](const auto& item) { return item->control_ == control; });
    if (!control || it == items_.end()) return;
    disconnect(control, nullptr, this, nullptr);
    ParkFocusIfInside(control);
    control->hide();
    control->setParent(nullptr);
    items_.erase(it);
    // A stale current pointer would make a later SetCurrent of a new widget at the same
    // address look like "already current".
    if (current_ == control) current_ = nullptr;
    Rearrange();
}

void TBig::Forget(QObject* control) {
    std::erase_if(items_, [control](const auto& item) {
        return item->control_.isNull() || static_cast<QObject*>(item->control_.data()) == control;
    });
    Rearrange();
}

void TBig::SetItemBounds(TBigControl* item, int32_t x, int32_t y, int32_t height, int32_t width) {
    if (!item || !item->control_) return;
    if (item->x_ == x && item->y_ == y && item->Height() == height && item->Width() == width)
        return;
    item->x_ = x;
    item->y_ = y;
    item->control_->resize(std::max(0, width), std::max(0, height));
    Rearrange();
}

void TBig::Rearrange() {
    if (!updatesEnabled_) return;
    ComputeBounds();
    UpdateScrollBars();
}

void TBig::ComputeBounds() {
    minX_ = minY_ = 0;
    maxRight_ = maxBottom_ = 1;
    bool first = true;
    for (const auto& item : items_) {
        if (!item->control_) continue;
        if (first) {
            minX_ = item->x_;
            minY_ = item->y_;
            maxRight_ = item->Right();
            maxBottom_ = item->Bottom();
            first = false;
        } else {
            WidenBounds(*item);
        }
    }
    if (extentRight_ > 0 || extentBottom_ > 0) {
        // the plane of a list starts at its first cell, framed or not
        minX_ = std::min(first ? 0 : minX_, 0);
        minY_ = std::min(first ? 0 : minY_, 0);
        maxRight_ = std::max(maxRight_, extentRight_);
        maxBottom_ = std::max(maxBottom_, extentBottom_);
    }
}

void TBig::SetExtent(int32_t right, int32_t bottom) {
    if (right == extentRight_ && bottom == extentBottom_) return;
    extentRight_ = right;
    extentBottom_ = bottom;
    Rearrange();
}

void TBig::WidenBounds(const TBigControl& item) {
    minX_ = std::min(minX_, item.X());
    minY_ = std::min(minY_, item.Y());
    maxRight_ = std::max(maxRight_, item.Right());
    maxBottom_ = std::max(maxBottom_, item.Bottom());
}

bool TBig::VertBarShown() const {
    return !scrollBarV_->isHidden();
}
bool TBig::HorzBarShown() const {
    return !scrollbarHPanel_->isHidden();
}
int TBig::VertBarWidth() const {
    return kBarSize;
}

void TBig::UpdateScrollBars() {
    scrollBarV_->setVisible(height() < maxBottom_ - minY_);
    PlaceParts();
    // Decided after the vertical bar, whose presence narrows the viewport.
    scrollbarHPanel_->setVisible(bigHolder_->width() < maxRight_ - minX_);
    PlaceParts();
    if (VertBarShown())
        ConfigureBar(vert_, scrollBarV_, minY_, std::max(1, maxBottom_), bigHolder_->height());
    ConfigureBar(horz_, scrollBarH_, minX_, std::max(1, maxRight_), bigHolder_->width());
    Reposition();
}

void TBig::ConfigureBar(TScrollState& state, QScrollBar* bar, int minimum, int maximum,
                        int extent) {
    state.Page = 0;
    int thumb = style()->pixelMetric(QStyle::PM_ScrollBarSliderMin, nullptr, bar);
    if (thumb <= 0) thumb = kBarSize;
    extent = std::max(thumb, extent);
    int p = std::max(0, std::min(state.Position, maximum - extent));
    p = std::clamp(p, minimum, std::max(minimum, maximum));
    state.Position = p;
    state.Min = minimum;
    state.Max = maximum;
    state.Page = extent;
    state.LargeStep = std::max(100, extent);
    SyncBar(state, bar);
}

void TBig::SyncBar(const TScrollState& state, QScrollBar* bar) {
    // The on-screen bar's range ends at Max - Page, so dragging the thumb stops there too.
    const QSignalBlocker block(bar);
    bar->setRange(state.Min, std::max(state.Min, state.Max - state.Page));
    bar->setPageStep(std::max(1, state.Page));
    bar->setValue(state.Position);
}

void TBig::BarMoved(Qt::Orientation bar, int value) {
    TScrollState& state = bar == Qt::Vertical ? vert_ : horz_;
    if (state.Position == value) return;
    state.Position = value;
    if (updatesEnabled_) Reposition();
    emit Scrolled();
}

void TBig::ScrollTo(Qt::Orientation bar, int position) {
    TScrollState& state = bar == Qt::Vertical ? vert_ : horz_;
    int p = std::min(position, state.Max - state.Page);
    if (p < state.Min) p = state.Min;
    if (p == state.Position) return;
    state.Position = p;
    SyncBar(state, bar == Qt::Vertical ? scrollBarV_ : scrollBarH_);
    if (updatesEnabled_) Reposition();
    emit Scrolled();
}

void TBig::WheelScroll(int delta) {
    ScrollTo(Qt::Vertical, vert_.Position - delta);
}

void TBig::SetMargins(int horizontal, int vertical) {
    marginH_ = horizontal;
    marginV_ = vertical;
}

void TBig::SetCurrent(QWidget* control) {
    if (current_ == control) return;
    current_ = control;
    if (!updatesEnabled_) return;
    ScrollIntoView(control);
    Reposition();
}

void TBig::ScrollIntoView(QWidget* control) {
    const TBigControl* item = FindItem(control);
    if (!item) return;
    const int view = bigHolder_->height();
    const int pos = vert_.Position;
    if (item->Height() >= view || item->Y() < pos)
        ScrollTo(Qt::Vertical, item->Y());
    else if (item->Bottom() > pos + view)
        ScrollTo(Qt::Vertical, item->Bottom() - view);
}

void TBig::Reposition() {
    const int64_t left = horz_.Position;
    const int64_t top = VertBarShown() ? vert_.Position : 0;
    const int64_t right = left + bigHolder_->width();
    const int64_t bottom = top + bigHolder_->height();
    for (const auto& item : items_) {
        QWidget* c = item->control_;
        if (!c) continue;
        const bool near = item->X() <= right + marginH_ && item->Right() >= left - marginH_ &&
                          item->Y() <= bottom + marginV_ && item->Bottom() >= top - marginV_;
        if (near) {
            c->move(static_cast<int>(item->X() - left), static_cast<int>(item->Y() - top));
            if (c->isHidden()) {
                c->show();
                // The current frame lost the focus when it scrolled away; it gets it back.
                if (c == current_) c->setFocus(Qt::OtherFocusReason);
            }
        } else if (!c->isHidden()) {
            ParkFocusIfInside(c);
            c->hide();
        }
    }
}

void TBig::ParkFocusIfInside(QWidget* control) {
    // Hiding a focused widget would pass the focus on to the next frame, which would then
    // announce itself as selected; the viewport holds the focus instead.
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == control || control->isAncestorOf(focus)))
        bigHolder_->setFocus(Qt::OtherFocusReason);
}

void TBig::PlaceParts() {
    const int w = width(), h = height();
    const bool hShown = HorzBarShown();
    const int vh = std::max(0, h - (hShown ? kBarSize : 0));
    scrollbarHPanel_->setGeometry(0, vh, w, kBarSize);
    scrollBarH_->setGeometry(0, 0, std::max(0, w - kBarSize), kBarSize);
    cornerPanel_->setGeometry(std::max(0, w - kBarSize), 0, kBarSize, kBarSize);
    scrollbarVPanel_->setGeometry(0, 0, w, vh);
    const bool vShown = VertBarShown();
    scrollBarV_->setGeometry(std::max(0, w - kBarSize), 0, kBarSize, vh);
    bigHolder_->setGeometry(0, 0, std::max(0, w - (vShown ? kBarSize : 0)), vh);
}

void TBig::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceParts();
    // Bring the bars and the shown items in line at once; the container lays out later.
    if (updatesEnabled_) UpdateScrollBars();
}

void TBig::wheelEvent(QWheelEvent* event) {
    WheelScroll(event->angleDelta().y());
    event->ignore(); // travels on to the container
}
