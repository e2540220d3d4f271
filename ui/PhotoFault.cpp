#include "ui/PhotoFault.h"

#include <filesystem>
#include <fstream>
#include <optional>

#include "i18n/ErrorText.h"
#include "jpeg/JpegCheck.h"

namespace fs = std::filesystem;

namespace {
// every JPEG starts with the start-of-image marker FF D8
bool StartsAsJpeg(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[2] = {};
    return in.read(head, 2) && static_cast<unsigned char>(head[0]) == 0xFF &&
           static_cast<unsigned char>(head[1]) == 0xD8;
}

/// The fault the file shows by itself, if any.
std::optional<TErrorKind> FileFault(const std::string& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return TErrorKind::Missing;
    if (!fs::is_regular_file(path, ec)) return TErrorKind::NotAFile;
    if (fs::file_size(path, ec) == 0 && !ec) return TErrorKind::Empty;
    if (!StartsAsJpeg(path)) return TErrorKind::NotJpeg;
    if (!IsCompleteJpeg(path)) return TErrorKind::CutShort;
    return std::nullopt;
}

/// The reporter's part in brackets: the decoder's own words as they are, a
/// failure of the cut as the user reads it.
std::string Technical(const TFault& fault) {
    switch (fault.Kind) {
    case TErrorKind::Other:
    case TErrorKind::Missing:
    case TErrorKind::NotAFile:
    case TErrorKind::Empty:
    case TErrorKind::NotJpeg:
    case TErrorKind::CutShort:
    case TErrorKind::Damaged:
    case TErrorKind::TooLarge:
        return fault.Detail;
    default:
        return ErrorText(fault);
    }
}
} // namespace

std::string PhotoFault(const std::string& path, const TFault& fault) {
    const std::optional<TErrorKind> kind = FileFault(path);
    if (!kind) return "";
    // the reporter saw the same: its own words are the ones to show
    if (*kind == fault.Kind) return ErrorText(fault);
    // of a file that is gone the reporter can only say the same, with the path
    if (*kind == TErrorKind::Missing) return ErrorText({*kind, path, "", ""});
    return ErrorText({*kind, path, Technical(fault), ""});
}
