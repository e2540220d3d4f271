// Times the print order file at the size of a large order: saving and opening
// 10,000 photos (opening looks at every photo on disk), opening after every
// photo was touched (each content check read again), and the window's share of
// an autosave, the copy of the order it hands to the writer.
//   bench_order_file [photos] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include "jobs/OrderFile.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The best and the median of rounds runs of what.
template <typename F> std::pair<double, double> Time(int rounds, F what) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        what();
        ms.push_back(Ms(Clock::now() - start));
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

void Report(const char* what, std::pair<double, double> ms) {
    std::printf("%-44s best %8.1f ms   median %8.1f ms\n", what, ms.first, ms.second);
}
} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const fs::path root = fs::temp_directory_path() / ("order-bench-" + std::to_string(getpid()));
    fs::create_directories(root / "photos");

    // photos of 200 KiB in folders of 500, as a camera's folders hold them
    std::vector<TOrderPhoto> photos;
    std::string bytes(200 * 1024, '\0');
    const auto startAdd = Clock::now();
    for (int i = 0; i < count; ++i) {
        const fs::path folder = root / "photos" / ("1" + std::to_string(100 + i / 500) + "CANON");
        if (i % 500 == 0) fs::create_directories(folder);
        const std::string path = (folder / ("IMG_" + std::to_string(10000 + i) + ".JPG")).string();
        std::snprintf(bytes.data(), 32, "%d", i);
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        struct stat st {};
        stat(path.c_str(), &st);
        TOrderPhoto photo;
        photo.Choice.File = path;
        photo.Choice.DestName = "IMG_" + std::to_string(10000 + i) + ".JPG";
        photo.Choice.Aspect = i % 3 ? "10x15 cm" : "13x18 cm";
        photo.Choice.Crop = {0, 112, 3968, 2640};
        photo.Choice.Rotation = i % 4 * 90;
        photo.Source = {4032,
                        3024,
                        16,
                        16,
                        1,
                        static_cast<uint64_t>(st.st_size),
                        int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
        photo.Resolution = 254;
        photos.push_back(std::move(photo));
    }
    const auto made = Clock::now();
    for (TOrderPhoto& photo : photos)
        photo.ContentCheck = ContentCheckOf(photo.File());
    std::printf("%d photos; content checks when added: %.1f ms (making the files: %.1f ms)\n",
                count, Ms(Clock::now() - made), Ms(made - startAdd));

    TOrderSettings settings;
    settings.Destination = (root / "Cropped").string();
    const std::string order = (root / "photos" / "order.tvorder").string();
    Report("save", Time(rounds, [&] { SaveOrderFile(order, settings, photos); }));
    std::printf("%-44s %8.1f MiB\n", "file size", fs::file_size(order) / 1048576.0);
    std::size_t kept = 0;
    Report("open (every photo looked at)",
           Time(rounds, [&] { kept = OpenOrderFile(order).Photos.size(); }));
    if (kept != photos.size()) std::printf("!! only %zu photos kept\n", kept);

    // every photo touched: each content check is read again, and each is kept
    for (const TOrderPhoto& photo : photos) {
        const utimbuf later{2000000000, 2000000000};
        utime(photo.File().c_str(), &later);
    }
    Report("open, every photo touched since (cold check)",
           Time(1, [&] { kept = OpenOrderFile(order).Photos.size(); }));
    if (kept != photos.size()) std::printf("!! only %zu photos kept\n", kept);

    // the window's share of an autosave: the copy handed to the writer
    Report("autosave: the window's copy of the order", Time(rounds, [&] {
               auto copy = std::make_shared<std::vector<TOrderPhoto>>(photos);
               if (copy->size() != photos.size()) std::abort();
           }));
    Report("autosave: text and write (writer thread)", Time(rounds, [&] {
               WriteFileAtomically(order, OrderFileText(order, settings, photos));
           }));
    fs::remove_all(root);
    return 0;
}
