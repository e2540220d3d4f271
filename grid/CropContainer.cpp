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

bool TCContainer::Layout() {
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

    const int w = std::min(std::max(colMin, pref), big_->Viewport()->width());
    const int avail = big_->width() - big_->VertBarWidth();
    int fit = 0;
    for (int total = -kGap; total + kGap + w < avail; total += w + kGap) {
        ++fit;
        if (overtaken()) return false;
    }
    int columns = std::max(1, std::min(fit, count));
    if (maxColumns_ > 0) columns = std::min(columns, maxColumns_);

    const int rows = (count + columns - 1) / columns;
    const bool overflow =
        int64_t{kGap} * std::max(0, rows - 1) + int64_t{rows} * rowHeight > big_->height();
    const int usable = overflow ? big_->width() - big_->VertBarWidth() : big_->width();
    const int extra = (usable - columns * w - columns * kGap) / columns;
    const int colWidth = w + extra;

    int x = 0, y = 0;
    for (int i = 0; i < count; ++i) {
        TBigControl* item = big_->Item(i);
        big_->SetItemBounds(item, x, y, item->Height(), colWidth);
        x += colWidth + kGap;
        if (x + colWidth > usable) {
            x = 0;
            y += rowHeight + kGap;
        }
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
