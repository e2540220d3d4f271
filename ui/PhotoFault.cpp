#include "ui/PhotoFault.h"

#include <filesystem>
#include <fstream>

#include "core/StringController.h"
#include "i18n/gnugettext.h"
#include "jpeg/JpegCheck.h"

namespace fs = std::filesystem;

namespace {
// the decoder names itself first; the user needs its reason only
std::string Detail(std::string detail) {
    for (const char* prefix : {"JpegThumbnail: ", "Bitmap: "})
        if (detail.rfind(prefix, 0) == 0) detail.erase(0, std::string(prefix).size());
    detail = ReplaceAll(detail, "\n", " ");
    while (!detail.empty() && detail.back() == ' ')
        detail.pop_back();
    return detail;
}

// every JPEG starts with the start-of-image marker FF D8
bool StartsAsJpeg(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[2] = {};
    return in.read(head, 2) && static_cast<unsigned char>(head[0]) == 0xFF &&
           static_cast<unsigned char>(head[1]) == 0xD8;
}

bool IsGone(const std::string& path) {
    std::error_code ec;
    return !fs::exists(path, ec);
}

std::string Words(const std::string& path, const std::string& detail) {
    std::error_code ec;
    if (IsGone(path)) return Translate("The file does not exist");
    if (!fs::is_regular_file(path, ec))
        return Translate("The file is no JPEG photo that can be read");
    if (fs::file_size(path, ec) == 0 && !ec) return Translate("The file is empty");
    if (!StartsAsJpeg(path)) return Translate("The file is not a JPEG photo");
    if (!IsCompleteJpeg(path)) return Translate("The photo is cut short: its data ends early");
    if (detail.find("too large") != std::string::npos)
        return Translate("The photo is too large to be shown");
    return "";
}
} // namespace

std::string PhotoFault(const std::string& path, const std::string& detail,
                       const std::string& otherwise) {
    std::string words = Words(path, detail);
    if (words.empty()) words = otherwise;
    // of a file that is gone the decoder can only say the same, with the path
    const std::string technical = IsGone(path) ? "" : Detail(detail);
    if (words.empty() || technical.empty()) return words;
    return words + " (" + technical + ")";
}
