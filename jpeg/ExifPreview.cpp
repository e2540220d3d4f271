// The EXIF thumbnail as a stand-in for the decoded one.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>

#include "jpeg/ExifDirectory.h"
#include "jpeg/ExifThumbnail.h"
#include "jpeg/JpegThumbnail.h"
#include "jpeg/bmpRot.h"

namespace {
// the EXIF segment comes first in the file; its 64 KiB are read at most
constexpr std::size_t kHeadBytes = 70 * 1024;

/// The thumbnail's bytes in the file's EXIF segment; "" without one.
std::string StoredThumbnail(const std::string& head) {
    std::size_t at = 2; // past the start of image
    if (head.size() < 4 || static_cast<uint8_t>(head[0]) != 0xFF ||
        static_cast<uint8_t>(head[1]) != 0xD8)
        return {};
    while (at + 4 <= head.size() && static_cast<uint8_t>(head[at]) == 0xFF) {
        const uint8_t marker = static_cast<uint8_t>(head[at + 1]);
        if (marker == 0xDA || marker == 0xD9) break; // the picture's data: no EXIF before it
        const std::size_t length = (static_cast<uint8_t>(head[at + 2]) << 8) |
                                   static_cast<uint8_t>(head[at + 3]);
        if (length < 2 || at + 2 + length > head.size()) break;
        if (marker == 0xE1 && length >= 8 && head.compare(at + 4, 6, std::string("Exif\0\0", 6)) == 0)
            return ExifThumbnailOf(head.substr(at, 2 + length), 4);
        at += 2 + length;
    }
    return {};
}

} // namespace

std::optional<TThumbnail> ReadExifPreview(const std::string& fileName, int32_t rotation,
                                          bool honourOrientation) {
    const TJpegLayout layout = ReadJpegLayout(fileName);
    std::string head(kHeadBytes, '\0');
    {
        std::ifstream in(fileName, std::ios::binary);
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, in.gcount())));
    }
    const std::string stored = StoredThumbnail(head);
    if (stored.empty() || layout.width <= 0 || layout.height <= 0) return std::nullopt;
    TThumbnail small;
    try {
        // decoded as it is stored, at its own size
        small = ReadJpegThumbnail(reinterpret_cast<const uint8_t*>(stored.data()), stored.size(), 0,
                                  kExifThumbnailSide, {}, false);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (small.bitmap.Empty()) return std::nullopt;
    // one with bars around the picture would show the photo out of place
    const double photo = double(layout.width) / layout.height;
    const double shown = double(small.bitmap.Width()) / small.bitmap.Height();
    if (std::abs(shown / photo - 1.0) > 0.03) return std::nullopt;

    const int orientation = honourOrientation ? layout.orientation : 1;
    TurnBitmap(small.bitmap, OrientationTurn(orientation).Then(rotation));
    const TJpegView view = ViewOf(layout, honourOrientation, rotation);
    TThumbnail thumb;
    thumb.imageWidth = view.width;
    thumb.imageHeight = view.height;
    thumb.imageRatio = double(view.width) / view.height;
    thumb.thumbWidth = small.bitmap.Width();
    thumb.thumbHeight = small.bitmap.Height();
    thumb.scaleDenominator = 8;
    thumb.bitmap = std::move(small.bitmap);
    thumb.layout = layout;
    thumb.orientation = orientation;
    thumb.blockWidth = view.blockWidth;
    thumb.blockHeight = view.blockHeight;
    return thumb;
}
