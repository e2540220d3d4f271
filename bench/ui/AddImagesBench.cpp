// Adding a folder of photos through the main window, against the bare
// thumbnail decode of the same files at the same height, and the memory each
// frame keeps.
//
//   bench_add_images FOLDER     (at least 100 JPEG photos; runs offscreen)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>

#include "CropContainer.h"
#include "FilesystemController.h"
#include "IFrame.h"
#include "JpegThumbnail.h"
#include "MainForm.h"
#include "ScriptlessPrompt.h"

namespace {
using TClock = std::chrono::steady_clock;

double Since(TClock::time_point t) {
    return std::chrono::duration<double>(TClock::now() - t).count();
}

long ResidentKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const std::string folder = argv[1];
    const auto scratch = std::filesystem::temp_directory_path() / "trimvale-bench-settings";
    std::filesystem::create_directories(scratch);

    TSilentPrompt prompt;
    TMainForm window(TSettingsFile(scratch.string(), scratch.string()), {}, &prompt);
    window.show();
    QApplication::processEvents();

    const long before = ResidentKiB();
    const auto start = TClock::now();
    window.AddFolder(folder, false);
    const double addSeconds = Since(start);
    const std::size_t n = window.Images().size();
    if (n == 0) {
        std::fprintf(stderr, "no photos in %s\n", folder.c_str());
        return 1;
    }
    const long after = ResidentKiB();
    const int height = window.Images().front()->Cropper()->height();

    std::vector<std::string> files;
    for (TIFrame* f : window.Images())
        files.push_back(f->SourceFileName());
    const auto bare = TClock::now();
    for (const std::string& file : files)
        ReadJpegThumbnail(file, 0, height);
    const double bareSeconds = Since(bare);

    std::printf("photos: %zu, thumbnail height %d (Medium view)\n", n, height);
    std::printf("add through the window: %.1f images/s (%.3f s)\n", n / addSeconds, addSeconds);
    std::printf("bare thumbnail decode:  %.1f images/s (%.3f s)\n", n / bareSeconds, bareSeconds);
    std::printf("ratio: %.2f (goal: at most 1.25)\n", addSeconds / bareSeconds);
    std::printf("resident memory per frame: %.2f MB (goal: under 1.5 MB)\n",
                (after - before) / 1024.0 / n);
    std::filesystem::remove_all(scratch);
    return 0;
}
