#include "grid/CropContainer.h"

#include <algorithm>

#include <QResizeEvent>
#include <QWheelEvent>

namespace {

constexpr int kGap = 5;          // between columns and between rows; no outer margin
constexpr int kDebounceMs = 500; // a burst of requests lays the grid out once
constexpr int kViewMargin = 6;   // items this close to the view are kept shown

} // namespace

TCContainer::TCContainer(QWidget* parent) : QWidget(parent), big_(new TBig(this)) {
    setObjectName("ImagePanel");
    timer_.setInterval(kDebounceMs);
    connect(&timer_, &QTimer::timeout, this, &TCContainer::TimerTimer);
}

void TCContainer::RequestLayout() {
    // Only (re)arm the timer: the layout runs from the event loop, after whatever is
    // pending, so a burst of requests lays the grid out once and nothing re-enters here.
    timer_.start(kDebounceMs);
}

void TCContainer::LayoutNow() {
    timer_.stop();
    if (Layout()) emit LaidOut();
}

void TCContainer::TimerTimer() {
    timer_.stop();
    if (Layout()) emit LaidOut();
}

void TCContainer::SetMaxColumns(int n) {
    if (n == maxColumns_) return;
    maxColumns_ = n;
    RequestLayout();
}

void TCContainer::SetMargins() {
    big_->SetMargins(kViewMargin, kViewMargin);
}

QRect TGridShape::Cell(int index) const {
    const int columns = std::max(1, Columns);
    return QRect((index % columns) * (ColWidth + Gap), (index / columns) * (RowHeight + Gap),
                 ColWidth, RowHeight);
}

std::pair<int, int> TGridShape::CellsBetween(int top, int bottom) const {
    const int columns = std::max(1, Columns);
    const int pitch = std::max(1, RowHeight + Gap);
    const int first = std::clamp(top / pitch, 0, (Count + columns - 1) / columns) * columns;
    const int end = (std::max(0, bottom) / pitch + 1) * columns;
    return {std::min(first, Count), std::clamp(end, 0, Count)};
}

int TGridShape::Bottom() const {
    const int rows = (Count + std::max(1, Columns) - 1) / std::max(1, Columns);
    return rows == 0 ? 0 : rows * (RowHeight + Gap) - Gap;
}

void TCContainer::SetCells(std::function<TGridCells()> cells, std::function<void()> place) {
    cells_ = std::move(cells);
    place_ = std::move(place);
    // the cells near the view follow every scroll
    connect(big_, &TBig::Scrolled, this, [this] {
        if (place_) place_();
    });
}

TGridShape TCContainer::ShapeFor(int count, int colMin, int preferred, int rowHeight) const {
    TGridShape shape;
    shape.Count = count;
    shape.Gap = kGap;
    shape.RowHeight = rowHeight;
    if (count == 0) return shape;
    const int w = std::min(std::max(colMin, preferred), big_->Viewport()->width());
    const int avail = big_->width() - big_->VertBarWidth();
    const int fit = w + kGap > 0 ? std::max(0, (avail + kGap - 1) / (w + kGap)) : 1;
    int columns = std::max(1, std::min(fit, count));
    if (maxColumns_ > 0) columns = std::min(columns, maxColumns_);

    const int rows = (count + columns - 1) / columns;
    const bool overflow =
        int64_t{kGap} * std::max(0, rows - 1) + int64_t{rows} * rowHeight > big_->height();
    const int usable = overflow ? big_->width() - big_->VertBarWidth() : big_->width();
    const int extra = (usable - columns * w - columns * kGap) / columns;
    shape.Columns = columns;
    shape.ColWidth = w + extra;
    return shape;
}

bool TCContainer::Layout() {
    if (cells_) {
        const TGridCells cells = cells_();
        shape_ = ShapeFor(cells.Count, cells.MinWidth, cells.PreferredWidth, cells.Height);
        big_->SetExtent(shape_.Count == 0 ? 0 : shape_.Columns * (shape_.ColWidth + kGap) - kGap,
                        shape_.Bottom());
        if (place_) place_();
        return true;
    }
    // Moving the items one by one must not redraw the grid each time; whatever happens, the
    // grid ends in the update state it had and is brought in line once.
    struct TRestore {
        TBig* big;
        bool was;
        ~TRestore() {
            big->SetUpdatesEnabled(was);
            big->Rearrange();
        }
    } restore{big_, big_->UpdatesEnabled()};
    big_->SetUpdatesEnabled(false);

    // A request that arrives while the layout runs (events processed by a resize, for example)
    // overtakes it: this one stops and the pending one lays out again later.
    auto overtaken = [this] { return timer_.isActive(); };

    const int count = big_->ItemCount();
    int colMin = 0, pref = 0, rowHeight = 0;
    for (int i = 0; i < count; ++i) {
        const QWidget* c = big_->Item(i)->Control();
        if (!c) continue;
        colMin = std::max(colMin, c->minimumWidth());
        pref = std::max(pref, c->sizeHint().width());
        rowHeight = std::max(rowHeight, c->height());
        if (overtaken()) return false;
    }
    if (count == 0) return true;
    shape_ = ShapeFor(count, colMin, pref, rowHeight);
    for (int i = 0; i < count; ++i) {
        TBigControl* item = big_->Item(i);
        const QRect cell = shape_.Cell(i);
        big_->SetItemBounds(item, cell.x(), cell.y(), item->Height(), cell.width());
        if (overtaken()) return false;
    }
    return true;
}

void TCContainer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    big_->setGeometry(rect());
    // Only re-arm the timer: a resize arrives from inside Qt's own showing and layout
    // of the window, and events processed there may delete objects (animations, for
    // one) that Qt is still walking through.
    timer_.start(kDebounceMs);
}

void TCContainer::wheelEvent(QWheelEvent* event) {
    // The grid has already scrolled; the container has no bar of its own to move, as the
    // grid always fills it.
    event->accept();
}
