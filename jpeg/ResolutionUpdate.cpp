#include "jpeg/ResolutionUpdate.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/FilesystemController.h"
#include "jpeg/ExifDirectory.h"
#include "jpeg/ExifThumbnail.h"
#include "jpeg/JpegLayout.h"
#include "jpeg/MetadataRecords.h"

namespace {
constexpr uint8_t kSos = 0xDA, kEoi = 0xD9, kApp0 = 0xE0, kApp1 = 0xE1, kApp2 = 0xE2, kApp13 = 0xED,
                  kCom = 0xFE;
const std::string_view kMpfSignature("MPF\0", 4);
// pictures of the whole, unturned photo that other segments carry: a JFIF
// extension's thumbnail and a FlashPix stream's preview
const std::string_view kJfxxSignature("JFXX\0", 5), kFlashPixSignature("FPXR\0", 5);

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

bool IsJfif(std::string_view d, const TSegment& s) {
    return s.Marker == kApp0 && PayloadStartsWith(d, s, std::string_view("JFIF\0", 5));
}

bool IsExif(std::string_view d, const TSegment& s) {
    return s.Marker == kApp1 && PayloadStartsWith(d, s, std::string_view("Exif\0\0", 6));
}

/// A JFIF segment (version 1.01, no thumbnail) stating the resolution, for a
/// file whose EXIF segment has no room left for it.
std::string JfifSegment(uint32_t h, uint32_t v) {
    std::string jfif("\xFF\xE0\0\x10JFIF\0\x01\x01\x01\0\0\0\0\0\0", 18);
    h = std::min<uint32_t>(h, 0xFFFF);
    v = std::min<uint32_t>(v, 0xFFFF);
    const char density[4] = {static_cast<char>(h >> 8), static_cast<char>(h),
                             static_cast<char>(v >> 8), static_cast<char>(v)};
    jfif.replace(12, 4, density, 4);
    return jfif;
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

/// What one rewrite changes.
struct TEdits {
    uint32_t Horizontal = 0, Vertical = 0; // 0: the resolution stays
    bool Upright = false;                  // the orientation becomes 1
    bool Cut = false; // the file is a cut: sizes, thumbnail and the index of other images follow
    const TThumbnailCut* Source = nullptr; // where the cut lies in its source, when known
};

// The file with every record of the main image edited; nothing when its
// structure is broken or no record changed. With the resolution in the EXIF
// segment that segment leads, then the IPTC and comment segments, then every
// other segment in its order, a leading JFIF segment dropped; otherwise the
// segments keep their places. A JFIF segment that stays states the resolution
// too; a file with neither EXIF nor JFIF data gets a small EXIF segment for it.
std::optional<std::string> Rewrite(std::string_view jpeg, const TEdits& edits) {
    std::size_t headerEnd = 0;
    const auto segments = ReadSegments(jpeg, headerEnd);
    if (!segments) return std::nullopt;
    const TSegment *exif = nullptr, *iptc = nullptr, *comment = nullptr;
    bool jfif = false;
    uint32_t width = 0, height = 0;
    for (const TSegment& s : *segments) {
        if (!exif && IsExif(jpeg, s)) exif = &s;
        if (!iptc && s.Marker == kApp13 && PayloadStartsWith(jpeg, s, kPhotoshopSignature))
            iptc = &s;
        if (!comment && s.Marker == kCom) comment = &s;
        jfif |= IsJfif(jpeg, s);
        if (IsFrameMarker(s.Marker) && s.End - s.Payload >= 5 && !width) {
            height = Byte(jpeg, s.Payload + 1) << 8 | Byte(jpeg, s.Payload + 2);
            width = Byte(jpeg, s.Payload + 3) << 8 | Byte(jpeg, s.Payload + 4);
        }
    }
    TExifEdits exifEdits;
    exifEdits.Horizontal = edits.Horizontal;
    exifEdits.Vertical = edits.Vertical;
    exifEdits.Upright = edits.Upright;
    exifEdits.RenewThumbnail = edits.Cut;
    if (edits.Cut) {
        exifEdits.Width = width;
        exifEdits.Height = height;
    }
    const auto thumbnail = [&](std::string_view old, std::size_t maxBytes) {
        std::optional<std::string> made;
        if (edits.Source && !old.empty()) made = CutExifThumbnail(old, *edits.Source, maxBytes);
        return made ? made : MakeExifThumbnail(jpeg, int32_t(width), int32_t(height), maxBytes);
    };
    std::optional<TExifEdited> edited;
    if (exif)
        edited = EditExifSegment(std::string(jpeg.substr(exif->Start, exif->End - exif->Start)),
                                 exif->Payload - exif->Start, exifEdits, thumbnail);
    else if (!jfif && edits.Horizontal) // CMYK and RGB files carry neither
        edited = TExifEdited{MinimalExifSegment(edits.Horizontal, edits.Vertical), true};
    const bool resolution = edited && edited->Resolution;
    const bool density = edits.Horizontal != 0; // also when the EXIF segment had no room
    // a resolution that no record can carry gets a JFIF segment of its own
    const bool addJfif = density && !resolution && !jfif;
    TRecordEdits records;
    records.Resolution = edits.Horizontal == edits.Vertical ? edits.Horizontal : 0;
    records.Upright = edits.Upright;
    if (edits.Cut) {
        records.Width = width;
        records.Height = height;
        records.NothingAfter = true;
        if (edits.Source) records.Cut = *edits.Source; // face regions move with the cut
    }

    std::string out = "\xFF\xD8";
    bool changed =
        edited && (!exif || edited->Segment != jpeg.substr(exif->Start, exif->End - exif->Start));
    if (addJfif) {
        out += JfifSegment(edits.Horizontal, edits.Vertical);
        changed = true;
    }
    auto bytesOf = [&](const TSegment& s) {
        std::string bytes(jpeg.substr(s.Start, s.End - s.Start));
        const std::size_t payload = s.Payload - s.Start;
        bool now = false;
        if (density && IsJfif(jpeg, s)) {
            PutJfifDensity(bytes, payload, edits.Horizontal, edits.Vertical);
            now = true;
        } else if (s.Marker == kApp13) {
            now = PatchPhotoshopResolution(bytes, payload, records.Resolution);
        } else if (&s != exif && IsExif(jpeg, s)) {
            // a second EXIF segment describes the same picture: edited alike, its thumbnail dropped
            if (auto other = EditExifSegment(bytes, payload, exifEdits, nullptr)) {
                now = true;
                bytes = std::move(other->Segment);
            }
        } else if (s.Marker == kApp1) {
            now = PatchXmp(bytes, payload, records);
        }
        changed |= now && bytes != jpeg.substr(s.Start, s.End - s.Start);
        return bytes;
    };
    if (resolution) {
        out += edited->Segment;
        if (iptc) out += bytesOf(*iptc);
        if (comment) out += bytesOf(*comment);
    }
    for (std::size_t i = 0; i < segments->size(); ++i) {
        const TSegment& s = (*segments)[i];
        if (&s == exif) {
            if (!resolution) out += edited ? edited->Segment : bytesOf(s);
            continue;
        }
        // the moved segments are not kept twice; a leading JFIF segment gives way to EXIF
        if (resolution && (&s == iptc || &s == comment || (i == 0 && IsJfif(jpeg, s)))) {
            changed |= i == 0 && &s != iptc && &s != comment;
            continue;
        }
        // the other images a multi-picture index names lay behind the picture; the cut dropped them
        if (edits.Cut && s.Marker == kApp2 && PayloadStartsWith(jpeg, s, kMpfSignature)) {
            changed = true;
            continue;
        }
        // they show the whole photo unturned: no reader may take them for the cut's picture
        if (edits.Cut && ((s.Marker == kApp0 && PayloadStartsWith(jpeg, s, kJfxxSignature)) ||
                          (s.Marker == kApp2 && PayloadStartsWith(jpeg, s, kFlashPixSignature)))) {
            changed = true;
            continue;
        }
        out += bytesOf(s);
    }
    if (!changed) return std::nullopt;
    out += jpeg.substr(headerEnd);
    return out;
}

// 0, or the system's error of the first step that failed.
int WriteNew(const std::string& path, const std::string& bytes, mode_t mode) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    int error = fchmod(fd, mode) == 0 ? 0 : errno;
    std::size_t done = 0;
    while (!error && done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            error = n < 0 ? errno : ENOSPC;
        else
            done += static_cast<std::size_t>(n);
    }
    // a file system that delays its writes tells of a full disk only here
    if (close(fd) != 0 && !error) error = errno;
    return error;
}

// Moves the file aside without ever replacing a file already under the new name.
bool MoveAside(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat st;
    return lstat(to.c_str(), &st) != 0 && errno == ENOENT && rename(from.c_str(), to.c_str()) == 0;
}
TEdits EditsOf(const TMetadataUpdate& update) {
    TEdits edits;
    edits.Upright = update.Upright;
    edits.Cut = true;
    if (update.Cut) edits.Source = &*update.Cut;
    if (update.Resolution > 0)
        edits.Horizontal = edits.Vertical = static_cast<uint32_t>(update.Resolution);
    return edits;
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

std::optional<std::string> RewriteMetadata(std::string_view jpeg, const TMetadataUpdate& update) {
    return Rewrite(jpeg, EditsOf(update));
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
// Rewrites the file through the temporary name. Not changed when no record
// needed a change or the structure is broken; an error leaves it as it was.
TMetadataResult RewriteFile(const std::string& path, const TEdits& edits) {
    std::string bytes, reason;
    mode_t mode = 0644;
    // the content decides, not the name: a photo may be named anything
    if (!ReadRegularFile(path, bytes, reason, &mode)) return {false, reason};
    const auto rewritten = Rewrite(bytes, edits);
    if (!rewritten) return {};
    const std::string temp = ResolutionTempName(path);
    // a leftover under the temporary name is never read or replaced
    if (!MoveAside(path, temp)) return {false, SystemErrorText(errno)};
    const int error = WriteNew(path, *rewritten, mode);
    if (error == 0) {
        unlink(temp.c_str());
        return {true, ""};
    }
    unlink(path.c_str());
    rename(temp.c_str(), path.c_str());
    return {false, SystemErrorText(error), error == ENOSPC || error == EDQUOT};
}
} // namespace

bool WriteResolution(const std::string& path, int horizontal, int vertical) {
    if (horizontal <= 0 || vertical <= 0) return false;
    TEdits edits;
    edits.Horizontal = static_cast<uint32_t>(horizontal);
    edits.Vertical = static_cast<uint32_t>(vertical);
    return RewriteFile(path, edits).Changed || WriteJfifDensity(path, horizontal, vertical);
}

TMetadataResult UpdateMetadata(const std::string& path, const TMetadataUpdate& update) {
    const TMetadataResult rewritten = RewriteFile(path, EditsOf(update));
    // a rewrite that failed is not papered over with a density that says less
    if (rewritten.Changed || !rewritten.Error.empty() || update.Resolution <= 0) return rewritten;
    return {WriteJfifDensity(path, update.Resolution, update.Resolution), ""};
}
