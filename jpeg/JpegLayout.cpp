#include "jpeg/JpegLayout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {
TCropRect Mirror(const TCropRect& r, int32_t width) {
    return {width - r.x - r.width, r.y, r.width, r.height};
}

/// A quarter turn clockwise inside a picture of the given height: the left
/// column becomes the top row.
TCropRect Quarter(const TCropRect& r, int32_t height) {
    return {height - r.y - r.height, r.x, r.height, r.width};
}

/// Undoes Quarter; width is the turned picture's width.
TCropRect Unquarter(const TCropRect& r, int32_t width) {
    return {r.y, width - r.x - r.width, r.height, r.width};
}

// The stored right column of a 3x5 picture, followed through the turn.
TCropRect EdgeInView(const TTurn& turn, bool rightEdge) {
    TJpegView v;
    v.turn = turn;
    v.storedWidth = 3;
    v.storedHeight = 5;
    v.width = turn.Swaps() ? 5 : 3;
    v.height = turn.Swaps() ? 3 : 5;
    return ToView(v, rightEdge ? TCropRect{2, 0, 1, 5} : TCropRect{0, 4, 3, 1});
}

bool OnLeftOrTop(const TCropRect& r) {
    return (r.x == 0 && r.width == 1) || (r.y == 0 && r.height == 1);
}

uint32_t Read(const uint8_t* p, int bytes, bool big) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= big ? uint32_t(p[i]) << (8 * (bytes - 1 - i)) : uint32_t(p[i]) << (8 * i);
    return v;
}
} // namespace

TTurn TTurn::Then(int32_t degrees) const {
    return {mirror, ((quarters + degrees / 90) % 4 + 4) % 4};
}

bool TTurn::NeedsWholeWidth() const {
    return OnLeftOrTop(EdgeInView(*this, true));
}

bool TTurn::NeedsWholeHeight() const {
    return OnLeftOrTop(EdgeInView(*this, false));
}

TTurn OrientationTurn(int orientation) {
    // EXIF: 2 mirrored, 3 upside down, 4 mirrored upside down, 5 transposed,
    // 6 turned right, 7 transversed, 8 turned left
    switch (orientation) {
    case 2:
        return {true, 0};
    case 3:
        return {false, 2};
    case 4:
        return {true, 2};
    case 5:
        return {true, 3};
    case 6:
        return {false, 1};
    case 7:
        return {true, 1};
    case 8:
        return {false, 3};
    default:
        return {};
    }
}

TJpegView ViewOf(const TJpegLayout& layout, TTurn turn) {
    TJpegView v;
    v.turn = turn;
    const int32_t bw = std::max(1, layout.blockWidth), bh = std::max(1, layout.blockHeight);
    v.storedWidth = layout.width;
    v.storedHeight = layout.height;
    // a partial block at such an edge would stay where it was, unturned
    if (turn.NeedsWholeWidth() && layout.width >= bw) v.storedWidth = layout.width / bw * bw;
    if (turn.NeedsWholeHeight() && layout.height >= bh) v.storedHeight = layout.height / bh * bh;
    v.width = turn.Swaps() ? v.storedHeight : v.storedWidth;
    v.height = turn.Swaps() ? v.storedWidth : v.storedHeight;
    v.blockWidth = turn.Swaps() ? bh : bw;
    v.blockHeight = turn.Swaps() ? bw : bh;
    return v;
}

TJpegView ViewOf(const TJpegLayout& layout, bool honourOrientation, int32_t rotation) {
    const TTurn upright = honourOrientation ? OrientationTurn(layout.orientation) : TTurn{};
    return ViewOf(layout, upright.Then(rotation));
}

TCropRect ToView(const TJpegView& view, const TCropRect& stored) {
    TCropRect r = view.turn.mirror ? Mirror(stored, view.storedWidth) : stored;
    int32_t height = view.storedHeight;
    int32_t width = view.storedWidth;
    for (int i = 0; i < view.turn.quarters; ++i) {
        r = Quarter(r, height);
        std::swap(width, height);
    }
    return r;
}

TCropRect FromView(const TJpegView& view, const TCropRect& rect) {
    TCropRect r = rect;
    int32_t width = view.width;
    int32_t height = view.height;
    for (int i = 0; i < view.turn.quarters; ++i) {
        r = Unquarter(r, width);
        std::swap(width, height);
    }
    return view.turn.mirror ? Mirror(r, view.storedWidth) : r;
}

TCropRect ExactCut(const TJpegView& view, const TCropRect& rect) {
    auto span = [](int32_t from, int32_t length, int32_t limit, int32_t block) {
        const int64_t end = std::min<int64_t>(int64_t(from) + length, limit);
        int64_t start = std::max<int64_t>(from, 0);
        start = (start + block - 1) / block * block;
        return std::pair<int32_t, int32_t>(int32_t(start),
                                           int32_t(std::max<int64_t>(0, end - start)));
    };
    const auto [x, w] = span(rect.x, rect.width, view.width, std::max(1, view.blockWidth));
    const auto [y, h] = span(rect.y, rect.height, view.height, std::max(1, view.blockHeight));
    return {x, y, w, h};
}

int32_t CommonGrid(int32_t step, int32_t block) {
    return std::lcm(std::max(1, step), std::max(1, block));
}

std::vector<std::size_t> OrientationEntries(const uint8_t* tiff, std::size_t n, int& orientation) {
    orientation = 1;
    std::vector<std::size_t> entries;
    if (n < 8) return entries;
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!big && !(tiff[0] == 'I' && tiff[1] == 'I')) return entries;
    if (Read(tiff + 2, 2, big) != 42) return entries; // not a TIFF structure
    const uint32_t ifd = Read(tiff + 4, 4, big);
    if (ifd > n || n - ifd < 2) return entries;
    const uint32_t count = Read(tiff + ifd, 2, big);
    // readers refuse a directory whose entries run past the data, not one
    // that lacks only its link to the next directory
    if (uint64_t(ifd) + 2 + 12 * uint64_t(count) > n) return entries;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t entry = uint64_t(ifd) + 2 + 12 * uint64_t(i);
        const uint8_t* e = tiff + entry;
        if (Read(e, 2, big) != 0x0112) continue;
        entries.push_back(std::size_t(entry));
        const uint32_t type = Read(e + 2, 2, big), values = Read(e + 4, 4, big);
        // any integer type, as readers take it; the first value counts, held in the
        // entry when it fits there
        // (an UNDEFINED one is read as the SHORT the tag should be)
        const int size = type == 1 || type == 6                 ? 1
                         : type == 3 || type == 7 || type == 8  ? 2
                         : type == 4 || type == 9 || type == 13 ? 4
                                                                : 0;
        if (entries.size() > 1 || size == 0 || values == 0) continue;
        const uint8_t* value = e + 8;
        if (uint64_t(values) * size > 4) {
            const uint32_t at = Read(e + 8, 4, big);
            if (at > n || n - at < uint64_t(size)) continue;
            value = tiff + at;
        }
        const uint32_t v = Read(value, size, big);
        orientation = v >= 1 && v <= 8 ? int(v) : 1;
    }
    return entries;
}

int ExifOrientation(const uint8_t* payload, std::size_t size) {
    if (size < 14 || std::memcmp(payload, "Exif\0\0", 6) != 0) return 1;
    int orientation = 1;
    OrientationEntries(payload + 6, size - 6, orientation);
    return orientation;
}

bool IsFrameMarker(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

TJpegCoding CodingOfFrameMarker(uint8_t marker) {
    if (!IsFrameMarker(marker)) return {};
    // the low two bits: 0 sequential, 1 extended, 2 progressive, 3 lossless; bit 3 arithmetic
    return {(marker & 3) == 2, (marker & 8) != 0};
}

namespace {
struct TCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

TJpegCoding CodingOf(FILE* f) {
    if (std::fgetc(f) != 0xFF || std::fgetc(f) != 0xD8) return {};
    // a hostile file cannot keep the walk going for long: each step skips a segment
    for (int segments = 0; segments < 4096; ++segments) {
        if (std::fgetc(f) != 0xFF) return {};
        int marker;
        do
            marker = std::fgetc(f); // fill bytes
        while (marker == 0xFF);
        if (marker == EOF || marker == 0xDA || marker == 0xD9) return {};
        if (IsFrameMarker(uint8_t(marker))) return CodingOfFrameMarker(uint8_t(marker));
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue; // no length
        const int hi = std::fgetc(f), lo = std::fgetc(f);
        if (hi == EOF || lo == EOF || (hi << 8 | lo) < 2) return {};
        if (std::fseek(f, long(hi << 8 | lo) - 2, SEEK_CUR) != 0) return {};
    }
    return {};
}
} // namespace

TJpegCoding ReadJpegCoding(const std::string& fileName) {
    const std::unique_ptr<FILE, TCloser> file(std::fopen(fileName.c_str(), "rbe"));
    return file ? CodingOf(file.get()) : TJpegCoding{};
}

TJpegCoding ReadJpegCoding(int fd) {
    const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) return {};
    lseek(own, 0, SEEK_SET);
    const std::unique_ptr<FILE, TCloser> file(fdopen(own, "rb"));
    if (!file) {
        close(own);
        return {};
    }
    return CodingOf(file.get());
}
