// Face finding on one core: each photo's faces found as a new photo's are (the grey
// decode and the detector), timed per photo, the detector made beforehand.
//
//   bench_faces [ROUNDS] PHOTO...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "faces/FaceFinder.h"
#include "jpeg/JpegThumbnail.h"

namespace {
using TClock = std::chrono::steady_clock;
}

int main(int argc, char** argv) {
    int first = 1;
    int rounds = 5;
    if (argc > 2 && std::string(argv[1]).find_first_not_of("0123456789") == std::string::npos) {
        rounds = std::max(1, std::atoi(argv[1]));
        first = 2;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: %s [ROUNDS] PHOTO...\n", argv[0]);
        return 2;
    }
    const auto made = TClock::now();
    FindFaces(argv[first]); // the detector is made once, on first use
    std::printf("first photo with the detector made: %.0f ms\n",
                std::chrono::duration<double, std::milli>(TClock::now() - made).count());
    std::vector<double> all;
    for (int i = first; i < argc; ++i) {
        std::vector<double> times;
        TFoundFaces found;
        for (int r = 0; r < rounds; ++r) {
            const auto start = TClock::now();
            found = FindFaces(argv[i]);
            times.push_back(std::chrono::duration<double, std::milli>(TClock::now() - start).count());
        }
        std::sort(times.begin(), times.end());
        const TJpegLayout layout = ReadJpegLayout(argv[i]);
        std::printf("%s: %dx%d (%.1f MP), %zu faces%s, median %.1f ms\n", argv[i], layout.width,
                    layout.height, layout.width * double(layout.height) / 1e6, found.Faces.size(),
                    found.Named ? " named in the photo" : "", times[times.size() / 2]);
        all.push_back(times[times.size() / 2]);
    }
    std::sort(all.begin(), all.end());
    std::printf("median over %zu photos: %.1f ms (goal for 12 MP: under 100 ms)\n", all.size(),
                all[all.size() / 2]);
    return 0;
}
