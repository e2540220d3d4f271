// Real photos full of metadata, their EXIF and XMP damaged the ways files out
// in the world are damaged, each cut through the real crop job and the real
// transformer for a bounded time. Every output must keep what exiftool read
// in its source, less what the cut changes; be upright-labelled where its
// pixels were turned; and hold the resolution the job reports. A failure
// names its seed: METADATA_FUZZ_SEED=<seed> runs that case alone, and
// METADATA_FUZZ_KEEP=<folder> then keeps its source and output there. The
// series is the same each run; METADATA_FUZZ_RANDOM=1 draws a new one.
#include "jobs/CropJob.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"
#include "jpeg/JpegThumbnail.h"

#ifndef METADATA_FUZZ_SECONDS
#define METADATA_FUZZ_SECONDS 60
#endif

using namespace samples;

namespace {
constexpr int kPpi = 300;

uint32_t Get(const std::string& d, std::size_t at, int bytes, bool big) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        const uint32_t b = uint8_t(d[at + std::size_t(i)]);
        v |= big ? b << (8 * (bytes - 1 - i)) : b << (8 * i);
    }
    return v;
}

void Put(std::string& d, std::size_t at, uint32_t v, int bytes, bool big) {
    for (int i = 0; i < bytes; ++i)
        d[at + std::size_t(i)] = char(big ? v >> (8 * (bytes - 1 - i)) : v >> (8 * i));
}

/// Where the parts of a file's EXIF segment lie; offsets count from the TIFF header.
struct TExifMap {
    std::size_t Segment = 0, Tiff = 0, End = 0; // in the file
    bool Big = false;
    struct TEntry {
        std::size_t At; // the entry's 12 bytes
        uint16_t Tag, Type;
        uint32_t Count;
        bool Outside; // the value lies elsewhere, at the offset in the entry's last four bytes
    };
    std::vector<std::size_t> Directories; // each starts with its entry count
    std::vector<TEntry> Entries;
};

std::optional<TExifMap> MapExif(const std::string& jpeg) {
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && uint8_t(jpeg[pos]) == 0xFF && uint8_t(jpeg[pos + 1]) != 0xDA) {
        const std::size_t end = pos + 2 + Get(jpeg, pos + 2, 2, true);
        if (uint8_t(jpeg[pos + 1]) == 0xE1 &&
            jpeg.compare(pos + 4, 6, std::string("Exif\0\0", 6)) == 0) {
            TExifMap m{pos, pos + 10, end, jpeg[pos + 10] == 'M', {}, {}};
            const std::string t = jpeg.substr(m.Tiff, end - m.Tiff);
            std::vector<uint32_t> todo{Get(t, 4, 4, m.Big)};
            static const int kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
            while (!todo.empty() && m.Directories.size() < 8) {
                const uint32_t d = todo.back();
                todo.pop_back();
                if (d < 8 || d + 2 > t.size()) continue;
                m.Directories.push_back(d);
                const uint32_t n = Get(t, d, 2, m.Big);
                for (uint32_t i = 0; i < n && d + 2 + 12 * (i + 1) <= t.size(); ++i) {
                    const std::size_t at = d + 2 + 12 * i;
                    TExifMap::TEntry e{at, uint16_t(Get(t, at, 2, m.Big)),
                                       uint16_t(Get(t, at + 2, 2, m.Big)), Get(t, at + 4, 4, m.Big),
                                       false};
                    e.Outside = e.Type < 13 && uint64_t(kSizes[e.Type]) * e.Count > 4;
                    m.Entries.push_back(e);
                    if (e.Tag == 0x8769 || e.Tag == 0x8825 || e.Tag == 0xA005)
                        todo.push_back(Get(t, at + 8, 4, m.Big));
                }
                const std::size_t link = d + 2 + 12 * std::size_t(n);
                if (m.Directories.size() == 1 && link + 4 <= t.size())
                    todo.push_back(Get(t, link, 4, m.Big)); // the thumbnail's directory
            }
            return m;
        }
        pos = end;
    }
    return std::nullopt;
}

void SetLength(std::string& jpeg, std::size_t segment, std::size_t length) {
    Put(jpeg, segment + 2, uint32_t(length - 2), 2, true);
}

/// The segments of the given marker that start with the signature: start and end.
std::vector<std::pair<std::size_t, std::size_t>> SegmentsOf(const std::string& jpeg, int marker,
                                                            const std::string& signature) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && uint8_t(jpeg[pos]) == 0xFF && uint8_t(jpeg[pos + 1]) != 0xDA) {
        const std::size_t end = pos + 2 + Get(jpeg, pos + 2, 2, true);
        if (uint8_t(jpeg[pos + 1]) == marker &&
            jpeg.compare(pos + 4, signature.size(), signature) == 0)
            found.emplace_back(pos, end);
        pos = end;
    }
    return found;
}

/// One way of damaging a file's metadata: what it did, or "" when it found nothing
/// to damage. Entries it damages may be lost; their number goes to lost.
using TMutation = std::function<std::string(std::string&, std::mt19937&, int& lost)>;

std::string Hex(uint32_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << v;
    return s.str();
}

// The value offset of a value stored elsewhere: 0, into a directory, past the end.
std::string BadValueOffset(std::string& jpeg, std::mt19937& rng, int& lost) {
    const auto m = MapExif(jpeg);
    if (!m) return "";
    std::vector<TExifMap::TEntry> outside;
    for (const auto& e : m->Entries)
        if (e.Outside) outside.push_back(e);
    if (outside.empty()) return "";
    const auto& e = outside[rng() % outside.size()];
    const uint32_t size = uint32_t(m->End - m->Tiff);
    const uint32_t choices[] = {0,
                                uint32_t(m->Directories[rng() % m->Directories.size()]),
                                uint32_t(e.At),
                                size + uint32_t(rng() % 64),
                                0xFFFFFFF0u,
                                4};
    const uint32_t to = choices[rng() % std::size(choices)];
    Put(jpeg, m->Tiff + e.At + 8, to, 4, m->Big);
    ++lost;
    return "value offset of tag " + Hex(e.Tag) + " set to " + std::to_string(to);
}

// A directory's entry count past its end, or the segment cut inside a directory.
std::string TruncatedDirectory(std::string& jpeg, std::mt19937& rng, int&) {
    const auto m = MapExif(jpeg);
    if (!m || m->Directories.empty()) return "";
    const std::size_t d = m->Directories[rng() % m->Directories.size()];
    if (rng() % 2) {
        const uint32_t n = Get(jpeg, m->Tiff + d, 2, m->Big) + 1 + rng() % 300;
        Put(jpeg, m->Tiff + d, n, 2, m->Big);
        return "entry count of the directory at " + std::to_string(d) + " set to " +
               std::to_string(n);
    }
    const std::size_t cut = m->Tiff + d + 2 + rng() % 30;
    if (cut >= m->End) return "";
    jpeg.erase(cut, m->End - cut);
    SetLength(jpeg, m->Segment, cut - m->Segment);
    return "segment cut " + std::to_string(cut - m->Tiff - d) + " bytes into the directory at " +
           std::to_string(d);
}

// The main directory's link to the next one: missing (it points anywhere), a loop, none.
std::string DamagedNextLink(std::string& jpeg, std::mt19937& rng, int&) {
    const auto m = MapExif(jpeg);
    if (!m || m->Directories.empty()) return "";
    const std::size_t d = m->Directories[0];
    const std::size_t link = m->Tiff + d + 2 + 12 * Get(jpeg, m->Tiff + d, 2, m->Big);
    if (link + 4 > m->End) return "";
    const uint32_t choices[] = {0, uint32_t(d), 0x41424344u, uint32_t(m->End - m->Tiff + 2)};
    const uint32_t to = choices[rng() % std::size(choices)];
    Put(jpeg, link, to, 4, m->Big);
    return "link after the main directory set to " + std::to_string(to);
}

// A damaged type or count, on the Orientation entry or any entry.
std::string DamagedCountOrType(std::string& jpeg, std::mt19937& rng, int& lost) {
    const auto m = MapExif(jpeg);
    if (!m || m->Entries.empty()) return "";
    auto e = m->Entries[rng() % m->Entries.size()];
    for (const auto& o : m->Entries)
        if (o.Tag == 0x0112 && rng() % 2) e = o;
    const uint32_t types[] = {0, 2, 7, 9, 13, 255}, counts[] = {0, 2, 1000, 0x7FFFFFFF};
    std::string what;
    if (rng() % 2) {
        const uint32_t t = types[rng() % std::size(types)];
        Put(jpeg, m->Tiff + e.At + 2, t, 2, m->Big);
        what = "type " + std::to_string(t);
    } else {
        const uint32_t c = counts[rng() % std::size(counts)];
        Put(jpeg, m->Tiff + e.At + 4, c, 4, m->Big);
        what = "count " + std::to_string(c);
    }
    ++lost;
    return what + " on tag " + Hex(e.Tag);
}

// Orientation stored as LONG, as some programs write it.
std::string OrientationAsLong(std::string& jpeg, std::mt19937&, int&) {
    const auto m = MapExif(jpeg);
    if (!m) return "";
    for (const auto& e : m->Entries)
        if (e.Tag == 0x0112) {
            const uint32_t v = Get(jpeg, m->Tiff + e.At + 8, 2, m->Big);
            Put(jpeg, m->Tiff + e.At + 2, 4, 2, m->Big);
            Put(jpeg, m->Tiff + e.At + 8, v, 4, m->Big);
            return "Orientation " + std::to_string(v) + " as LONG";
        }
    return "";
}

// A second EXIF or XMP segment (with another Orientation), or a second JFIF one.
std::string DuplicateSegment(std::string& jpeg, std::mt19937& rng, int&) {
    const std::pair<int, std::string> kinds[] = {{0xE1, std::string("Exif\0\0", 6)},
                                                 {0xE1, "http://ns.adobe.com/xap/1.0/"},
                                                 {0xE0, std::string("JFIF\0", 5)}};
    const auto& [marker, signature] = kinds[rng() % std::size(kinds)];
    const auto found = SegmentsOf(jpeg, marker, signature);
    if (found.empty()) return "";
    std::string copy = jpeg.substr(found[0].first, found[0].second - found[0].first);
    // the second EXIF segment asks for another turn; MapExif reads a file, so framed as one
    std::string framed = "\xFF\xD8" + copy;
    if (const auto m = MapExif(framed); m && marker == 0xE1)
        for (const auto& e : m->Entries)
            if (e.Tag == 0x0112) Put(framed, m->Tiff + e.At + 8, 3, 2, m->Big);
    copy = framed.substr(2);
    const std::size_t at = rng() % 2 ? found[0].second : 2;
    jpeg.insert(at, copy);
    return "segment " + signature.substr(0, 4) + " twice";
}

// The EXIF segment filled to its limit, its resolution tags renamed away.
std::string FullSegment(std::string& jpeg, std::mt19937& rng, int&) {
    const auto m = MapExif(jpeg);
    if (!m) return "";
    for (const auto& e : m->Entries)
        if ((e.Tag == 0x011A || e.Tag == 0x011B || e.Tag == 0x0128) && rng() % 4)
            Put(jpeg, m->Tiff + e.At, 0xC7F0 + e.Tag % 8, 2, m->Big); // a private tag
    const std::size_t slack = rng() % 40, used = m->End - m->Segment;
    if (used + slack >= 0xFFFF + 2) return "";
    const std::size_t room = 0xFFFF + 2 - used - slack;
    jpeg.insert(m->End, std::string(room, '\0'));
    SetLength(jpeg, m->Segment, m->End - m->Segment + room);
    return "EXIF segment filled with " + std::to_string(room) + " bytes";
}

// Bytes flipped at random inside an APP1 segment's payload.
std::string ByteFlips(std::string& jpeg, std::mt19937& rng, int& lost) {
    auto found = SegmentsOf(jpeg, 0xE1, "");
    if (found.empty()) return "";
    const auto [start, end] = found[rng() % found.size()];
    const std::size_t from = start + 10; // past the length and most of the signature
    if (end <= from) return "";
    std::string what = "flipped in APP1 at";
    for (int n = 1 + rng() % 4; n > 0; --n) {
        const std::size_t at = from + rng() % (end - from);
        jpeg[at] = char(jpeg[at] ^ (1 << (rng() % 8)));
        what += ' ';
        what += std::to_string(at - start);
        ++lost;
    }
    return what;
}

/// What exiftool reads: every tag's group and name, with its value.
std::vector<std::map<std::string, std::string>> Read(const std::vector<std::string>& paths) {
    std::vector<std::string> args{"-j", "-G1", "-a", "-n"};
    args.insert(args.end(), paths.begin(), paths.end());
    std::vector<std::map<std::string, std::string>> files;
    for (const std::string& line : Run("exiftool", args)) {
        if (line.rfind("[{", 0) == 0 || line.rfind("{", 0) == 0) files.emplace_back();
        const std::size_t close = line.find("\": ");
        if (line.rfind("  \"", 0) != 0 || close == std::string::npos || files.empty()) continue;
        std::string value = line.substr(close + 3);
        if (!value.empty() && value.back() == ',') value.pop_back();
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        // a tag read again (from a second segment) is kept as "Group:Name (2)" and so on
        std::string key = line.substr(3, close - 3);
        for (int n = 2; files.back().count(key); ++n)
            key = line.substr(3, close - 3) + " (" + std::to_string(n) + ")";
        files.back()[key] = value;
    }
    return files;
}

// Tags the cut changes, adds or removes by design.
bool ChangedByTheCut(const std::string& tag) {
    static const char* const groups[] = {
        "SourceFile", "File:", "System:", "Composite:", "ExifTool:",   "IFD1:",
        "JFIF:",      "JFXX:", "MPF",     "FlashPix",   "XMP-mwg-rs:", "XMP-GCamera:"};
    for (const char* g : groups)
        if (tag.rfind(g, 0) == 0) return true;
    static const char* const names[] = {"Orientation",    "XResolution",      "YResolution",
                                        "ResolutionUnit", "ImageWidth",       "ImageHeight",
                                        "ImageLength",    "ExifImageWidth",   "ExifImageHeight",
                                        "ThumbnailImage", "ThumbnailOffset",  "ThumbnailLength",
                                        "PreviewImage",   "YCbCrPositioning", "Compression"};
    const std::string name = tag.substr(tag.find(':') + 1);
    for (const char* n : names)
        if (name.rfind(n, 0) == 0) return true;
    return false;
}

/// An EXIF segment as a camera starts it: the make and a maker note, which is a
/// directory whose values lie at offsets counted from the TIFF header, as one
/// maker writes them, so that it breaks when moved.
std::string MakerNoteExif() {
    auto le = [](uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i)
            s += char(v >> (8 * i));
        return s;
    };
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        return le(tag, 2) + le(type, 2) + le(count, 4) + le(value, 4);
    };
    const std::string make("Canon\0", 6), type("FUZZ IMAGE TYPE\0", 16),
        firmware("Firmware 1.0.0\0\0", 16);
    const uint32_t exif = 8 + 2 + 2 * 12 + 4, note = exif + 2 + 12 + 4, values = note + 2 + 24 + 4;
    const std::string noteData = le(2, 2) + entry(0x0006, 2, 16, values) +
                                 entry(0x0007, 2, 16, values + 16) + le(0, 4) + type + firmware;
    const uint32_t makeAt = note + uint32_t(noteData.size());
    return ExifSegment(std::string("II*\0", 4) + le(8, 4) + le(2, 2) + entry(0x010F, 2, 6, makeAt) +
                       entry(0x8769, 4, 1, exif) + le(0, 4) + le(1, 2) +
                       entry(0x927C, 7, uint32_t(noteData.size()), note) + le(0, 4) + noteData +
                       make);
}

/// Photos as cameras and photo managers leave them: every kind of record filled.
std::vector<std::string> Sources(const TTempDir& dir) {
    MakePhoto(dir.file("thumb.jpg"), 160, 120);
    MakePhoto(dir.file("camera.jpg"), 320, 240);
    Run("convert", {dir.file("camera.jpg"), "-resize", "304x224!", "-sampling-factor", "2x1",
                    "-interlace", "JPEG", "-quality", "88", dir.file("magick.jpg")});
    const std::vector<std::string> tags{
        "-IFD0:Model=F 1",
        "-IFD0:Software=Editor 2.1",
        "-IFD0:Artist=A. Person",
        "-IFD0:Copyright=(c) someone",
        "-IFD0:ImageDescription=A view",
        "-IFD0:ModifyDate=2024:05:06 07:08:09",
        "-IFD0:XResolution=72",
        "-IFD0:YResolution=72",
        "-IFD0:ResolutionUnit=inches",
        "-ExifIFD:DateTimeOriginal=2024:05:06 07:08:09",
        "-ExifIFD:ExposureTime=1/125",
        "-ExifIFD:FNumber=5.6",
        "-ExifIFD:ISO=200",
        "-ExifIFD:UserComment=a comment of the camera",
        "-ExifIFD:LensModel=Lens 35mm",
        "-ExifIFD:ExifImageWidth=320",
        "-ExifIFD:ExifImageHeight=240",
        "-ExifIFD:SubSecTimeOriginal=42",
        "-GPS:GPSLatitude=55.676",
        "-GPS:GPSLatitudeRef=N",
        "-GPS:GPSLongitude=12.568",
        "-GPS:GPSLongitudeRef=E",
        "-GPS:GPSAltitude=14.5",
        "-InteropIndex=R98",
        "-ThumbnailImage<=" + dir.file("thumb.jpg"),
        "-IFD1:XResolution=72",
        "-IFD1:YResolution=72",
        "-XMP-dc:Title=A view",
        "-XMP-dc:Creator=A. Person",
        "-XMP-dc:Subject=sea",
        "-XMP-dc:Subject=harbour",
        "-XMP-xmp:Rating=4",
        "-XMP-photoshop:City=Copenhagen",
        "-XMP-mwg-rs:RegionInfo={AppliedToDimensions={W=320,H=240,Unit=pixel},RegionList=["
        "{Area={X=0.25,Y=0.5,W=0.1,H=0.2,Unit=normalized},Name=Ann,Type=Face},"
        "{Area={X=0.9,Y=0.1,W=0.1,H=0.1,Unit=normalized},Name=Bob,Type=Face}]}",
        "-IPTC:Keywords=sea",
        "-IPTC:Keywords=harbour",
        "-IPTC:By-line=A. Person",
        "-IPTC:City=Copenhagen",
        "-Photoshop:XResolution=72",
        "-Photoshop:YResolution=72",
        "-Comment=a comment of the file"};
    std::vector<std::string> sources;
    const std::string camera = ReadFileBytes(dir.file("camera.jpg"));
    WriteFileBytes(dir.file("camera.jpg"),
                   camera.substr(0, 2) + MakerNoteExif() + camera.substr(2));
    for (const auto& [name, orientation] : {std::pair{"camera.jpg", "6"}, {"magick.jpg", "3"}}) {
        std::vector<std::string> args{"-q", "-overwrite_original",
                                      "-IFD0:Orientation#=" + std::string(orientation),
                                      "-XMP-tiff:Orientation#=" + std::string(orientation)};
        args.insert(args.end(), tags.begin(), tags.end());
        if (std::string(name) == "magick.jpg") args.push_back("-IFD0:Make=Fuzzcam");
        args.push_back(dir.file(name));
        Run("exiftool", args);
        sources.push_back(WithoutJfif(ReadFileBytes(dir.file(name))));
    }
    return sources;
}

/// One case of the run: made from its seed alone.
struct TCase {
    uint32_t Seed;
    std::string Recipe; // how the source was made and damaged, and the cut
};

std::string Join(const std::set<std::string>& s) {
    std::string r;
    for (const std::string& v : s)
        r += (r.empty() ? "" : ", ") + v;
    return r;
}
} // namespace

TEST(MetadataFuzzTest, DamagedMetadataSurvivesTheCut) {
    TTempDir dir;
    const std::vector<std::string> sources = Sources(dir);
    const std::string tool = FindTransformer();
    ASSERT_FALSE(tool.empty());
    const std::pair<const char*, TMutation> mutations[] = {
        {"bad value offset", BadValueOffset},
        {"truncated directory", TruncatedDirectory},
        {"damaged next link", DamagedNextLink},
        {"damaged count or type", DamagedCountOrType},
        {"Orientation as LONG", OrientationAsLong},
        {"duplicate segment", DuplicateSegment},
        {"full segment", FullSegment},
        {"byte flips", ByteFlips}};

    const char* fixed = std::getenv("METADATA_FUZZ_SEED");
    // a faster machine runs no further into the series than the slowest one is checked to
    const int kMaxCases = std::getenv("METADATA_FUZZ_RANDOM") ? 1 << 30 : 300;
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::seconds(METADATA_FUZZ_SECONDS);
    // the same cases every run, so that a failure is the code's and not the draw's;
    // METADATA_FUZZ_RANDOM=1 draws a new series, for a longer search by hand
    uint32_t seed = fixed ? uint32_t(std::strtoul(fixed, nullptr, 10))
                    : std::getenv("METADATA_FUZZ_RANDOM") ? uint32_t(std::random_device{}())
                                                          : 20261207u;
    int runs = 0, written = 0;
    std::map<std::string, int> failures; // by kind
    std::map<std::string, uint32_t> firstSeed;
    do {
        std::mt19937 rng(seed);
        std::string recipe;
        // a damaged file must not throw out of the crop job either
        try {
            const std::size_t which = rng() % sources.size();
            std::string jpeg = sources[which];
            recipe = "source " + std::to_string(which);
            int lost = 0;
            for (int n = 1 + rng() % 3; n > 0; --n) {
                const auto& [kind, mutate] = mutations[rng() % std::size(mutations)];
                const std::string what = mutate(jpeg, rng, lost);
                if (!what.empty()) recipe += "; " + std::string(kind) + ": " + what;
            }
            TCropJob job;
            job.Tool = tool;
            job.Source = dir.file("source.jpg");
            job.Output = dir.file("output.jpg");
            job.Resolution = kPpi;
            WriteFileBytes(job.Source, jpeg);
            std::remove(job.Output.c_str());
            // the crop as the window plans it: from the view the orientation shows
            TJpegLayout layout;
            try {
                layout = ReadJpegLayout(job.Source);
            } catch (const std::exception&) {
                seed = rng();
                continue;
            }
            const int rotation = int(rng() % 4) * 90;
            const TJpegView view = ViewOf(layout, true, rotation);
            const int w = std::max(16, int(rng() % uint32_t(view.width))),
                      h = std::max(16, int(rng() % uint32_t(view.height)));
            const TCropRect rect =
                ExactCut(view, {int32_t(rng() % uint32_t(view.width - w + 1)),
                                int32_t(rng() % uint32_t(view.height - h + 1)), w, h});
            if (rect.width <= 0 || rect.height <= 0) {
                seed = rng();
                continue;
            }
            job.Crop = {rect.x,   rect.y,    rect.width,        rect.height,
                        rotation, "defined", layout.orientation};
            recipe += "; orientation " + std::to_string(layout.orientation) + ", rotation " +
                      std::to_string(rotation) + ", cut " + std::to_string(rect.x) + "," +
                      std::to_string(rect.y) + " " + std::to_string(rect.width) + "x" +
                      std::to_string(rect.height);
            ++runs;
            const TCropResult result = RunCropJob(job);
            // a person reproducing a case may keep its files
            if (const char* keep = std::getenv("METADATA_FUZZ_KEEP"); keep && fixed) {
                WriteFileBytes(std::string(keep) + "/source.jpg", jpeg);
                WriteFileBytes(std::string(keep) + "/output.jpg", ReadFileBytes(job.Output));
            }
            std::vector<std::pair<std::string, std::string>> faults; // kind, detail
            std::string warning;
            if (ReadFileBytes(job.Source) != jpeg) faults.emplace_back("the source changed", "");
            if (result.Outcome == TCropOutcome::Written) {
                ++written;
                const auto read = Read({job.Source, job.Output});
                if (read.size() != 2) {
                    faults.emplace_back("exiftool read nothing", "");
                } else {
                    const auto &source = read[0], &out = read[1];
                    auto value = [](const auto& tags, const std::string& tag) {
                        const auto found = tags.find(tag);
                        return found == tags.end() ? std::string() : found->second;
                    };
                    // each copy of a tag: the first as named, then those of later segments
                    auto copies = [](const auto& tags, const std::string& tag) {
                        std::vector<std::string> values;
                        for (auto t = tags.lower_bound(tag);
                             t != tags.end() && t->first.rfind(tag, 0) == 0; ++t)
                            if (t->first.size() == tag.size() || t->first[tag.size()] == ' ')
                                values.push_back(t->second);
                        return values;
                    };
                    // a stale second segment may go; what the first one says may not
                    std::set<std::string> missing;
                    for (const auto& [tag, v] : source)
                        if (!ChangedByTheCut(tag) && !out.count(tag) &&
                            tag.find(" (") == std::string::npos)
                            missing.insert(tag);
                    if (int(missing.size()) > lost) faults.emplace_back("tags lost", Join(missing));
                    const std::string w = value(out, "File:ImageWidth"),
                                      h = value(out, "File:ImageHeight");
                    if (w != std::to_string(rect.width) || h != std::to_string(rect.height))
                        faults.emplace_back("size not as planned", w + "x" + h);
                    // what the crop honoured is what the other readers see; where the pixels were
                    // turned upright no record still asks for a turn (viewers ignore values out
                    // of range)
                    auto valid = [](const std::string& v) {
                        return v.size() == 1 && v >= "1" && v <= "8";
                    };
                    // of two EXIF segments the first is the photo's, as viewers take it;
                    // exiftool shows whichever of them holds a readable value
                    const std::string stated = value(source, "IFD0:Orientation");
                    const bool twice = recipe.find("segment Exif twice") != std::string::npos;
                    if (!twice && valid(stated) && stated != std::to_string(layout.orientation))
                        faults.emplace_back("Orientation not honoured",
                                            stated + " read as " +
                                                std::to_string(layout.orientation));
                    for (const std::string tag : {"IFD0:Orientation", "XMP-tiff:Orientation"})
                        for (const std::string& v : copies(out, tag))
                            if (layout.orientation != 1 && valid(v) && v != "1")
                                faults.emplace_back("pixels turned, Orientation stays",
                                                    tag + " " + v);
                    // the resolution a viewer finds: EXIF first, then JFIF; no record may say
                    // otherwise
                    const std::string ppi = std::to_string(kPpi);
                    const std::string first = out.count("IFD0:XResolution") ? "IFD0" : "JFIF";
                    if (value(out, first + ":XResolution") != ppi ||
                        value(out, first + ":YResolution") != ppi)
                        faults.emplace_back("resolution not held",
                                            "\"" + value(out, first + ":XResolution") + "\" in " +
                                                first);
                    for (const std::string g : {"IFD0", "JFIF", "Photoshop", "XMP-tiff"})
                        for (const std::string& v : copies(out, g + ":XResolution"))
                            if (v != ppi)
                                faults.emplace_back("a record states another resolution",
                                                    g + ":XResolution " + v);
                    if (out.count("ExifTool:Warning"))
                        warning = " (exiftool: " + value(out, "ExifTool:Warning") + ")";
                }
            }
            for (const auto& [kind, detail] : faults) {
                ADD_FAILURE() << "METADATA_FUZZ_SEED=" << seed << " (" << recipe << "): " << kind
                              << ": " << detail << warning;
                firstSeed.emplace(kind, seed);
                ++failures[kind];
            }
        } catch (const std::exception& e) {
            ADD_FAILURE() << "METADATA_FUZZ_SEED=" << seed << " (" << recipe << "): " << e.what();
            firstSeed.emplace("exception", seed);
            ++failures["exception"];
        }
        seed = rng();
    } while (!fixed && std::chrono::steady_clock::now() < until && runs < kMaxCases);
    std::cout << runs << " cases, " << written << " written\n";
    for (const auto& [kind, n] : failures)
        std::cout << n << " x " << kind << ", first METADATA_FUZZ_SEED=" << firstSeed[kind] << "\n";
}
