#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "core/ConsoleApp.h"

TTempDir::TTempDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/trimvale-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TTempDir::~TTempDir() {
    std::error_code ec;
    // read-only files and folders made by tests must go too
    for (const auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void MakeJpeg(const std::string& path, int w, int h) {
    std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ppm += static_cast<char>(x * 255 / w);
            ppm += static_cast<char>(y * 255 / h);
            ppm += static_cast<char>((x / 16 + y / 16) % 2 ? 200 : 40);
        }
    WriteFileBytes(path + ".ppm", ppm);
    std::vector<std::string> lines;
    ExecuteConsoleApp("cjpeg", {"-quality", "90", "-outfile", path, path + ".ppm"}, lines);
    std::filesystem::remove(path + ".ppm");
}
