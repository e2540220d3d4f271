#pragma once

#include <functional>

#include <QRect>
#include <QTimer>
#include <QWidget>

#include "grid/BigPanel.h"

/// What the grid needs to know of a list whose items are all alike: how many,
/// the least and the preferred width of one, and its height.
struct TGridCells {
    int Count = 0;
    int MinWidth = 0;
    int PreferredWidth = 0;
    int Height = 0;
};

/// Where the cells of a laid-out grid stand in the plane: equal columns, rows
/// of equal height, the gap between them.
struct TGridShape {
    int Count = 0;
    int Columns = 1;
    int ColWidth = 0;
    int RowHeight = 0;
    int Gap = 0;
    QRect Cell(int index) const;
    /// The first cell of the row at or above y and the end of the row at or below
    /// bottom, both within [0, Count].
    std::pair<int, int> CellsBetween(int top, int bottom) const;
    int Bottom() const;
};

/// The image area: one TBig filling the container, laid out in equal-width columns with
/// 5-pixel gaps, stretched to fill the width. Layout requests are debounced: the layout runs
/// 500 ms after the last request, so a burst of resizes or additions lays the grid out once.
/// A resize only re-arms the timer; it processes no events.
class TCContainer : public QWidget {
    Q_OBJECT
public:
    explicit TCContainer(QWidget* parent = nullptr);

    TBig* Big() const { return big_; }

    /// (Re)arms the 500 ms layout timer; processes no events.
    void RequestLayout();
    /// Lays the grid out at once, cancelling a pending request.
    void LayoutNow();
    bool LayoutPending() const { return timer_.isActive(); }

    int MaxColumns() const { return maxColumns_; }
    /// Column limit, 0 for none; a change requests a layout.
    void SetMaxColumns(int n);
    /// Gives the grid the 6-pixel margins within which items near the view are kept shown.
    void SetMargins();
    /// Lays out cells instead of the grid's items: each layout reads the cells,
    /// shapes the grid for them and calls place, which puts widgets into the cells
    /// near the view; place runs again whenever the grid scrolls.
    void SetCells(std::function<TGridCells()> cells, std::function<void()> place);
    const TGridShape& Shape() const { return shape_; }

signals:
    /// A layout ran to its end (one that a newer request overtook does not count).
    void LaidOut();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void TimerTimer();
    bool Layout();
    /// Columns and their width for count items of the given widths and height.
    TGridShape ShapeFor(int count, int colMin, int preferred, int rowHeight) const;

    TBig* big_;
    std::function<TGridCells()> cells_;
    std::function<void()> place_;
    TGridShape shape_;
    QTimer timer_;
    int maxColumns_ = 0;
};
