#include "ResolutionUpdate.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TextEncoding.h"

namespace {
constexpr uint8_t kSos = 0xDA, kEoi = 0xD9, kApp0 = 0xE0, kApp1 = 0xE1, kApp13 = 0xED, kCom = 0xFE;
constexpr uint16_t kXResolution = 0x011A, kYResolution = 0x011B, kRational = 5;
constexpr std::size_t kMaxDirectories = 64;

/// A marker segment: its bytes run from Start (the 0xFF) to End; its payload,
/// after the length bytes, from Payload to End.
struct TSegment {
    uint8_t Marker;
    std::size_t Start, Payload, End;
};

uint8_t Byte(std::string_view d, std::size_t i) {
    return static_cast<uint8_t>(d[i]);
}

bool PayloadStartsWith(std::string_view d, const TSegment& s, std::string_view id) {
    return s.End - s.Payload >= id.size() && d.substr(s.Payload, id.size()) == id;
}

// The segments before the scan, each checked against the data; nothing when the
// structure is broken. headerEnd receives the offset of the scan marker.
std::optional<std::vector<TSegment>> ReadSegments(std::string_view d, std::size_t& headerEnd) {
    if (d.size() < 4 || Byte(d, 0) != 0xFF || Byte(d, 1) != 0xD8) return std::nullopt;
    std::vector<TSegment> segments;
    std::size_t pos = 2;
    for (;;) {
        const std::size_t start = pos;
        if (pos >= d.size() || Byte(d, pos) != 0xFF) return std::nullopt;
        while (pos < d.size() && Byte(d, pos) == 0xFF)
            ++pos; // fill bytes
        if (pos >= d.size()) return std::nullopt;
        const uint8_t marker = Byte(d, pos++);
        if (marker == kSos || marker == kEoi) {
            headerEnd = start;
            return segments;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            segments.push_back({marker, start, pos, pos});
            continue;
        }
        if (pos + 2 > d.size()) return std::nullopt;
        const std::size_t length = Byte(d, pos) << 8 | Byte(d, pos + 1);
        if (length < 2 || pos + length > d.size()) return std::nullopt;
        segments.push_back({marker, start, pos + 2, pos + length});
        pos += length;
    }
}

/// Reads and writes numbers of a TIFF structure in its declared byte order.
class TTiff {
public:
    TTiff(std::string& data, std::size_t base, std::size_t size, bool bigEndian)
        : d_(data), base_(base), size_(size), big_(bigEndian) {}

    bool Fits(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    uint32_t Get(std::size_t offset, int bytes) const {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            const uint32_t b = static_cast<uint8_t>(d_[base_ + offset + i]);
            v |= big_ ? b << (8 * (bytes - 1 - i)) : b << (8 * i);
        }
        return v;
    }
    void Put32(std::size_t offset, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            d_[base_ + offset + i] = static_cast<char>(big_ ? v >> (8 * (3 - i)) : v >> (8 * i));
    }

private:
    std::string& d_;
    std::size_t base_, size_;
    bool big_;
};

std::size_t TypeSize(uint32_t type) {
    static const std::size_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < std::size(sizes) ? sizes[type] : 0;
}

// Finds the value offsets of the main image's resolution tags after checking
// every directory the data reaches (main chain and the EXIF, GPS and
// interoperability directories): false on any offset or length past the data or
// a loop.
bool FindResolutionTags(const TTiff& tiff, uint32_t ifd0, std::optional<std::size_t>& x,
                        std::optional<std::size_t>& y) {
    std::vector<uint32_t> pending{ifd0};
    std::set<uint32_t> seen;
    bool first = true;
    while (!pending.empty()) {
        const uint32_t ifd = pending.back();
        pending.pop_back();
        if (!seen.insert(ifd).second || seen.size() > kMaxDirectories) return false;
        if (!tiff.Fits(ifd, 2)) return false;
        const uint32_t count = tiff.Get(ifd, 2);
        if (!tiff.Fits(ifd + 2, uint64_t{count} * 12 + 4)) return false;
        for (uint32_t i = 0; i < count; ++i) {
            const std::size_t entry = ifd + 2 + 12 * std::size_t{i};
            const uint32_t tag = tiff.Get(entry, 2), type = tiff.Get(entry + 2, 2);
            const uint64_t length = uint64_t{tiff.Get(entry + 4, 4)} * TypeSize(type);
            std::size_t value = entry + 8;
            if (length > 4) {
                value = tiff.Get(entry + 8, 4);
                if (!tiff.Fits(value, length)) return false;
            }
            if ((tag == 0x8769 || tag == 0x8825 || tag == 0xA005) && length >= 4)
                pending.push_back(tiff.Get(value, 4));
            // the first directory is the main image's; its first tag of a name counts
            if (first && type == kRational && length >= 8) {
                if (tag == kXResolution && !x) x = value;
                if (tag == kYResolution && !y) y = value;
            }
        }
        const uint32_t next = tiff.Get(ifd + 2 + 12 * std::size_t{count}, 4);
        if (next != 0) pending.push_back(next);
        first = false;
    }
    return true;
}

bool HasJpegExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    const std::string ext = LowerCase(path.substr(dot));
    return ext == ".jpg" || ext == ".jpeg" || ext == ".jpe";
}

bool ReadWhole(const std::string& path, std::string& bytes, mode_t& mode) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        mode = st.st_mode & 07777;
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            ok = n > 0;
            if (ok) done += static_cast<std::size_t>(n);
        }
    }
    close(fd);
    return ok;
}

bool WriteNew(const std::string& path, const std::string& bytes, mode_t mode) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = fchmod(fd, mode) == 0;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    return close(fd) == 0 && ok;
}

// Moves the file aside without ever replacing a file already under the new name.
bool MoveAside(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat st;
    return lstat(to.c_str(), &st) != 0 && errno == ENOENT && rename(from.c_str(), to.c_str()) == 0;
}
} // namespace

std::string ResolutionTempName(const std::string& path) {
    return path + ".TV.tmp";
}

std::optional<std::string> RewriteExifResolution(std::string_view jpeg, uint32_t horizontal,
                                                 uint32_t vertical) {
    std::size_t headerEnd = 0;
    const auto segments = ReadSegments(jpeg, headerEnd);
    if (!segments) return std::nullopt;
    const TSegment *exif = nullptr, *iptc = nullptr, *comment = nullptr;
    for (const TSegment& s : *segments) {
        if (!exif && s.Marker == kApp1 &&
            PayloadStartsWith(jpeg, s, std::string_view("Exif\0\0", 6)))
            exif = &s;
        if (!iptc && s.Marker == kApp13 &&
            PayloadStartsWith(jpeg, s, std::string_view("Photoshop 3.0\0", 14)))
            iptc = &s;
        if (!comment && s.Marker == kCom) comment = &s;
    }
    if (!exif) return std::nullopt;

    std::string segment(jpeg.substr(exif->Start, exif->End - exif->Start));
    const std::size_t base = exif->Payload - exif->Start + 6; // the TIFF header
    const std::size_t size = segment.size() - base;
    if (size < 8) return std::nullopt;
    const std::string_view order = std::string_view(segment).substr(base, 4);
    const bool big = order == std::string_view("MM\0*", 4);
    if (!big && order != std::string_view("II*\0", 4)) return std::nullopt;
    TTiff tiff(segment, base, size, big);
    std::optional<std::size_t> x, y;
    if (!FindResolutionTags(tiff, tiff.Get(4, 4), x, y)) return std::nullopt;
    if (x) tiff.Put32(*x, horizontal), tiff.Put32(*x + 4, 1);
    if (y) tiff.Put32(*y, vertical), tiff.Put32(*y + 4, 1);

    std::string out = "\xFF\xD8" + segment;
    if (iptc) out += jpeg.substr(iptc->Start, iptc->End - iptc->Start);
    if (comment) out += jpeg.substr(comment->Start, comment->End - comment->Start);
    for (std::size_t i = 0; i < segments->size(); ++i) {
        const TSegment& s = (*segments)[i];
        // the moved segments are not kept twice; a leading JFIF segment gives way to EXIF
        if (&s == exif || &s == iptc || &s == comment) continue;
        if (i == 0 && s.Marker == kApp0 &&
            PayloadStartsWith(jpeg, s, std::string_view("JFIF\0", 5)))
            continue;
        out += jpeg.substr(s.Start, s.End - s.Start);
    }
    out += jpeg.substr(headerEnd);
    return out;
}

bool WriteJfifDensity(const std::string& path, int horizontal, int vertical) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    char head[50];
    ssize_t got;
    do
        got = pread(fd, head, sizeof head, 0);
    while (got < 0 && errno == EINTR);
    const std::string_view view(head, got > 0 ? static_cast<std::size_t>(got) : 0);
    const std::size_t j = view.find(std::string_view("JFIF\0", 5));
    struct stat st;
    bool ok = false;
    // the five bytes after the version must lie inside the file
    if (j != std::string_view::npos && fstat(fd, &st) == 0 &&
        static_cast<uint64_t>(st.st_size) >= j + 12) {
        const auto h = static_cast<unsigned>(std::clamp(horizontal, 0, 65535));
        const auto v = static_cast<unsigned>(std::clamp(vertical, 0, 65535));
        const unsigned char density[5] = {
            1, static_cast<unsigned char>(h >> 8), static_cast<unsigned char>(h),
            static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
        ok = pwrite(fd, density, sizeof density, static_cast<off_t>(j + 7)) == 5;
    }
    return close(fd) == 0 && ok;
}

bool WriteResolution(const std::string& path, int horizontal, int vertical) {
    if (horizontal <= 0 || vertical <= 0) return false;
    std::string bytes;
    mode_t mode = 0644;
    if (HasJpegExtension(path) && ReadWhole(path, bytes, mode)) {
        const auto rewritten = RewriteExifResolution(bytes, static_cast<uint32_t>(horizontal),
                                                     static_cast<uint32_t>(vertical));
        const std::string temp = ResolutionTempName(path);
        // a leftover under the temporary name is never read or replaced
        if (rewritten && MoveAside(path, temp)) {
            if (WriteNew(path, *rewritten, mode)) {
                unlink(temp.c_str());
                return true;
            }
            unlink(path.c_str());
            rename(temp.c_str(), path.c_str());
        }
    }
    return WriteJfifDensity(path, horizontal, vertical);
}
