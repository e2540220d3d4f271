#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QWheelEvent>
#include <QWidget>

/// A stand-in for an image frame: a focusable widget with a chosen preferred width.
class TGridItem : public QWidget {
public:
    TGridItem(int x, int y, int width, int height, int preferredWidth = -1)
        : preferred_(preferredWidth) {
        setGeometry(x, y, width, height);
        setFocusPolicy(Qt::StrongFocus);
    }
    QSize sizeHint() const override {
        if (onSizeHint) onSizeHint();
        return {preferred_, height()};
    }
    std::function<void()> onSizeHint;

private:
    int preferred_;
};

/// n items of one size standing in one column, as new frames do before the first layout.
inline std::vector<std::unique_ptr<TGridItem>> MakeColumn(int n, int width, int height,
                                                          int preferredWidth = -1) {
    std::vector<std::unique_ptr<TGridItem>> items;
    for (int i = 0; i < n; ++i)
        items.push_back(std::make_unique<TGridItem>(0, i * height, width, height, preferredWidth));
    return items;
}

/// A parent that counts the wheel events that travel on to it.
struct TWheelSink : QWidget {
    int wheels = 0;
    void wheelEvent(QWheelEvent* e) override {
        ++wheels;
        e->accept();
    }
};
