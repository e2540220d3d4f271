// Times the frame grid's layout of 1,000 frames (goal: under 50 ms), on the offscreen
// platform unless another one is set.
//   bench_layout [frames] [rounds]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <QApplication>

#include "grid/CropContainer.h"

namespace {

// A frame as the grid sees one: a preferred width and a height, with a few children to move.
class TBenchFrame : public QWidget {
public:
    TBenchFrame(int y, int height) {
        setGeometry(0, y, 100, height);
        setMinimumWidth(365);
        for (int i = 0; i < 4; ++i)
            (new QWidget(this))->setGeometry(5, 5 + 20 * i, 80, 18);
    }
    QSize sizeHint() const override { return {420, height()}; }
};

double Millis(const std::function<void()>& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-34s median %7.2f ms   best %7.2f ms   worst %7.2f ms\n", what,
                times[times.size() / 2], times.front(), times.back());
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    QApplication app(argc, argv);

    std::vector<double> first, resized, unchanged, scrolled, added;
    for (int r = 0; r < rounds; ++r) {
        TCContainer grid;
        grid.resize(1600, 1000);
        grid.SetMargins();
        grid.show();
        QApplication::processEvents();
        std::vector<std::unique_ptr<TBenchFrame>> items;
        // Frames arrive in one column with updates off, as the add run brings them.
        added.push_back(Millis([&] {
            grid.Big()->SetUpdatesEnabled(false);
            for (int i = 0; i < frames; ++i) {
                items.push_back(std::make_unique<TBenchFrame>(i * 350, 350));
                grid.Big()->AddItem(items.back().get());
            }
            grid.Big()->SetUpdatesEnabled(true);
        }));
        first.push_back(Millis([&] { grid.LayoutNow(); }));
        unchanged.push_back(Millis([&] { grid.LayoutNow(); }));
        grid.resize(1200, 1000);
        QApplication::processEvents();
        resized.push_back(Millis([&] { grid.LayoutNow(); }));
        scrolled.push_back(Millis([&] {
                               for (int s = 0; s < 100; ++s)
                                   grid.Big()->WheelScroll(-120);
                           }) /
                           100);
    }
    std::printf("%d frames, %d rounds\n", frames, rounds);
    Report("adding the frames (no layout)", added);
    Report("first layout", first);
    Report("layout that changes nothing", unchanged);
    Report("layout after a width change", resized);
    Report("one wheel notch (reposition)", scrolled);
    return 0;
}
