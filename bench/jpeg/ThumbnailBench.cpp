// Thumbnail speed: loads every JPEG of a folder as thumbnails of a given height
// and, in the same run, decodes the same files at the same scales with libjpeg
// alone, so the cost of the thumbnail path shows as a ratio.
//
//   bench_thumbnails --make FOLDER        writes a set of 12 and 24 MP test photos
//   bench_thumbnails FOLDER [HEIGHT] [ROUNDS]
//   bench_thumbnails --peak FILE [HEIGHT] peak memory of loading one photo
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "core/Error.h"
#include "jpeg/JpegThumbnail.h"

namespace {
using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point since) {
    return std::chrono::duration<double>(TClock::now() - since).count();
}

long PeakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

/// A photo-like picture: colour gradients, soft discs and fine grain, so that it
/// compresses to a few bits per pixel like a camera picture.
void WritePhoto(const std::string& path, int w, int h, bool progressive, unsigned seed) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) throw TError("bench: cannot write " + path);
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 92, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(std::size_t(w) * 3);
    uint32_t state = seed * 2654435761u + 1;
    while (c.next_scanline < c.image_height) {
        const int y = int(c.next_scanline);
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = int(state >> 27) - 16;
            const int dx = x - w / 3, dy = y - h / 2;
            const int disc = (dx * dx + dy * dy) < (h / 4) * (h / 4) ? 60 : 0;
            row[3 * x] = uint8_t(std::clamp(x * 200 / w + grain + disc, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(y * 180 / h + grain + 30, 0, 255));
            row[3 * x + 2] =
                uint8_t(std::clamp((x + y) * 120 / (w + h) + grain + disc / 2, 0, 255));
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&c, &p, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(out);
}

/// The bare decode: header, the same scale the thumbnail path picks, all rows.
void DecodeBare(const std::string& path, int32_t height) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) throw TError("bench: cannot read " + path);
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_stdio_src(&c, in);
    jpeg_read_header(&c, TRUE);
    const int32_t w = int32_t(c.image_width), h = int32_t(c.image_height);
    const int32_t tw = std::max(1, ThumbWidthFor(height, double(w) / double(h)));
    c.scale_num = 1;
    c.scale_denom = unsigned(ScaleDenominatorFor(w, h, tw, height));
    c.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&c);
    std::vector<JSAMPLE> row(std::size_t(c.output_width) * std::size_t(c.output_components));
    JSAMPROW p = row.data();
    while (c.output_scanline < c.output_height)
        jpeg_read_scanlines(&c, &p, 1);
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    std::fclose(in);
}

std::vector<std::string> JpegFiles(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        std::string ext = e.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (e.is_regular_file() && (ext == ".jpg" || ext == ".jpeg")) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

int Make(const std::string& folder) {
    std::filesystem::create_directories(folder);
    for (unsigned i = 0; i < 4; ++i) {
        WritePhoto(folder + "/photo12mp_" + std::to_string(i) + ".jpg", 4000, 3000, i == 3, i);
        WritePhoto(folder + "/photo24mp_" + std::to_string(i) + ".jpg", 6000, 4000, i == 3, i + 9);
    }
    std::printf("wrote 8 photos (12 and 24 MP, one of each progressive) to %s\n", folder.c_str());
    return 0;
}

int Peak(const std::string& file, int32_t height) {
    const long before = PeakKiB();
    const TThumbnail t = ReadJpegThumbnail(file, 0, height);
    std::printf("%s: %dx%d at %d px high, thumbnail %dx%d (1/%d)\n", file.c_str(), t.imageWidth,
                t.imageHeight, height, t.thumbWidth, t.thumbHeight, t.scaleDenominator);
    std::printf("peak resident memory: %.1f MiB before loading, %.1f MiB after\n", before / 1024.0,
                PeakKiB() / 1024.0);
    return 0;
}

int Run(const std::string& folder, int32_t height, int rounds) {
    const std::vector<std::string> files = JpegFiles(folder);
    if (files.empty()) {
        std::fprintf(stderr, "no JPEG files in %s\n", folder.c_str());
        return 1;
    }
    double bestThumb = 1e300, bestBare = 1e300;
    for (int r = 0; r < rounds; ++r) {
        // alternate the two paths so that both see the same cache state
        auto start = TClock::now();
        for (const auto& f : files)
            ReadJpegThumbnail(f, 0, height);
        bestThumb = std::min(bestThumb, Seconds(start));
        start = TClock::now();
        for (const auto& f : files)
            DecodeBare(f, height);
        bestBare = std::min(bestBare, Seconds(start));
    }
    const double n = double(files.size());
    std::printf("%zu files at %d px high, best of %d rounds\n", files.size(), height, rounds);
    std::printf("thumbnails:         %.2f per second (%.1f ms each)\n", n / bestThumb,
                1000 * bestThumb / n);
    std::printf("bare scaled decode: %.2f per second (%.1f ms each)\n", n / bestBare,
                1000 * bestBare / n);
    std::printf("thumbnail cost / bare decode: %.3f\n", bestThumb / bestBare);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    try {
        const std::string first = argc > 1 ? argv[1] : "";
        if (first == "--make" && argc > 2) return Make(argv[2]);
        if (first == "--peak" && argc > 2)
            return Peak(argv[2], argc > 3 ? std::stoi(argv[3]) : 350);
        if (!first.empty() && first[0] != '-')
            return Run(first, argc > 2 ? std::stoi(argv[2]) : 350,
                       argc > 3 ? std::stoi(argv[3]) : 3);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: %s --make FOLDER | FOLDER [HEIGHT] [ROUNDS] | --peak FILE [HEIGHT]\n",
                 argv[0]);
    return 2;
}
