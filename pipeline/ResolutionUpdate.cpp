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
    void Put16(std::size_t offset, uint32_t v) {
        d_[base_ + offset] = static_cast<char>(big_ ? v >> 8 : v);
        d_[base_ + offset + 1] = static_cast<char>(big_ ? v : v >> 8);
    }
    bool BigEndian() const { return big_; }

private:
    std::string& d_;
    std::size_t base_, size_;
    bool big_;
};

std::size_t TypeSize(uint32_t type) {
    static const std::size_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < std::size(sizes) ? sizes[type] : 0;
}

constexpr uint16_t kShort = 3, kLong = 4, kSLong = 9, kSRational = 10;

/// Where the tags this update touches lie: entry offsets, 0 when absent.
struct TTagPlaces {
    uint32_t Ifd0 = 0, Ifd0Count = 0; // the count as checked: values written may overlap it
    std::size_t X = 0, Y = 0, Unit = 0, Orientation = 0, PixelX = 0, PixelY = 0;
};

// Checks every directory the data reaches (main chain and the EXIF, GPS and
// interoperability directories) and notes the entries of the main image's
// directory and of the EXIF directory that the update touches: false on any
// offset or length past the data or a loop.
bool FindTags(const TTiff& tiff, uint32_t ifd0, TTagPlaces& places) {
    enum TKind { kMain, kExif, kOther };
    std::vector<std::pair<uint32_t, TKind>> pending{{ifd0, kMain}};
    std::set<uint32_t> seen;
    places.Ifd0 = ifd0;
    while (!pending.empty()) {
        const auto [ifd, kind] = pending.back();
        pending.pop_back();
        if (!seen.insert(ifd).second || seen.size() > kMaxDirectories) return false;
        if (!tiff.Fits(ifd, 2)) return false;
        const uint32_t count = tiff.Get(ifd, 2);
        if (!tiff.Fits(ifd + 2, uint64_t{count} * 12 + 4)) return false;
        if (kind == kMain) places.Ifd0Count = count;
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
                pending.push_back({tiff.Get(value, 4), tag == 0x8769 ? kExif : kOther});
            // the first tag of a name counts
            std::size_t* place = nullptr;
            if (kind == kMain)
                place = tag == kXResolution   ? &places.X
                        : tag == kYResolution ? &places.Y
                        : tag == 0x0128       ? &places.Unit
                        : tag == 0x0112       ? &places.Orientation
                                              : nullptr;
            else if (kind == kExif)
                place = tag == 0xA002 ? &places.PixelX : tag == 0xA003 ? &places.PixelY : nullptr;
            if (place && *place == 0 && length > 0) *place = entry;
        }
        const uint32_t next = tiff.Get(ifd + 2 + 12 * std::size_t{count}, 4);
        if (next != 0) pending.push_back({next, kind == kMain ? kOther : kind});
    }
    return true;
}

/// Writes a number into an entry in the entry's own type: a rational as v/1,
/// an integer as itself. False for types that cannot hold it.
bool PutNumber(TTiff& tiff, std::size_t entry, uint32_t v) {
    const uint32_t type = tiff.Get(entry + 2, 2);
    const uint64_t length = uint64_t{TypeSize(type)} * tiff.Get(entry + 4, 4);
    const std::size_t value = length > 4 ? tiff.Get(entry + 8, 4) : entry + 8;
    // checked again: an earlier write may have changed the entry in hostile data
    if (length == 0 || !tiff.Fits(value, std::min<uint64_t>(length, 8))) return false;
    if (type == kShort) {
        if (v > 0xFFFF) return false;
        tiff.Put16(value, v);
    } else if (type == kLong || type == kSLong) {
        tiff.Put32(value, v);
    } else if (type == kRational || type == kSRational) {
        tiff.Put32(value, v);
        tiff.Put32(value + 4, 1);
    } else {
        return false;
    }
    return true;
}

/// A new main directory with the missing resolution tags, appended behind
/// everything else so that no offset into the old data changes (maker notes,
/// the thumbnail and the GPS data keep theirs); the header then points to it.
bool AddResolutionTags(std::string& segment, std::size_t base, TTiff& tiff,
                       const TTagPlaces& places, bool addX, bool addY, bool addUnit,
                       uint32_t horizontal, uint32_t vertical) {
    const std::size_t size = segment.size() - base;
    const uint32_t count = places.Ifd0Count;
    std::vector<std::string> entries;
    for (uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = places.Ifd0 + 2 + 12 * std::size_t{i};
        const uint32_t tag = tiff.Get(entry, 2);
        if ((addX && tag == kXResolution) || (addY && tag == kYResolution) ||
            (addUnit && tag == 0x0128))
            continue; // replaced below: the old entry's type could not hold the value
        entries.push_back(segment.substr(base + entry, 12));
    }
    const std::size_t at = (size + 1) / 2 * 2; // directories start on a word boundary
    const std::size_t newCount = entries.size() + addX + addY + addUnit;
    const std::size_t values = at + 2 + 12 * newCount + 4;
    const std::size_t end = values + 8 * (addX + addY);
    // the segment's length field has 16 bits
    if (base + end - 2 > 0xFFFF || newCount > 0xFFFF) return false;
    segment.resize(base + end, '\0');
    TTiff grown(segment, base, end, tiff.BigEndian());
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
        std::string e(12, '\0');
        TTiff one(e, 0, 12, tiff.BigEndian());
        one.Put16(0, tag);
        one.Put16(2, type);
        one.Put32(4, 1);
        if (type == kShort)
            one.Put16(8, value);
        else
            one.Put32(8, value);
        entries.push_back(e);
    };
    std::size_t next = values;
    auto rational = [&](uint16_t tag, uint32_t value) {
        grown.Put32(next, value);
        grown.Put32(next + 4, 1);
        entry(tag, kRational, uint32_t(next));
        next += 8;
    };
    if (addX) rational(kXResolution, horizontal);
    if (addY) rational(kYResolution, vertical);
    if (addUnit) entry(0x0128, kShort, 2);
    // readers look tags up in ascending order
    auto tagOf = [&](const std::string& e) {
        const unsigned a = static_cast<uint8_t>(e[0]), b = static_cast<uint8_t>(e[1]);
        return tiff.BigEndian() ? a << 8 | b : b << 8 | a;
    };
    std::stable_sort(
        entries.begin(), entries.end(),
        [&](const std::string& a, const std::string& b) { return tagOf(a) < tagOf(b); });
    grown.Put16(at, uint32_t(newCount));
    for (std::size_t i = 0; i < entries.size(); ++i)
        segment.replace(base + at + 2 + 12 * i, 12, entries[i]);
    grown.Put32(at + 2 + 12 * newCount, tiff.Get(places.Ifd0 + 2 + 12 * std::size_t{count}, 4));
    grown.Put32(4, uint32_t(at));
    const std::size_t length = segment.size() - 2;
    segment[2] = static_cast<char>(length >> 8);
    segment[3] = static_cast<char>(length & 0xFF);
    return true;
}

/// What one rewrite changes.
struct TEdits {
    uint32_t Horizontal = 0, Vertical = 0; // 0: the resolution stays
    bool Upright = false;                  // Orientation becomes 1
    bool PixelSize = false;                // PixelXDimension/PixelYDimension follow the frame
    uint32_t Width = 0, Height = 0;        // of the frame header
};

struct TEdited {
    std::string Segment;
    bool Resolution; // the resolution is in it
};

// The EXIF segment (marker and length included) with the edits made; nothing
// when its structure is broken.
std::optional<TEdited> EditExif(std::string segment, std::size_t payload, const TEdits& edits) {
    const std::size_t base = payload + 6; // the TIFF header
    if (segment.size() < base + 8) return std::nullopt;
    const std::string_view order = std::string_view(segment).substr(base, 4);
    const bool big = order == std::string_view("MM\0*", 4);
    if (!big && order != std::string_view("II*\0", 4)) return std::nullopt;
    TTiff tiff(segment, base, segment.size() - base, big);
    TTagPlaces places;
    if (!FindTags(tiff, tiff.Get(4, 4), places)) return std::nullopt;
    if (edits.Upright && places.Orientation) PutNumber(tiff, places.Orientation, 1);
    if (edits.PixelSize && edits.Width && edits.Height) {
        if (places.PixelX) PutNumber(tiff, places.PixelX, edits.Width);
        if (places.PixelY) PutNumber(tiff, places.PixelY, edits.Height);
    }
    if (edits.Horizontal == 0) return TEdited{segment, false};
    const std::string unchanged = segment; // with the orientation and size already edited
    // a tag whose type cannot hold the value is replaced like a missing one
    const bool addX = !places.X || !PutNumber(tiff, places.X, edits.Horizontal);
    const bool addY = !places.Y || !PutNumber(tiff, places.Y, edits.Vertical);
    // inches: the value written is pixels per inch, whatever unit was declared
    const uint32_t unitType = places.Unit ? tiff.Get(places.Unit + 2, 2) : 0;
    const bool addUnit = !places.Unit || (unitType != kShort && unitType != kLong) ||
                         !PutNumber(tiff, places.Unit, 2);
    // a full segment keeps its resolution as it was; the JFIF header takes it
    if ((addX || addY || addUnit) && !AddResolutionTags(segment, base, tiff, places, addX, addY,
                                                        addUnit, edits.Horizontal, edits.Vertical))
        return TEdited{unchanged, false};
    return TEdited{segment, true};
}

bool IsFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsJfif(std::string_view d, const TSegment& s) {
    return s.Marker == kApp0 && PayloadStartsWith(d, s, std::string_view("JFIF\0", 5));
}

// Units 1 (dots per inch) and both densities, where a JFIF segment holds them.
void PutJfifDensity(std::string& jfif, std::size_t payload, uint32_t h, uint32_t v) {
    if (jfif.size() < payload + 12) return;
    h = std::min<uint32_t>(h, 0xFFFF);
    v = std::min<uint32_t>(v, 0xFFFF);
    const char density[5] = {1, static_cast<char>(h >> 8), static_cast<char>(h),
                             static_cast<char>(v >> 8), static_cast<char>(v)};
    jfif.replace(payload + 7, 5, density, 5);
}

// The file with its EXIF segment edited. With the resolution in it the EXIF
// segment leads, then the IPTC and comment segments, then every other segment
// in its order, a leading JFIF segment dropped; otherwise the segments keep
// their places. A JFIF segment that stays states the resolution too.
std::optional<std::string> Rewrite(std::string_view jpeg, TEdits edits) {
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
        if (IsFrameHeader(s.Marker) && s.End - s.Payload >= 5 && !edits.Width) {
            edits.Height = Byte(jpeg, s.Payload + 1) << 8 | Byte(jpeg, s.Payload + 2);
            edits.Width = Byte(jpeg, s.Payload + 3) << 8 | Byte(jpeg, s.Payload + 4);
        }
    }
    if (!exif) return std::nullopt;
    const auto edited = EditExif(std::string(jpeg.substr(exif->Start, exif->End - exif->Start)),
                                 exif->Payload - exif->Start, edits);
    if (!edited) return std::nullopt;
    const std::string& segment = edited->Segment;
    const bool resolution = edited->Resolution;
    const bool density = edits.Horizontal != 0; // also when the EXIF segment had no room

    std::string out = "\xFF\xD8";
    if (resolution) {
        out += segment;
        if (iptc) out += jpeg.substr(iptc->Start, iptc->End - iptc->Start);
        if (comment) out += jpeg.substr(comment->Start, comment->End - comment->Start);
    }
    for (std::size_t i = 0; i < segments->size(); ++i) {
        const TSegment& s = (*segments)[i];
        if (&s == exif) {
            if (!resolution) out += segment;
            continue;
        }
        // the moved segments are not kept twice; a leading JFIF segment gives way to EXIF
        if (resolution && (&s == iptc || &s == comment || (i == 0 && IsJfif(jpeg, s)))) continue;
        std::string bytes(jpeg.substr(s.Start, s.End - s.Start));
        if (density && IsJfif(jpeg, s))
            PutJfifDensity(bytes, s.Payload - s.Start, edits.Horizontal, edits.Vertical);
        out += bytes;
    }
    out += jpeg.substr(headerEnd);
    return out;
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
    TEdits edits;
    edits.Horizontal = std::max<uint32_t>(horizontal, 1);
    edits.Vertical = std::max<uint32_t>(vertical, 1);
    return Rewrite(jpeg, edits);
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

namespace {
// Rewrites the file through the temporary name; false leaves it as it was.
bool RewriteFile(const std::string& path, const TEdits& edits) {
    std::string bytes;
    mode_t mode = 0644;
    if (!HasJpegExtension(path) || !ReadWhole(path, bytes, mode)) return false;
    const auto rewritten = Rewrite(bytes, edits);
    const std::string temp = ResolutionTempName(path);
    // a leftover under the temporary name is never read or replaced
    if (!rewritten || !MoveAside(path, temp)) return false;
    if (WriteNew(path, *rewritten, mode)) {
        unlink(temp.c_str());
        return true;
    }
    unlink(path.c_str());
    rename(temp.c_str(), path.c_str());
    return false;
}
} // namespace

bool WriteResolution(const std::string& path, int horizontal, int vertical) {
    if (horizontal <= 0 || vertical <= 0) return false;
    TEdits edits;
    edits.Horizontal = static_cast<uint32_t>(horizontal);
    edits.Vertical = static_cast<uint32_t>(vertical);
    return RewriteFile(path, edits) || WriteJfifDensity(path, horizontal, vertical);
}

bool UpdateMetadata(const std::string& path, const TMetadataUpdate& update) {
    TEdits edits;
    edits.Upright = update.Upright;
    edits.PixelSize = true;
    if (update.Resolution > 0)
        edits.Horizontal = edits.Vertical = static_cast<uint32_t>(update.Resolution);
    if (RewriteFile(path, edits)) return true;
    return update.Resolution > 0 && WriteJfifDensity(path, update.Resolution, update.Resolution);
}
