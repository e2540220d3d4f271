#include "jpeg/ExifDirectory.h"

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "jpeg/JpegLayout.h"

namespace {
constexpr uint16_t kShort = 3, kLong = 4, kRational = 5, kSLong = 9, kSRational = 10;
constexpr uint16_t kImageWidth = 0x0100, kImageLength = 0x0101, kCompression = 0x0103,
                   kOrientation = 0x0112, kXResolution = 0x011A, kYResolution = 0x011B,
                   kResolutionUnit = 0x0128, kThumbnailOffset = 0x0201, kThumbnailLength = 0x0202,
                   kExifLink = 0x8769, kGpsLink = 0x8825, kPixelX = 0xA002, kPixelY = 0xA003,
                   kInteropLink = 0xA005, kRelatedWidth = 0x1001, kRelatedLength = 0x1002,
                   kYCbCrPositioning = 0x0213;
// a marker segment's length field counts itself and the payload in 16 bits
constexpr std::size_t kMaxSegmentLength = 0xFFFF;
// an even offset no segment reaches: a damaged pointer stays as invalid as it was
constexpr uint32_t kOutOfReach = 0x00FFFFF0;
// the thumbnail's directory: six entries, the next link and two rationals
constexpr std::size_t kThumbnailDirectorySize = 2 + 6 * 12 + 4 + 16;

/// Reads and writes numbers of a TIFF structure in its declared byte order.
/// The structure runs from base to the end of the string, so it may grow.
class TTiff {
public:
    TTiff(std::string& data, std::size_t base, bool bigEndian)
        : d_(data), base_(base), big_(bigEndian) {}

    std::size_t Size() const { return d_.size() - base_; }
    bool Fits(uint64_t offset, uint64_t length) const {
        return offset <= Size() && length <= Size() - offset;
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
    void PutBytes(std::size_t offset, const std::string& bytes) {
        d_.replace(base_ + offset, bytes.size(), bytes);
    }
    /// Grows the structure by zero bytes to the given size.
    void Grow(std::size_t size) { d_.resize(base_ + size, '\0'); }
    /// Cuts the structure off at the given size.
    void Shrink(std::size_t size) { d_.resize(base_ + size); }
    /// The whole segment's length field: the segment without its marker.
    std::size_t SegmentLength() const { return d_.size() - 2; }
    bool BigEndian() const { return big_; }

private:
    std::string& d_;
    std::size_t base_;
    bool big_;
};

std::size_t TypeSize(uint32_t type) {
    static const std::size_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < std::size(sizes) ? sizes[type] : 0;
}

/// A directory whose entries and next link lie inside the data.
struct TDirectory {
    uint32_t At = 0, Count = 0;
    std::size_t Entry(uint32_t i) const { return At + 2 + 12 * std::size_t{i}; }
    std::size_t NextLink() const { return Entry(Count); }
    std::size_t End() const { return NextLink() + 4; }
};

std::optional<TDirectory> ReadDirectory(const TTiff& tiff, uint64_t at) {
    if (!tiff.Fits(at, 2)) return std::nullopt;
    const uint32_t count = tiff.Get(at, 2);
    if (!tiff.Fits(at + 2, uint64_t{count} * 12 + 4)) return std::nullopt;
    return TDirectory{uint32_t(at), count};
}

/// Where an entry's value lies: inside the entry up to four bytes, else at its offset.
struct TValue {
    std::size_t At;
    uint64_t Length;
};

// Nothing when the value lies outside the data: such an entry is left as it is.
std::optional<TValue> ValueOf(const TTiff& tiff, std::size_t entry) {
    const uint64_t length = uint64_t{tiff.Get(entry + 4, 4)} * TypeSize(tiff.Get(entry + 2, 2));
    if (length <= 4) return TValue{entry + 8, length};
    const uint32_t at = tiff.Get(entry + 8, 4);
    if (!tiff.Fits(at, length)) return std::nullopt;
    return TValue{at, length};
}

/// The first entry of the tag with a readable value (the first tag of a name
/// counts); 0, which no entry can be, when there is none.
std::size_t FindEntry(const TTiff& tiff, const std::optional<TDirectory>& dir, uint16_t tag) {
    if (!dir) return 0;
    for (uint32_t i = 0; i < dir->Count; ++i) {
        const std::size_t entry = dir->Entry(i);
        if (tiff.Get(entry, 2) != tag) continue;
        const auto value = ValueOf(tiff, entry);
        if (value && value->Length > 0) return entry;
    }
    return 0;
}

/// The number a link or LONG entry holds; nothing when absent or unreadable.
std::optional<uint32_t> NumberOf(const TTiff& tiff, const std::optional<TDirectory>& dir,
                                 uint16_t tag) {
    const std::size_t entry = FindEntry(tiff, dir, tag);
    if (!entry) return std::nullopt;
    const uint32_t type = tiff.Get(entry + 2, 2);
    if (type == kShort) return tiff.Get(entry + 8, 2);
    if (ValueOf(tiff, entry)->Length < 4) return std::nullopt;
    return tiff.Get(ValueOf(tiff, entry)->At, 4);
}

/// The directories of the structure, each read on its own: one that points
/// outside the data, or back to one already read, is simply absent.
struct TLayout {
    std::optional<TDirectory> Ifd0, Exif, Gps, Interop, Ifd1;
    bool LinksThumbnail = false; ///< IFD0 names a next directory, readable or not
    /// Every directory a link names was read: what lies where is known.
    bool Complete = true;
    std::size_t ThumbAt = 0, ThumbLength = 0;        ///< the old thumbnail, when inside the data
    std::vector<std::pair<uint64_t, uint64_t>> Used; ///< bytes the main image's records use
    /// The header and every directory: a value said to lie there is no value.
    std::vector<std::pair<uint64_t, uint64_t>> Structure;

    /// True when a value of the given length may be written at: inside the
    /// data, clear of the header, every directory and the old thumbnail.
    bool IsValueArea(const TTiff& tiff, uint64_t at, uint64_t length) const {
        if (!tiff.Fits(at, length)) return false;
        for (const auto& [start, end] : Structure)
            if (at < end && at + length > start) return false;
        return !(ThumbLength && at < ThumbAt + ThumbLength && at + length > ThumbAt);
    }
};

TLayout ReadLayout(const TTiff& tiff) {
    TLayout l;
    std::set<uint64_t> seen;
    auto read = [&](std::optional<uint32_t> at) -> std::optional<TDirectory> {
        if (!at || !seen.insert(*at).second) return std::nullopt;
        return ReadDirectory(tiff, *at);
    };
    l.Ifd0 = read(tiff.Get(4, 4));
    if (!l.Ifd0) return l;
    l.Exif = read(NumberOf(tiff, l.Ifd0, kExifLink));
    l.Gps = read(NumberOf(tiff, l.Ifd0, kGpsLink));
    l.Interop = read(NumberOf(tiff, l.Exif, kInteropLink));
    l.Complete = (l.Exif || !FindEntry(tiff, l.Ifd0, kExifLink)) &&
                 (l.Gps || !FindEntry(tiff, l.Ifd0, kGpsLink)) &&
                 (l.Interop || !FindEntry(tiff, l.Exif, kInteropLink));
    const uint32_t next = tiff.Get(l.Ifd0->NextLink(), 4);
    l.LinksThumbnail = next != 0;
    if (l.LinksThumbnail) l.Ifd1 = read(next);
    const auto thumbAt = NumberOf(tiff, l.Ifd1, kThumbnailOffset);
    const auto thumbLength = NumberOf(tiff, l.Ifd1, kThumbnailLength);
    if (thumbAt && thumbLength && tiff.Fits(*thumbAt, *thumbLength)) {
        l.ThumbAt = *thumbAt;
        l.ThumbLength = *thumbLength;
    }
    l.Used.push_back({0, 8});
    l.Structure.push_back({0, 8});
    // A damaged count stretches a directory over whatever follows it; its own
    // entries are those before the first of no known type, and only they and
    // their values are taken for data.
    auto own = [&](const TDirectory& dir) {
        for (uint32_t i = 0; i < dir.Count; ++i)
            if (TypeSize(tiff.Get(dir.Entry(i) + 2, 2)) == 0) return i;
        return dir.Count;
    };
    for (const auto* dir : {&l.Ifd0, &l.Exif, &l.Gps, &l.Interop, &l.Ifd1}) {
        if (!*dir) continue;
        // readers take nothing inside a directory's whole stretch for a value
        l.Structure.push_back({(*dir)->At, (*dir)->End()});
        if (dir == &l.Ifd1) continue;
        const uint32_t entries = own(**dir);
        const uint64_t end = entries == (*dir)->Count ? (*dir)->End() : (*dir)->Entry(entries);
        l.Used.push_back({(*dir)->At, end});
        for (uint32_t i = 0; i < entries; ++i)
            if (const auto v = ValueOf(tiff, (*dir)->Entry(i)); v && v->Length > 4)
                l.Used.push_back({v->At, v->At + v->Length}); // the maker note among them
    }
    return l;
}

/// Writes a number into an entry in the entry's own type: a rational as v/1,
/// an integer as itself. False for types that cannot hold it.
bool PutNumber(TTiff& tiff, const TLayout& l, std::size_t entry, uint32_t v) {
    if (!entry) return false;
    const uint32_t type = tiff.Get(entry + 2, 2);
    const auto value = ValueOf(tiff, entry);
    // checked again: an earlier write may have changed the entry in hostile data
    if (!value || value->Length == 0 || !tiff.Fits(value->At, std::min<uint64_t>(value->Length, 8)))
        return false;
    // an offset that points at the header or a directory is a damaged one, not
    // a place to write: the value is written anew as if it were missing
    if (value->Length > 4 && !l.IsValueArea(tiff, value->At, std::min<uint64_t>(value->Length, 8)))
        return false;
    if (type == kShort) {
        if (v > 0xFFFF) return false;
        tiff.Put16(value->At, v);
    } else if (type == kLong || type == kSLong) {
        tiff.Put32(value->At, v);
    } else if ((type == kRational || type == kSRational) && value->Length >= 8) {
        tiff.Put32(value->At, v);
        tiff.Put32(value->At + 4, 1);
    } else {
        return false;
    }
    tiff.Put32(entry + 4, 1); // one value: a damaged count would show more
    return true;
}

std::string Entry(bool big, uint16_t tag, uint16_t type, uint32_t value) {
    std::string e(12, '\0');
    TTiff one(e, 0, big);
    one.Put16(0, tag);
    one.Put16(2, type);
    one.Put32(4, 1);
    if (type == kShort)
        one.Put16(8, value);
    else
        one.Put32(8, value);
    return e;
}

/// A new main directory with the missing resolution tags, appended behind
/// everything else so that no offset into the old data changes (maker notes,
/// the thumbnail and the GPS data keep theirs); the header then points to it.
std::optional<TDirectory> AddResolutionTags(TTiff& tiff, const TDirectory& ifd0, bool addX,
                                            bool addY, bool addUnit, uint32_t horizontal,
                                            uint32_t vertical) {
    const bool big = tiff.BigEndian();
    std::vector<std::string> entries;
    for (uint32_t i = 0; i < ifd0.Count; ++i) {
        const std::size_t entry = ifd0.Entry(i);
        const uint32_t tag = tiff.Get(entry, 2);
        if ((addX && tag == kXResolution) || (addY && tag == kYResolution) ||
            (addUnit && tag == kResolutionUnit))
            continue; // replaced below: the old entry's type could not hold the value
        // an entry of no known type is no tag: readers skip it, or give up the
        // whole directory where it comes first
        if (TypeSize(tiff.Get(entry + 2, 2)) == 0) continue;
        std::string e(12, '\0');
        for (int b = 0; b < 12; ++b)
            e[std::size_t(b)] = static_cast<char>(tiff.Get(entry + std::size_t(b), 1));
        entries.push_back(e);
    }
    const std::size_t newCount = entries.size() + addX + addY + addUnit;
    const std::size_t at = (tiff.Size() + 1) / 2 * 2; // directories start on a word boundary
    const std::size_t values = at + 2 + 12 * newCount + 4;
    const std::size_t end = values + 8 * (addX + addY);
    if (tiff.SegmentLength() + (end - tiff.Size()) > kMaxSegmentLength || newCount > 0xFFFF)
        return std::nullopt;
    const uint32_t nextLink = tiff.Get(ifd0.NextLink(), 4);
    tiff.Grow(end);
    // readers look tags up in ascending order: each new entry goes before the
    // first entry of a higher tag, and the old ones keep their order (a damaged
    // directory is then read as it was)
    auto tagOf = [&](const std::string& e) {
        const unsigned a = static_cast<uint8_t>(e[0]), b = static_cast<uint8_t>(e[1]);
        return big ? a << 8 | b : b << 8 | a;
    };
    auto insert = [&](std::string e) {
        const auto before =
            std::find_if(entries.begin(), entries.end(),
                         [&](const std::string& old) { return tagOf(old) > tagOf(e); });
        entries.insert(before, std::move(e));
    };
    std::size_t next = values;
    auto rational = [&](uint16_t tag, uint32_t value) {
        tiff.Put32(next, value);
        tiff.Put32(next + 4, 1);
        insert(Entry(big, tag, kRational, uint32_t(next)));
        next += 8;
    };
    if (addX) rational(kXResolution, horizontal);
    if (addY) rational(kYResolution, vertical);
    if (addUnit) insert(Entry(big, kResolutionUnit, kShort, 2));
    const TDirectory grown{uint32_t(at), uint32_t(newCount)};
    tiff.Put16(at, uint32_t(newCount));
    for (std::size_t i = 0; i < entries.size(); ++i)
        tiff.PutBytes(grown.Entry(uint32_t(i)), entries[i]);
    tiff.Put32(grown.NextLink(), nextLink);
    tiff.Put32(4, uint32_t(at));
    return grown;
}

// A main directory whose entries fit but whose link to the next directory is
// cut off is read by readers (the orientation reader among them), so it gets
// a link (none) and is edited like any other. False when its entries run past
// the data: no reader takes it.
bool RepairMainDirectory(TTiff& tiff) {
    const uint32_t at = tiff.Get(4, 4);
    if (!tiff.Fits(at, 2)) return false;
    const TDirectory dir{at, tiff.Get(at, 2)};
    if (tiff.Fits(at + 2, uint64_t{dir.Count} * 12 + 4)) return true;
    if (!tiff.Fits(at + 2, uint64_t{dir.Count} * 12)) return false;
    // the structure grows by the link where the segment allows
    if (tiff.SegmentLength() + (dir.End() - tiff.Size()) > kMaxSegmentLength) return false;
    tiff.Grow(dir.End());
    tiff.Put32(dir.NextLink(), 0);
    return true;
}

void RemoveEntry(TTiff& tiff, TDirectory& dir, uint32_t i) {
    const std::size_t end = dir.End();
    for (std::size_t at = dir.Entry(i); at + 12 < end; ++at)
        tiff.PutBytes(at, std::string(1, static_cast<char>(tiff.Get(at + 12, 1))));
    tiff.PutBytes(end - 12, std::string(12, '\0'));
    --dir.Count;
    tiff.Put16(dir.At, dir.Count);
}

/// True when nothing but the directory lies in its bytes from..to: a damaged
/// count can make a directory reach over other data, whose bytes are then no
/// entries to write or move. A value said to start inside the directory is a
/// damaged pointer, not data.
bool OwnsItsBytes(const TLayout& l, const TDirectory& dir, uint64_t from, uint64_t to) {
    // the directory's own range is the one that starts where it does
    auto overlaps = [&](uint64_t start, uint64_t end) {
        return start != dir.At && start < to && end > from;
    };
    for (const auto& [start, end] : l.Structure)
        if (overlaps(start, end)) return false;
    for (const auto& [start, end] : l.Used)
        if (overlaps(start, end) && !(start >= dir.At && start < dir.End())) return false;
    return true;
}

/// A directory whose entries all have a known type: one that a damaged count
/// stretched over other data has entries of no type, and is left as it is.
bool IsPlausible(const TTiff& tiff, const TDirectory& dir) {
    for (uint32_t i = 0; i < dir.Count; ++i)
        if (TypeSize(tiff.Get(dir.Entry(i) + 2, 2)) == 0) return false;
    return true;
}

/// A plausible directory that owns its bytes: its entries may move.
bool IsMovable(const TTiff& tiff, const TLayout& l, const TDirectory& dir) {
    return IsPlausible(tiff, dir) && OwnsItsBytes(l, dir, dir.At, dir.End());
}

// A value or directory said to lie behind the end of the data would come to
// point into what the edit appends, and show those bytes as its own: such a
// damaged entry is kept as invalid as it was, pointing where no segment
// reaches. True when one was.
bool DropStaleEntries(TTiff& tiff, const TLayout& l, std::size_t dataEnd) {
    bool dropped = false;
    for (const auto* found : {&l.Ifd0, &l.Exif, &l.Gps, &l.Interop}) {
        if (!*found) continue;
        TDirectory dir = **found;
        if (!IsPlausible(tiff, dir)) continue;
        const bool movable = OwnsItsBytes(l, dir, dir.At, dir.End());
        for (uint32_t i = 0; i < dir.Count;) {
            const std::size_t entry = dir.Entry(i);
            const uint32_t tag = tiff.Get(entry, 2);
            const uint64_t length =
                uint64_t{tiff.Get(entry + 4, 4)} * TypeSize(tiff.Get(entry + 2, 2));
            const uint64_t at = tiff.Get(entry + 8, 4);
            const bool link = tag == kExifLink || tag == kGpsLink || tag == kInteropLink;
            // offsets past what a segment can hold stay out of reach whatever is appended
            const bool stale = at < kMaxSegmentLength &&
                               ((link && at >= dataEnd) ||
                                (!link && length > 4 && (at > dataEnd || length > dataEnd - at)));
            if (stale && movable) {
                RemoveEntry(tiff, dir, i);
                dropped = true;
                continue;
            }
            if (stale && OwnsItsBytes(l, dir, entry, entry + 12)) {
                tiff.Put32(entry + 8, kOutOfReach);
                dropped = true;
            }
            ++i;
        }
    }
    if (l.Ifd0 && l.LinksThumbnail && !l.Ifd1 && tiff.Get(l.Ifd0->NextLink(), 4) >= dataEnd) {
        tiff.Put32(l.Ifd0->NextLink(), 0);
        dropped = true;
    }
    return dropped;
}

// The old thumbnail shows the uncut picture, so its bytes do not stay: cut off
// where they end the structure (with nothing but zero padding behind), blanked
// where they lie between other data. Bytes a main-image record also uses are
// left alone.
void ClearOldThumbnail(TTiff& tiff, const TLayout& l) {
    if (!l.ThumbLength) return;
    const uint64_t from = l.ThumbAt, to = from + l.ThumbLength;
    bool usedBehind = false, overlaps = false;
    for (const auto& [start, end] : l.Used) {
        usedBehind |= end > from;
        overlaps |= start < to && end > from;
    }
    // nor where a directory stretched by a damaged count reads it as entries
    for (const auto* dir : {&l.Ifd0, &l.Exif, &l.Gps, &l.Interop})
        overlaps |= *dir && (*dir)->At < to && (*dir)->End() > from;
    if (overlaps) return;
    bool onlyPaddingBehind = true;
    for (std::size_t i = to; i < tiff.Size() && onlyPaddingBehind; ++i)
        onlyPaddingBehind = tiff.Get(i, 1) == 0;
    // a directory that could not be read may still be read by others up to the end
    if (!usedBehind && onlyPaddingBehind && l.Complete) {
        tiff.Shrink(from);
        return;
    }
    tiff.PutBytes(from, std::string(l.ThumbLength, '\0'));
}

// Where a JPEG stream that starts at at ends (behind its end-of-image
// marker): its segments must chain up to a scan, which random bytes do not.
std::optional<std::size_t> EmbeddedJpegEnd(const TTiff& tiff, std::size_t at) {
    auto byte = [&](std::size_t i) { return tiff.Get(i, 1); };
    std::size_t p = at + 2;
    for (int segments = 0; segments < 64 && tiff.Fits(p, 4); ++segments) {
        if (byte(p) != 0xFF) return std::nullopt;
        const uint32_t marker = byte(p + 1);
        if (marker == 0xDA) {
            for (std::size_t q = p + 2; tiff.Fits(q, 2); ++q)
                if (byte(q) == 0xFF && byte(q + 1) == 0xD9) return q + 2;
            return std::nullopt;
        }
        if (marker < 0xC0 || marker == 0xD8 || marker == 0xD9 || marker == 0xFF)
            return std::nullopt;
        const std::size_t length = byte(p + 2) << 8 | byte(p + 3);
        if (length < 2) return std::nullopt;
        p += 2 + length;
    }
    return std::nullopt;
}

// Previews of the whole photo that cameras keep in their maker notes (or
// elsewhere in the segment) would show the uncut, unturned picture: each is
// made anew from the cut in the space it had (zeros behind it), or blanked
// when no picture fits, so that no offset of the maker note moves. A stream
// that reaches into a directory or across a record is left alone.
void RenewPreviews(TTiff& tiff, const TLayout& l, const TThumbnailMaker& make) {
    for (std::size_t at = 0; tiff.Fits(at, 3); ++at) {
        if (tiff.Get(at, 1) != 0xFF || tiff.Get(at + 1, 1) != 0xD8 || tiff.Get(at + 2, 1) != 0xFF)
            continue;
        const auto end = EmbeddedJpegEnd(tiff, at);
        if (!end) continue;
        bool safe = l.IsValueArea(tiff, at, *end - at);
        for (const auto& [start, stop] : l.Used)
            safe = safe && (stop <= at || start >= *end || (start <= at && *end <= stop));
        if (safe) {
            const std::size_t length = *end - at;
            std::string old(length, '\0');
            for (std::size_t i = 0; i < length; ++i)
                old[i] = static_cast<char>(tiff.Get(at + i, 1));
            const auto made = make ? make(old, length) : std::nullopt;
            tiff.PutBytes(at, std::string(length, '\0'));
            if (made && made->size() <= length) tiff.PutBytes(at, *made);
        }
        at = *end - 1;
    }
}

// A thumbnail directory with the new thumbnail behind it, linked from IFD0;
// false when no thumbnail fits what the segment has left.
bool AppendThumbnail(TTiff& tiff, const TDirectory& ifd0, const std::string& old,
                     const TThumbnailMaker& make) {
    const std::size_t at = (tiff.Size() + 1) / 2 * 2;
    const std::size_t data = at + kThumbnailDirectorySize;
    const std::size_t used = tiff.SegmentLength() + (data - tiff.Size());
    if (used >= kMaxSegmentLength) return false;
    const std::optional<std::string> thumb = make(old, kMaxSegmentLength - used);
    if (!thumb || thumb->empty() || thumb->size() > kMaxSegmentLength - used) return false;
    const bool big = tiff.BigEndian();
    tiff.Grow(data + thumb->size());
    const std::size_t x = at + 2 + 6 * 12 + 4;
    const std::string entries[] = {
        Entry(big, kCompression, kShort, 6), // JPEG
        Entry(big, kXResolution, kRational, uint32_t(x)),
        Entry(big, kYResolution, kRational, uint32_t(x + 8)),
        Entry(big, kResolutionUnit, kShort, 2),
        Entry(big, kThumbnailOffset, kLong, uint32_t(data)),
        Entry(big, kThumbnailLength, kLong, uint32_t(thumb->size())),
    };
    const TDirectory ifd1{uint32_t(at), 6};
    tiff.Put16(at, 6);
    for (uint32_t i = 0; i < 6; ++i)
        tiff.PutBytes(ifd1.Entry(i), entries[i]);
    tiff.Put32(ifd1.NextLink(), 0);
    for (const std::size_t r : {x, x + 8}) { // 72 pixels per inch, as thumbnails state
        tiff.Put32(r, 72);
        tiff.Put32(r + 4, 1);
    }
    tiff.PutBytes(data, *thumb);
    tiff.Put32(ifd0.NextLink(), uint32_t(at));
    return true;
}
// The resolution in IFD0: written where the tags are, added behind everything
// else where they are missing or cannot take it; ifd0 follows a grown
// directory. False when no pair of tags holds it (the JFIF header then must).
bool PutResolution(TTiff& tiff, const TLayout& l, TDirectory& ifd0, const TExifEdits& edits) {
    // a tag whose type cannot hold the value is replaced like a missing one
    const bool addX = !PutNumber(tiff, l, FindEntry(tiff, l.Ifd0, kXResolution), edits.Horizontal);
    const bool addY = !PutNumber(tiff, l, FindEntry(tiff, l.Ifd0, kYResolution), edits.Vertical);
    // inches: the value written is pixels per inch, whatever unit was declared
    const std::size_t unit = FindEntry(tiff, l.Ifd0, kResolutionUnit);
    const uint32_t unitType = unit ? tiff.Get(unit + 2, 2) : 0;
    const bool addUnit = (unitType != kShort && unitType != kLong) || !PutNumber(tiff, l, unit, 2);
    if (!addX && !addY && !addUnit) return true;
    // a directory stretched over other data is not copied: what it holds is unknown
    if (IsPlausible(tiff, ifd0)) {
        if (const auto grown = AddResolutionTags(tiff, ifd0, addX, addY, addUnit, edits.Horizontal,
                                                 edits.Vertical)) {
            ifd0 = *grown;
            return true;
        }
    }
    // No room (or a damaged directory): what was written in place stays, and a
    // tag that could not take the value where it points holds it in the entry
    // itself, as a LONG (the unit as a SHORT), so that no tag states another.
    auto inEntry = [&](uint16_t tag, uint16_t type, uint32_t v) {
        bool found = false;
        for (uint32_t i = 0; i < ifd0.Count; ++i)
            if (tiff.Get(ifd0.Entry(i), 2) == tag &&
                OwnsItsBytes(l, ifd0, ifd0.Entry(i), ifd0.Entry(i) + 12)) {
                tiff.PutBytes(ifd0.Entry(i), Entry(tiff.BigEndian(), tag, type, v));
                found = true;
            }
        return found;
    };
    const bool x = !addX || inEntry(kXResolution, kLong, edits.Horizontal);
    const bool y = !addY || inEntry(kYResolution, kLong, edits.Vertical);
    if (addUnit) inEntry(kResolutionUnit, kShort, 2);
    // one direction alone is no resolution: it goes, and the JFIF header takes it
    if (x != y && IsMovable(tiff, l, ifd0))
        for (uint32_t i = 0; i < ifd0.Count;)
            if (const uint32_t tag = tiff.Get(ifd0.Entry(i), 2);
                tag == kXResolution || tag == kYResolution)
                RemoveEntry(tiff, ifd0, i);
            else
                ++i;
    return x && y;
}
} // namespace

std::optional<TExifEdited> EditExifSegment(std::string segment, std::size_t payload,
                                           const TExifEdits& edits,
                                           const TThumbnailMaker& makeThumbnail) {
    const std::size_t base = payload + 6; // the TIFF header
    if (segment.size() < base + 8 || segment.size() - 2 > kMaxSegmentLength) return std::nullopt;
    const std::string_view order = std::string_view(segment).substr(base, 4);
    const bool big = order == std::string_view("MM\0*", 4);
    if (!big && order != std::string_view("II*\0", 4)) return std::nullopt;
    TTiff tiff(segment, base, big);
    const std::size_t dataEnd = tiff.Size();
    if (!RepairMainDirectory(tiff)) return std::nullopt;
    TLayout l = ReadLayout(tiff);
    if (!l.Ifd0) return std::nullopt;
    // a thumbnail named, even where it cannot be read, is made anew
    const bool linksThumbnail = l.LinksThumbnail;
    if (DropStaleEntries(tiff, l, dataEnd)) l = ReadLayout(tiff);
    TDirectory ifd0 = *l.Ifd0;

    if (edits.Upright) {
        // the entries the orientation reader honours: the first is the one the pixels
        // were turned by, whatever lies around it; a further one only where it is no
        // other data's bytes
        int stated = 1;
        const auto* data = reinterpret_cast<const uint8_t*>(segment.data() + base);
        const std::vector<std::size_t> entries = OrientationEntries(data, tiff.Size(), stated);
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (i == 0 || OwnsItsBytes(l, ifd0, entries[i], entries[i] + 12))
                tiff.PutBytes(entries[i], Entry(big, kOrientation, kShort, 1));
    }
    if (edits.Width && edits.Height) {
        const std::pair<const std::optional<TDirectory>*, std::pair<uint16_t, uint16_t>> sizes[] = {
            {&l.Ifd0, {kImageWidth, kImageLength}},
            {&l.Exif, {kPixelX, kPixelY}},
            {&l.Interop, {kRelatedWidth, kRelatedLength}},
        };
        for (const auto& [dir, tags] : sizes) {
            PutNumber(tiff, l, FindEntry(tiff, *dir, tags.first), edits.Width);
            PutNumber(tiff, l, FindEntry(tiff, *dir, tags.second), edits.Height);
        }
    }
    const bool renew = edits.RenewThumbnail && linksThumbnail;
    std::string oldThumbnail;
    if (renew) {
        oldThumbnail = segment.substr(base + l.ThumbAt, l.ThumbLength);
        ClearOldThumbnail(tiff, l);
        tiff.Put32(ifd0.NextLink(), 0); // dropped unless a new one is made below
    }
    if (edits.RenewThumbnail) RenewPreviews(tiff, l, makeThumbnail);

    const bool resolution = edits.Horizontal != 0 && PutResolution(tiff, l, ifd0, edits);
    if (renew && makeThumbnail) AppendThumbnail(tiff, ifd0, oldThumbnail, makeThumbnail);

    const std::size_t length = tiff.SegmentLength();
    segment[2] = static_cast<char>(length >> 8);
    segment[3] = static_cast<char>(length & 0xFF);
    return TExifEdited{std::move(segment), resolution};
}

std::string MinimalExifSegment(uint32_t horizontal, uint32_t vertical) {
    std::string segment("\xFF\xE1\0\0Exif\0\0II*\0\x08\0\0\0", 18);
    TTiff tiff(segment, 10, false);
    const TDirectory ifd0{8, 5};
    const std::size_t x = ifd0.End();
    tiff.Grow(x + 16);
    tiff.Put16(ifd0.At, ifd0.Count);
    tiff.PutBytes(ifd0.Entry(0), Entry(false, kOrientation, kShort, 1));
    tiff.PutBytes(ifd0.Entry(1), Entry(false, kXResolution, kRational, uint32_t(x)));
    tiff.PutBytes(ifd0.Entry(2), Entry(false, kYResolution, kRational, uint32_t(x + 8)));
    tiff.PutBytes(ifd0.Entry(3), Entry(false, kResolutionUnit, kShort, 2));
    // required of every EXIF main image, whatever its colours (1: centred)
    tiff.PutBytes(ifd0.Entry(4), Entry(false, kYCbCrPositioning, kShort, 1));
    tiff.Put32(ifd0.NextLink(), 0);
    tiff.Put32(x, horizontal);
    tiff.Put32(x + 4, 1);
    tiff.Put32(x + 8, vertical);
    tiff.Put32(x + 12, 1);
    const std::size_t length = tiff.SegmentLength();
    segment[2] = static_cast<char>(length >> 8);
    segment[3] = static_cast<char>(length & 0xFF);
    return segment;
}

std::string ExifThumbnailOf(std::string segment, std::size_t payload) {
    const std::size_t base = payload + 6; // the TIFF header
    if (segment.size() < base + 8) return {};
    const std::string_view order = std::string_view(segment).substr(base, 4);
    const bool big = order == std::string_view("MM\0*", 4);
    if (!big && order != std::string_view("II*\0", 4)) return {};
    TTiff tiff(segment, base, big);
    const TLayout l = ReadLayout(tiff);
    if (!l.ThumbLength) return {};
    return segment.substr(base + l.ThumbAt, l.ThumbLength);
}
