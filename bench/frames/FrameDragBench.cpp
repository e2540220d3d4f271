// Times one drag step of the crop editor (the crop area recalculated and the
// editor repainted) at the Huge view height of 800 pixels, in each look.
// Usage: bench_frame_drag [steps]; prints the median and the 90th percentile.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>

#include "frames/CFrame.h"

namespace {
void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button) {
    const QPointF local(at);
    QMouseEvent event(type, local, w->mapToGlobal(local), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}
} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;

    // a 4000x3000 photo-like picture with gradients and detail
    QTemporaryDir dir;
    const QString file = dir.filePath("bench.jpg");
    QImage picture(4000, 3000, QImage::Format_RGB32);
    {
        QPainter p(&picture);
        QLinearGradient g(0, 0, 4000, 3000);
        g.setColorAt(0, QColor(30, 80, 160));
        g.setColorAt(1, QColor(230, 190, 60));
        p.fillRect(picture.rect(), g);
        for (int i = 0; i < 200; ++i)
            p.fillRect(QRect((i * 397) % 3900, (i * 211) % 2900, 100, 100),
                       QColor::fromHsv(i * 7 % 360, 200, 220));
    }
    picture.save(file, "JPG", 90);

    TCFrame editor;
    editor.resize(1200, 800);
    editor.show();
    TCropView& area = editor.Area();
    area.Edit([](TCropArea& a) { a.UseBlockGrid(); });
    if (!editor.LoadImage(file.toStdString())) {
        std::fprintf(stderr, "cannot load %s\n", qPrintable(file));
        return 1;
    }
    area.Edit([](TCropArea& a) {
        a.SetCropVisible(true);
        a.SetAspect("defined", 3, 2);
        a.Maximize();
        a.SetArea(800, 600, 2400);
    });
    QApplication::processEvents();
    std::printf("thumbnail %dx%d in an editor of %dx%d, %d steps per look\n", area.ThumbWidth(),
                area.ThumbHeight(), editor.width(), editor.height(), steps);

    const char* names[] = {"Box", "Black", "Inverse", "Fade", "Grey"};
    for (int look = 0; look < 5; ++look) {
        editor.SetLook(look);
        const QPoint centre =
            editor.ThumbRect().topLeft() + QPoint(area.ThumbWidth() / 2, area.ThumbHeight() / 2);
        Send(&editor, QEvent::MouseButtonPress, centre, Qt::LeftButton);
        std::vector<double> times;
        for (int i = 0; i < steps; ++i) {
            // back and forth by up to 40 pixels, so every step moves the area
            const int dx = (i % 40 < 20 ? i % 20 : 20 - i % 20) * 2;
            const auto start = std::chrono::steady_clock::now();
            Send(&editor, QEvent::MouseMove, centre + QPoint(dx, dx / 2), Qt::NoButton);
            editor.repaint();
            const auto end = std::chrono::steady_clock::now();
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        Send(&editor, QEvent::MouseButtonRelease, centre, Qt::LeftButton);
        std::sort(times.begin(), times.end());
        std::printf("%-8s median %.2f ms, 90%% %.2f ms\n", names[look], times[times.size() / 2],
                    times[times.size() * 9 / 10]);
    }
    return 0;
}
