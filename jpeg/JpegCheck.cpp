#include "jpeg/JpegCheck.h"

#include <cstring>

#include "core/FilesystemController.h"
#include "jpeg/JpegLayout.h"

namespace {
constexpr unsigned char kSOI = 0xD8, kEOI = 0xD9, kSOS = 0xDA;

bool IsRestart(unsigned char m) {
    return m >= 0xD0 && m <= 0xD7;
}

// The position of the marker that ends the entropy-coded data from pos on:
// 0xFF followed by anything but a stuffed zero or a restart marker.
std::size_t EndOfScan(const unsigned char* data, std::size_t size, std::size_t pos) {
    while (pos < size) {
        const void* ff = std::memchr(data + pos, 0xFF, size - pos);
        if (!ff) return size;
        std::size_t at = std::size_t(static_cast<const unsigned char*>(ff) - data);
        std::size_t next = at + 1;
        while (next < size && data[next] == 0xFF) // fill bytes before a marker
            ++next;
        if (next >= size) return size;
        if (data[next] != 0x00 && !IsRestart(data[next])) return next - 1;
        pos = next + 1;
    }
    return size;
}
} // namespace

bool IsCompleteJpegData(const std::string& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    if (size < 4 || data[0] != 0xFF || data[1] != kSOI) return false;
    std::size_t pos = 2;
    bool frame = false, scan = false;
    while (pos < size) {
        if (data[pos] != 0xFF) return false; // a segment must start with a marker
        while (pos < size && data[pos] == 0xFF)
            ++pos;
        if (pos >= size) return false;
        const unsigned char marker = data[pos++];
        // the picture is whole only with a frame and at least one scan before its end
        if (marker == kEOI) return frame && scan;
        if (marker == kSOI || marker == 0x00) return false;
        if (IsRestart(marker) || marker == 0x01) continue; // no length follows these
        if (pos + 2 > size) return false;
        const std::size_t length = std::size_t(data[pos]) << 8 | data[pos + 1];
        if (length < 2 || pos + length > size) return false;
        if (IsFrameMarker(marker)) frame = true;
        pos += length;
        if (marker == kSOS) {
            if (!frame) return false;
            scan = true;
            pos = EndOfScan(data, size, pos);
        }
    }
    return false;
}

bool IsCompleteJpeg(const std::string& path) {
    std::string bytes, reason;
    return ReadRegularFile(path, bytes, reason) && IsCompleteJpegData(bytes);
}
