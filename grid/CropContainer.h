#pragma once

#include <QTimer>
#include <QWidget>

#include "grid/BigPanel.h"

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

signals:
    /// A layout ran to its end (one that a newer request overtook does not count).
    void LaidOut();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void TimerTimer();
    bool Layout();

    TBig* big_;
    QTimer timer_;
    int maxColumns_ = 0;
};
