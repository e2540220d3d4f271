// The main window on many large photos, each figure against the bare work:
//  1. adding a folder, against the bare sequential thumbnail decode of the same
//     files at the same height, and the memory each frame keeps;
//  2. cropping some of them, against bare sequential jpegtran calls with the
//     same arguments;
//  3. scrolling through all frames at Medium after the view size changed, so
//     that thumbnails are made again: the longest gap between event-loop turns;
//  4. Ctrl+A, then a turn and an aspect for every photo: the longest gap;
//  5. the resident memory of the whole program.
//
//   bench_add_images FOLDER [CROPS] [faces=off]
//                                     (at least 100 JPEG photos; runs offscreen;
//                                      QT_SCALE_FACTOR=2 measures a HiDPI screen;
//                                      faces=off adds without looking for faces;
//                                      CROPS 0 skips the crop)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <time.h>

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include "ScriptlessPrompt.h"
#include "core/FilesystemController.h"
#include "frames/IFrame.h"
#include "grid/BigPanel.h"
#include "grid/CropContainer.h"
#include "jobs/Transformer.h"
#include "jpeg/JpegThumbnail.h"
#include "model/Options.h"
#include "ui/FrameList.h"
#include "ui/MainForm.h"

namespace {
using TClock = std::chrono::steady_clock;

double Since(TClock::time_point t) {
    return std::chrono::duration<double>(TClock::now() - t).count();
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Processor time of the whole process and of its finished child processes.
double ProcessCpuSeconds() {
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    const auto sum = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return sum(self.ru_utime) + sum(self.ru_stime) + sum(children.ru_utime) +
           sum(children.ru_stime);
}

long ResidentKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// How long the window is deaf: a precise 5 ms beat, each late beat counting as a stall of
// its lateness. A beat of 0 ms would measure the same but keep one processor busy with
// the event loop itself, taking it from the decoding threads.
class THeartbeat {
public:
    explicit THeartbeat(std::function<void()> each = {}) : each_(std::move(each)) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = TClock::now();
            const double cpu = ThreadCpuSeconds();
            const double stall =
                std::chrono::duration<double>(now - last_).count() - kBeat / 1000.0;
            if (stall > longest) {
                longest = stall;
                longestAt = std::chrono::duration<double>(now - start_).count();
            }
            longestCpu = std::max(longestCpu, cpu - lastCpu_);
            over += stall > 0.05 ? 1 : 0;
            last_ = now;
            lastCpu_ = cpu;
            if (each_) each_();
        });
        Restart();
    }
    void Restart() {
        longest = longestCpu = longestAt = 0;
        start_ = TClock::now();
        over = 0;
        last_ = TClock::now();
        lastCpu_ = ThreadCpuSeconds();
        timer_.start(kBeat);
    }
    void Stop() { timer_.stop(); }

    double longest = 0;    // seconds
    double longestAt = 0;  // when it ended, from the start
    double longestCpu = 0; // processor time of the window's thread between two beats
    int over = 0;          // stalls over 50 ms

private:
    static constexpr int kBeat = 5;
    std::function<void()> each_;
    QTimer timer_;
    TClock::time_point start_, last_;
    double lastCpu_ = 0;
};

// Runs the window's event loop until a run is over. A loop of processEvents() with a
// time limit would never sleep, taking a processor from the run it measures.
template <typename Signal, typename Running>
void WaitFor(TMainForm& window, Signal finished, Running running) {
    QEventLoop loop;
    QObject::connect(&window, finished, &loop, &QEventLoop::quit);
    if (running()) loop.exec();
}

// What the user sees of an add: when frames arrive, and how long the window is deaf.
struct TAddFigures {
    std::vector<double> arrived; // seconds from the start to the n-th photo
    double screenDone = -1;      // the frames in view all show a picture
    double longestStall = 0;     // between two turns of the event loop
    double longestStallAt = 0;   // seconds from the start
};

// Frames arrive between the window's events: runs the loop until the run is over.
TAddFigures WaitForAdd(TMainForm& window, TClock::time_point start = TClock::now()) {
    TAddFigures figures;
    const auto arrive = [&] {
        while (figures.arrived.size() < window.List().Count())
            figures.arrived.push_back(Since(start));
        if (figures.screenDone >= 0 || window.List().Empty()) return;
        // the view is full (or the list ends in it) and every frame in it shows a picture
        int shown = 0;
        for (TIFrame* f : window.Images()) {
            if (!f || !f->isVisible()) continue;
            if (!f->Cropper()->Area().HasThumbnail()) return;
            ++shown;
        }
        TBig* big = window.Container()->Big();
        if (shown > 0 && (big->VertBarShown() || !window.Adding()))
            figures.screenDone = Since(start);
    };
    THeartbeat beat(arrive);
    WaitFor(window, &TMainForm::addRunFinished, [&] { return window.Adding(); });
    arrive();
    figures.longestStall = beat.longest;
    figures.longestStallAt = beat.longestAt;
    return figures;
}

void AddBench(TMainForm& window, const std::string& folder) {
    const long before = ResidentKiB();
    const auto start = TClock::now();
    const double startCpu = ProcessCpuSeconds();
    const double startUi = ThreadCpuSeconds();
    window.AddFolder(folder, false);
    const TAddFigures figures = WaitForAdd(window, start);
    const double addSeconds = Since(start);
    const double addCpu = ProcessCpuSeconds() - startCpu;
    const double addUi = ThreadCpuSeconds() - startUi;
    const std::size_t n = window.List().Count();
    const long after = ResidentKiB();
    const int height = window.Images().front()->Cropper()->height();
    // the window decodes in device pixels: the bare decode does the same
    const int deviceHeight = window.Images().front()->Cropper()->Area().DecodeHeight();

    std::vector<std::string> files;
    for (const TOrderPhoto& photo : window.List().Order().Photos())
        files.push_back(photo.File());
    const auto bare = TClock::now();
    const double bareCpuStart = ProcessCpuSeconds();
    for (const std::string& file : files)
        ReadJpegThumbnail(file, 0, deviceHeight);
    const double bareSeconds = Since(bare);
    const double bareCpu = ProcessCpuSeconds() - bareCpuStart;

    std::printf("1. adding %zu photos, thumbnails %d px high (Medium view), %d device pixels\n", n,
                height, deviceHeight);
    std::printf("   through the window:    %.1f images/s (%.3f s)\n", n / addSeconds, addSeconds);
    std::printf("   bare sequential decode: %.1f images/s (%.3f s)\n", n / bareSeconds,
                bareSeconds);
    std::printf("   ratio: %.2f (goal: at most 0.6)\n", addSeconds / bareSeconds);
    std::size_t screen = 0;
    for (TIFrame* f : window.Images())
        screen += f && f->isVisible() ? 1 : 0;
    std::printf("   first photo listed after %.3f s, first screen (%zu frames) with its pictures "
                "after %.3f s (goal: within 0.5 s)\n",
                figures.arrived.front(), screen, figures.screenDone);
    std::printf("   longest gap between event-loop turns while adding: %.1f ms (goal: under "
                "50 ms), %.2f s from the start\n",
                1000 * figures.longestStall, figures.longestStallAt);
    std::printf("   processor time: %.3f s through the window (%.3f s of it on the window's "
                "thread), %.3f s bare\n",
                addCpu, addUi, bareCpu);
    // what the wall time can be at best when no other program wants the processors
    std::printf("   ratio on %u free cores from these times: %.2f\n",
                std::thread::hardware_concurrency(),
                std::max(addUi, addCpu / std::thread::hardware_concurrency()) / bareCpu);
    std::printf("   resident memory per photo: %.3f MB, of the whole program %.0f MB\n",
                (after - before) / 1024.0 / n, after / 1024.0);
    // the faces are looked for behind the thumbnails, at the lowest priority
    if (window.List().LookingForFaces()) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!window.List().LookingForFaces()) loop.quit();
        });
        poll.start(20);
        loop.exec();
        std::printf("   every photo's faces found %.3f s after the start\n", Since(start));
    }
}

void CropBench(TMainForm& window, std::size_t crops) {
    const std::string tool = FindTransformer();
    const auto out = std::filesystem::temp_directory_path() / "trimvale-bench-crops";
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out / "bare");
    const std::vector<TOrderPhoto>& all = window.List().Order().Photos();
    const std::vector<TOrderPhoto> photos(all.begin(),
                                          all.begin() + std::min(crops, all.size()));
    // the same calls as the run makes, last photo first, one after the other
    const auto bare = TClock::now();
    const double bareCpuStart = ProcessCpuSeconds();
    for (auto it = photos.rbegin(); it != photos.rend(); ++it) {
        const TCropRect r = it->Choice.Crop;
        const TCropSpec cut{r.x, r.y, r.width, r.height, it->Choice.Rotation, it->Kind};
        RunTransformer(tool, CropCall(TransformOptions(true, true), cut, it->File(),
                                      (out / "bare" / it->Choice.DestName).string()));
    }
    const double bareSeconds = Since(bare);
    const double bareCpu = ProcessCpuSeconds() - bareCpuStart;
    window.DirEdit()->setText(QString::fromStdString(out.string()));
    const std::size_t before = window.List().Count();
    std::vector<std::string> files;
    for (const TOrderPhoto& photo : photos)
        files.push_back(photo.File());
    const auto start = TClock::now();
    const double startCpu = ProcessCpuSeconds();
    const double startUi = ThreadCpuSeconds();
    window.CropPhotos(files, true);
    // the jobs report between the window's events, after the run has begun
    WaitFor(window, &TMainForm::cropRunFinished, [&] { return window.Processing(); });
    const double cropSeconds = Since(start);
    const double cropCpu = ProcessCpuSeconds() - startCpu;
    const double cropUi = ThreadCpuSeconds() - startUi;
    std::printf("2. cropping %zu photos (options -copy all -optimize, resolution written)\n",
                photos.size());
    std::printf("   through the window:          %.3f s (%zu photos left the list)\n", cropSeconds,
                before - window.List().Count());
    std::printf("   bare sequential jpegtran calls: %.3f s\n", bareSeconds);
    std::printf("   ratio: %.2f (goal: at most 0.6 on two cores)\n", cropSeconds / bareSeconds);
    std::printf("   processor time with jpegtran's: %.3f s through the window (%.3f s of it on "
                "the window's thread), %.3f s bare\n",
                cropCpu, cropUi, bareCpu);
    std::printf("   ratio on %u free cores from these times: %.2f\n",
                std::thread::hardware_concurrency(),
                std::max(cropUi, cropCpu / std::thread::hardware_concurrency()) / bareCpu);
    std::filesystem::remove_all(out);
}

void ScrollBench(TMainForm& window) {
    // a new view size makes every thumbnail again, those out of view as they come into it
    const auto switchStart = TClock::now();
    window.Action("SmallAction")->trigger();
    window.Action("MediumAction")->trigger();
    const double switchSeconds = Since(switchStart);

    TBig* big = window.Container()->Big();
    THeartbeat beat;
    // a steady scroll every 15 ms, top to bottom: a wheel notch, or a page for a long list
    const int stride = window.List().Count() > 1000 ? big->Viewport()->height() : 120;
    QTimer step;
    bool done = false;
    double longestStep = 0;
    QObject::connect(&step, &QTimer::timeout, [&] {
        const int pos = big->VertBar().Position;
        const auto t = TClock::now();
        big->ScrollTo(Qt::Vertical, pos + stride);
        longestStep = std::max(longestStep, Since(t));
        if (big->VertBar().Position == pos) done = true;
    });

    const auto layout = TClock::now(); // the grid lays itself out 500 ms after the switch
    while (Since(layout) < 1.0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    big->ScrollTo(Qt::Vertical, 0);
    beat.Restart();
    const auto scrollStart = TClock::now();
    step.start(15);
    while (!done)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // the last thumbnails arrive
    const auto settle = TClock::now();
    while (Since(settle) < 1.0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double scrollSeconds = Since(scrollStart);
    step.stop();
    beat.Stop();
    std::size_t fresh = 0;
    std::size_t framed = 0;
    for (TIFrame* f : window.Images()) {
        if (!f) continue;
        ++framed;
        fresh += f->Cropper()->Area().Thumbnail().Height() >= f->Cropper()->height() &&
                         !f->Cropper()->ThumbnailPending()
                     ? 1
                     : 0;
    }
    std::printf("3. %zu photos at Medium; Small then Medium took %.3f s\n", window.List().Count(),
                switchSeconds);
    std::printf("   scrolling top to bottom (%.1f s): longest gap between event-loop turns "
                "%.1f ms (goal: under 50 ms), %d gaps over 50 ms; longest scroll step %.1f ms\n",
                scrollSeconds, 1000 * beat.longest, beat.over, 1000 * longestStep);
    // on a busy machine a gap is mostly waiting for a processor; this part is the window's own
    std::printf("   longest turn in processor time of the window's thread: %.1f ms\n",
                1000 * beat.longestCpu);
    std::printf("   frames near the view at the end: %zu (%zu made in all), %zu of them with "
                "their new thumbnail\n",
                framed, window.List().FramesMade(), fresh);
}

// Every photo chosen, then turned and given another aspect, each as one step.
void ManyBench(TMainForm& window) {
    THeartbeat beat;
    const auto settle = [] {
        const auto t = TClock::now();
        while (Since(t) < 0.5)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    std::printf("4. all %zu photos chosen (Ctrl+A)\n", window.List().Count());
    const auto timed = [&](const char* what, const std::function<void()>& act) {
        beat.Restart();
        const auto t = TClock::now();
        act();
        const double took = Since(t);
        settle();
        std::printf("   %-28s %.1f ms; longest gap between event-loop turns %.1f ms (goal: under "
                    "100 ms)\n",
                    what, 1000 * took, 1000 * beat.longest);
    };
    timed("choosing all:", [&] { window.SelectAllExecute(); });
    timed("a turn to the right:", [&] { window.Action("RotateRightAction")->trigger(); });
    timed("undoing it:", [&] { window.Action("UndoAction")->trigger(); });
    window.List().ShowCurrent(); // scrolled away: its frame comes back
    timed("the aspect flipped for all:", [&] {
        if (TIFrame* f = window.CurrentFrame()) f->ToggleFlip();
    });
    beat.Stop();
    std::printf("5. resident memory of the whole program: %.0f MB\n", ResidentKiB() / 1024.0);
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [CROPS] [faces=off]\n", argv[0]);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    const std::string folder = argv[1];
    const std::size_t crops = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 24;
    const auto scratch = std::filesystem::temp_directory_path() / "trimvale-bench-settings";
    // no order left by an earlier run is offered back
    std::filesystem::remove_all(scratch);
    std::filesystem::create_directories(scratch);
    std::printf("cores: %u, scale factor %.1f\n", std::thread::hardware_concurrency(),
                app.devicePixelRatio());

    TSilentPrompt prompt;
    TMainForm window(TSettingsFile(scratch.string(), scratch.string()), {}, &prompt);
    Set(window.Settings(), Options::KeepFaces, !(argc > 3 && std::string(argv[3]) == "faces=off"));
    window.resize(1200, 900);
    window.show();
    QApplication::processEvents();

    AddBench(window, folder);
    if (window.List().Empty()) {
        std::fprintf(stderr, "no photos in %s\n", folder.c_str());
        return 1;
    }
    if (crops > 0) CropBench(window, crops);
    if (!window.List().Empty()) ScrollBench(window);
    if (!window.List().Empty()) ManyBench(window);
    std::filesystem::remove_all(scratch);
    return 0;
}
