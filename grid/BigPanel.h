#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QPointer>
#include <QWidget>

class QScrollBar;
class TBig;

/// One item of the virtual plane: where its control stands in virtual coordinates.
/// The control's own width and height are the item's size.
class TBigControl {
public:
    TBigControl(TBig* big, QWidget* control, int32_t x, int32_t y);

    int32_t X() const { return x_; }
    int32_t Y() const { return y_; }
    int32_t Width() const;
    int32_t Height() const;
    int32_t Right() const { return x_ + Width(); }
    int32_t Bottom() const { return y_ + Height(); }
    QWidget* Control() const { return control_; }
    TBig* Big() const { return big_; }

private:
    friend class TBig;
    TBig* big_;
    QPointer<QWidget> control_;
    int32_t x_;
    int32_t y_;
};

/// The state of one of the grid's scroll bars. The position runs from Min to Max - Page;
/// the on-screen QScrollBar mirrors it.
struct TScrollState {
    int Min = 0;
    int Max = 100;
    int Page = 0;
    int Position = 0;
    int LargeStep = 100;
};

/// A panel that keeps any number of widgets at positions in a large virtual plane, with
/// scroll bars of its own, and shows only the widgets near the visible part of the plane.
///
/// Items are plain QWidgets. The grid reads three things from an item: its current size
/// (width() and height()), its minimum width (minimumWidth()) and its preferred width, which
/// is sizeHint().width(); an item that wants a column width of its own reimplements sizeHint().
/// The grid parents the item's widget to its viewport but never owns it: removing an item, or
/// destroying the grid, hands the widget back unparented. An item widget destroyed while still
/// in the grid simply leaves it.
class TBig : public QWidget {
    Q_OBJECT
public:
    explicit TBig(QWidget* parent = nullptr);
    ~TBig() override;

    void AddItem(QWidget* control);
    void RemoveItem(QWidget* control);
    int ItemCount() const { return static_cast<int>(items_.size()); }
    /// The item at a position, or nullptr outside 0 … count - 1.
    TBigControl* Item(int index) const;
    TBigControl* FindItem(const QWidget* control) const;
    /// Moves and resizes one item; nothing happens when all four values are unchanged.
    void SetItemBounds(TBigControl* item, int32_t x, int32_t y, int32_t height, int32_t width);

    void Rearrange();
    void SetCurrent(QWidget* control);
    QWidget* Current() const { return current_; }
    void ScrollIntoView(QWidget* control);
    /// Sets a bar's position, kept within [Min, Max - Page].
    void ScrollTo(Qt::Orientation bar, int position);
    /// The grid's reaction to a wheel turn: one notch (120) scrolls 120 pixels, up for a
    /// positive delta. The main window calls it for wheel events that reach the window itself.
    void WheelScroll(int delta);

    bool UpdatesEnabled() const { return updatesEnabled_; }
    void SetUpdatesEnabled(bool on) { updatesEnabled_ = on; }
    void SetMargins(int horizontal, int vertical);
    /// The plane reaches at least this far, whatever items it holds: the rows of a
    /// list whose items are made only near the view.
    void SetExtent(int32_t right, int32_t bottom);

    int MinX() const { return minX_; }
    int MinY() const { return minY_; }
    int MaxRight() const { return maxRight_; }
    int MaxBottom() const { return maxBottom_; }
    const TScrollState& HorzBar() const { return horz_; }
    const TScrollState& VertBar() const { return vert_; }
    bool VertBarShown() const;
    bool HorzBarShown() const;
    /// The visible part of the plane, where the items are shown.
    QWidget* Viewport() const { return bigHolder_; }
    /// Width of the vertical scroll bar, which the layout keeps free when rows overflow.
    int VertBarWidth() const;

signals:
    /// The visible part of the plane moved: a bar was dragged or scrolled to.
    void Scrolled();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void ComputeBounds();
    void WidenBounds(const TBigControl& item);
    void UpdateScrollBars();
    void ConfigureBar(TScrollState& state, QScrollBar* bar, int minimum, int maximum, int extent);
    void SyncBar(const TScrollState& state, QScrollBar* bar);
    void Reposition();
    void PlaceParts();
    void ParkFocusIfInside(QWidget* control);
    void Forget(QObject* control);
    void BarMoved(Qt::Orientation bar, int value);

    std::vector<std::unique_ptr<TBigControl>> items_;
    QPointer<QWidget> current_;
    int minX_ = 0, minY_ = 0, maxRight_ = 1, maxBottom_ = 1;
    bool updatesEnabled_ = true;
    int marginH_ = 0, marginV_ = 0;
    int32_t extentRight_ = 0, extentBottom_ = 0;
    TScrollState horz_, vert_;

    QWidget* scrollbarHPanel_;
    QScrollBar* scrollBarH_;
    QWidget* cornerPanel_;
    QWidget* scrollbarVPanel_;
    QWidget* bigHolder_;
    QScrollBar* scrollBarV_;
};
