#include "core/VersionController.h"

#include <filesystem>
#include <system_error>

#include "core/FilesystemController.h"
#include "generated/Version.h"

namespace {
struct TVersionEntry {
    const char* key;
    const char* value;
};

// The program's version table, as a version resource would carry it.
constexpr TVersionEntry kVersionTable[] = {
    {"FileVersion", TRIMVALE_VERSION_TEXT},
    {"ProductVersion", TRIMVALE_VERSION_TEXT},
    {"ProductName", "Trimvale"},
    {"FileDescription", "Lossless JPEG cropping"},
    {"InternalName", "trimvale"},
};

std::string ExecutablePath() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

bool IsOwnExecutable(const std::string& fileName) {
    std::error_code ec;
    const std::string self = ExecutablePath();
    return !self.empty() && std::filesystem::equivalent(fileName, self, ec) && !ec;
}
} // namespace

std::string ReadVersionValue(const std::string& key, const std::string& fileName) {
    if (!IsOwnExecutable(fileName)) return "<Undefined>";
    for (const TVersionEntry& e : kVersionTable)
        if (key == e.key) return e.value;
    return "<NonExisting>";
}

std::string FileVersion() {
    return ReadVersionValue("FileVersion", ExecutablePath());
}

std::string ShortVersion(const std::string& version) {
    const std::size_t dot = version.rfind('.');
    return dot == std::string::npos ? version : version.substr(0, dot);
}

std::string ShortVersion() {
    return ShortVersion(FileVersion());
}
