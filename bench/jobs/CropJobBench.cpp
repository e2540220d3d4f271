// Times the crop job over 12-megapixel photos against the bare transformer
// calls with the same arguments, interleaved so that both see the same load:
// one job after the other, and side by side on every core.
//   bench_crop_job [photos] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/ConsoleApp.h"
#include "jobs/CropJob.h"
#include "jobs/CropScheduler.h"
#include "jpeg/ResolutionUpdate.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
constexpr int kWidth = 4032, kHeight = 3024;

// A little-endian TIFF structure with the main image's resolutions and a
// thumbnail, as cameras write it: the crop job makes the thumbnail anew.
std::string ExifSegment(const std::string& thumbnail) {
    std::string t(8 + 2 + 2 * 12 + 4 + 16 + 2 + 2 * 12 + 4, '\0');
    auto put = [&](std::size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            t[at + i] = static_cast<char>(v >> (8 * i));
    };
    t.replace(0, 4, std::string("II*\0", 4));
    put(4, 8, 4);
    put(8, 2, 2);
    for (int i = 0; i < 2; ++i) {
        put(10 + 12 * i, 0x011A + i, 2);
        put(12 + 12 * i, 5, 2);
        put(14 + 12 * i, 1, 4);
        put(18 + 12 * i, 38 + 8 * i, 4);
        put(38 + 8 * i, 72, 4);
        put(42 + 8 * i, 1, 4);
    }
    put(34, 54, 4); // the thumbnail's directory: its offset and length
    put(54, 2, 2);
    for (int i = 0; i < 2; ++i) {
        put(56 + 12 * i, 0x0201 + i, 2);
        put(58 + 12 * i, 4, 2);
        put(60 + 12 * i, 1, 4);
        put(64 + 12 * i, i ? uint32_t(thumbnail.size()) : uint32_t(t.size()), 4);
    }
    const std::string payload = std::string("Exif\0\0", 6) + t + thumbnail;
    const std::size_t n = payload.size() + 2;
    return std::string{'\xFF', '\xE1', static_cast<char>(n >> 8), static_cast<char>(n)} + payload;
}

void MakePhoto(const std::string& path, uint32_t seed) {
    const std::string ppmPath = path + ".ppm";
    {
        std::ofstream ppm(ppmPath, std::ios::binary);
        ppm << "P6\n" << kWidth << " " << kHeight << "\n255\n";
        std::string row(kWidth * 3, '\0');
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                seed = seed * 1103515245u + 12345u;
                row[3 * x] = static_cast<char>(x * 255 / kWidth + (seed >> 28));
                row[3 * x + 1] = static_cast<char>(y * 255 / kHeight + (seed >> 24 & 15));
                row[3 * x + 2] = static_cast<char>((x ^ y) + (seed >> 20 & 15));
            }
            ppm << row;
        }
    }
    std::vector<std::string> lines;
    ExecuteConsoleApp("cjpeg", {"-quality", "92", "-outfile", path + ".raw", ppmPath}, lines);
    {
        std::ofstream ppm(ppmPath, std::ios::binary);
        ppm << "P6\n160 120\n255\n" << std::string(160 * 120 * 3, '\x80');
    }
    ExecuteConsoleApp("cjpeg", {"-outfile", path + ".thumb", ppmPath}, lines);
    fs::remove(ppmPath);
    auto read = [](const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    const std::string jpeg = read(path + ".raw");
    std::ofstream(path, std::ios::binary)
        << jpeg.substr(0, 2) << ExifSegment(read(path + ".thumb")) << jpeg.substr(2);
    fs::remove(path + ".raw");
    fs::remove(path + ".thumb");
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}
} // namespace

int main(int argc, char** argv) {
    const int photos = argc > 1 ? std::atoi(argv[1]) : 4;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string tool = FindTransformer();
    if (tool.empty()) {
        std::fprintf(stderr, "no %s found\n", kTransformerName);
        return 1;
    }
    const fs::path dir = fs::temp_directory_path() / ("trimvale-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "out");
    std::vector<TCropJob> jobs;
    for (int i = 0; i < photos; ++i) {
        TCropJob job;
        job.Tool = tool;
        job.Source = (dir / ("photo" + std::to_string(i) + ".jpg")).string();
        job.Output = (dir / "out" / ("photo" + std::to_string(i) + ".jpg")).string();
        // every other photo turned, the crop then given in the turned image
        job.Crop = i % 2 ? TCropSpec{32, 16 * (i + 1), 2000, 3008, 90, "defined"}
                         : TCropSpec{16 * (i + 1), 32, 3008, 2000, 0, "defined"};
        job.Resolution = 300; // the resolution update is on (the default)
        MakePhoto(job.Source, 7u + static_cast<uint32_t>(i));
        jobs.push_back(job);
    }
    std::printf("%d photos of %dx%d, %d rounds\n", photos, kWidth, kHeight, rounds);

    std::vector<double> bare, job, parallel;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        for (const TCropJob& j : jobs)
            RunTransformer(tool, CropCall(TransformOptions(true, true), j.Crop, j.Source,
                                          (dir / "bare.jpg").string()));
        bare.push_back(Seconds(Clock::now() - start));
        start = Clock::now();
        for (const TCropJob& j : jobs)
            if (RunCropJob(j).Outcome != TCropOutcome::Written) {
                std::fprintf(stderr, "crop job failed on %s\n", j.Source.c_str());
                return 1;
            }
        job.push_back(Seconds(Clock::now() - start));
        start = Clock::now();
        bool failed = false;
        RunCropJobs(jobs, 0, [&](std::size_t, const TCropResult& r) {
            failed |= r.Outcome != TCropOutcome::Written;
        });
        if (failed) {
            std::fprintf(stderr, "a crop job side by side failed\n");
            return 1;
        }
        parallel.push_back(Seconds(Clock::now() - start));
    }
    std::sort(bare.begin(), bare.end());
    std::sort(job.begin(), job.end());
    std::sort(parallel.begin(), parallel.end());
    const double b = bare[bare.size() / 2], j = job[job.size() / 2];
    const double p = parallel[parallel.size() / 2];
    std::printf("bare transformer calls: %.3f s per round (median)\n", b);
    std::printf("crop jobs:              %.3f s per round (median)\n", j);
    std::printf("overhead:               %.2f %% (goal: under 5 %%)\n", 100.0 * (j - b) / b);
    std::printf("crop jobs side by side: %.3f s per round (median), %.2f of the bare calls "
                "on %u cores\n",
                p, p / b, TCropScheduler::CoreCount());
    // the resolution update alone, on the results, for a figure free of the transformer's noise
    const auto start = Clock::now();
    for (int r = 0; r < rounds; ++r)
        for (const TCropJob& j : jobs)
            WriteResolution(j.Output, 240 + r, 240 + r);
    std::printf("resolution update:      %.2f ms per photo\n",
                1000.0 * Seconds(Clock::now() - start) / (rounds * photos));
    // the whole metadata update of a cut: every record, and the thumbnail made anew
    const auto update = Clock::now();
    for (int r = 0; r < rounds; ++r)
        for (const TCropJob& j : jobs)
            UpdateMetadata(j.Output, {240 + r, true, std::nullopt});
    std::printf("metadata update:        %.2f ms per photo (the thumbnail decoded)\n",
                1000.0 * Seconds(Clock::now() - update) / (rounds * photos));
    // the same on fresh cuts told where they lie: the thumbnail cut from the old one
    Clock::duration cutFromOld{};
    for (int r = 0; r < rounds; ++r)
        for (const TCropJob& j : jobs) {
            const std::string raw = (dir / "raw.jpg").string();
            RunTransformer(tool, CropJobCalls(j, raw).front());
            const auto one = Clock::now();
            UpdateMetadata(raw, {240 + r, true, ThumbnailCutOf(j)});
            cutFromOld += Clock::now() - one;
        }
    std::printf("metadata update:        %.2f ms per photo (the thumbnail cut from the old one)\n",
                1000.0 * Seconds(cutFromOld) / (rounds * photos));
    fs::remove_all(dir);
    return 0;
}
