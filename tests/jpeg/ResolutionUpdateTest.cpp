#include "jpeg/ResolutionUpdate.h"

#include <filesystem>
#include <map>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"

using namespace samples;
namespace fs = std::filesystem;

namespace {
const std::string kJfifSignature("JFIF\0", 5);

/// A photo whose JFIF segment is followed by the given segments.
std::string PhotoWith(const TTempDir& dir, const std::string& segments) {
    MakePhoto(dir.file("plain.jpg"), 48, 32);
    const std::string plain = ReadFileBytes(dir.file("plain.jpg"));
    const std::size_t afterJfif = 4 + (static_cast<uint8_t>(plain[4]) << 8 | uint8_t(plain[5]));
    return plain.substr(0, afterJfif) + segments + plain.substr(afterJfif);
}

/// The rational numerator stored at the offset in the declared byte order.
uint32_t Numerator(const std::string& tiffData, std::size_t at) {
    const bool big = tiffData[0] == 'M';
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t b = static_cast<uint8_t>(tiffData[at + i]);
        v |= big ? b << (8 * (3 - i)) : b << (8 * i);
    }
    return v;
}

/// The bytes where two equally long files differ.
std::vector<std::size_t> Differences(const std::string& a, const std::string& b) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i]) at.push_back(i);
    return at;
}
} // namespace

TEST(ResolutionUpdateTest, WritesExifResolutionInEitherByteOrderAndLeadsWithExif) {
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        TTempDir dir;
        const std::string tiffData = ExifTiff(big);
        const std::string comment = Segment(0xFE, "a comment");
        const std::string iptc = Segment(0xED, std::string("Photoshop 3.0\0", 14) + "8BIM");
        const std::string icc = Segment(0xE2, "ICC_PROFILE");
        const std::string original = PhotoWith(dir, ExifSegment(tiffData) + icc + iptc + comment);
        const std::string path = dir.file("out.JPG");
        WriteFileBytes(path, original);
        chmod(path.c_str(), 0640);

        EXPECT_TRUE(WriteResolution(path, 300, 450));
        EXPECT_EQ(Tag(path, "IFD0:XResolution"), "300");
        EXPECT_EQ(Tag(path, "IFD0:YResolution"), "450");
        EXPECT_EQ(Tag(path, "IFD0:ResolutionUnit"), "2");
        EXPECT_EQ(Tag(path, "IFD1:XResolution"), "72"); // only the main image's tag

        // start, EXIF, IPTC, comment, then the rest in order without the JFIF segment
        const std::string written = ReadFileBytes(path);
        const std::vector<int> markers = Markers(written);
        ASSERT_GE(markers.size(), 4u);
        EXPECT_EQ(std::vector<int>(markers.begin(), markers.begin() + 4),
                  (std::vector<int>{0xE1, 0xED, 0xFE, 0xE2}));
        EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xE0), 0);
        const std::string newTiff = written.substr(2 + 10, tiff::kSize);
        EXPECT_EQ(Numerator(newTiff, tiff::kX), 300u);
        EXPECT_EQ(Numerator(newTiff, tiff::kY), 450u);
        EXPECT_EQ(Numerator(newTiff, tiff::kX + 4), 1u);
        std::string expectedTiff = tiffData;
        expectedTiff.replace(tiff::kX, 16, newTiff.substr(tiff::kX, 16));
        EXPECT_EQ(newTiff, expectedTiff); // nothing else in the EXIF data changed
        const std::string tail =
            original.substr(original.find(icc) + icc.size() + iptc.size() + comment.size());
        EXPECT_EQ(written.substr(written.size() - tail.size()), tail);

        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        EXPECT_FALSE(fs::exists(ResolutionTempName(path)));
    }
}

TEST(ResolutionUpdateTest, FallsBackToJfifDensityChangingOnlyItsFiveBytes) {
    TTempDir dir;
    MakePhoto(dir.file("jfif.jpg"), 32, 32);
    const std::string original = ReadFileBytes(dir.file("jfif.jpg"));
    const std::string exif = ExifTiff(false);
    const std::size_t j = original.find(kJfifSignature);
    auto patched = [&](std::size_t at, const std::string& bytes) {
        std::string s = exif;
        return s.replace(at, bytes.size(), bytes);
    };
    struct Case {
        std::string name, file;
    };
    // EXIF without a readable main directory is left alone, the JFIF header still
    // gets the resolution
    const Case cases[] = {
        {"jfif.jpg", original},
        {"no-tiff-header.jpg", PhotoWith(dir, ExifSegment(patched(0, "XX*\0")))},
        {"ifd-past-data.jpg",
         PhotoWith(dir, ExifSegment(patched(4, std::string("\x90\1\0\0", 4))))},
        {"entries-past-data.jpg",
         PhotoWith(dir, ExifSegment(patched(tiff::kIfd0, std::string("\xFF\0", 2))))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        WriteFileBytes(path, c.file);
        EXPECT_TRUE(WriteResolution(path, 300, 70000));
        const std::string written = ReadFileBytes(path);
        ASSERT_EQ(written.size(), c.file.size());
        EXPECT_EQ(Differences(c.file, written),
                  (std::vector<std::size_t>{j + 7, j + 8, j + 9, j + 10, j + 11}));
        EXPECT_EQ(written.substr(j + 7, 5), std::string("\x01\x01\x2C\xFF\xFF", 5));
    }
    EXPECT_EQ(Tag(dir.file("jfif.jpg"), "JFIF:XResolution"), "300");
    EXPECT_EQ(Tag(dir.file("jfif.jpg"), "JFIF:ResolutionUnit"), "1");

    // a readable main directory takes the resolution whatever else is damaged,
    // and whatever the file is named
    const Case readable[] = {
        {"other.png", PhotoWith(dir, ExifSegment(exif))},
        {"value-past-data.jpg",
         PhotoWith(dir, ExifSegment(patched(tiff::kIfd0 + 10, std::string("\x8C\0\0\0", 4))))},
        {"loop.jpg",
         PhotoWith(dir, ExifSegment(patched(tiff::kIfd1 + 26, std::string("\x08\0\0\0", 4))))},
        // entries that fit without their link to the next directory: readers take them
        {"exif-past-segment.jpg", PhotoWith(dir, ExifSegment(exif.substr(0, 60)))},
    };
    for (const Case& c : readable) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        WriteFileBytes(path, c.file);
        EXPECT_TRUE(WriteResolution(path, 300, 300));
        EXPECT_EQ(Tag(path, "IFD0:XResolution"), "300");
        EXPECT_EQ(Markers(ReadFileBytes(path))[0], 0xE1);
    }
}

TEST(ResolutionUpdateTest, LeavesFilesItCannotChangeAsTheyWere) {
    TTempDir dir;
    MakePhoto(dir.file("a.jpg"), 16, 16);
    const std::string bare = WithoutJfif(ReadFileBytes(dir.file("a.jpg")));
    const std::string cases[] = {"", "not a jpeg at all", std::string("\xFF\xD8", 2),
                                 bare.substr(0, 30)};
    for (const std::string& bytes : cases) {
        const std::string path = dir.file("b.jpg");
        WriteFileBytes(path, bytes);
        EXPECT_FALSE(WriteResolution(path, 300, 300));
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
    // neither EXIF nor JFIF data: a small EXIF segment takes the resolution
    WriteFileBytes(dir.file("bare.jpg"), bare);
    EXPECT_TRUE(WriteResolution(dir.file("bare.jpg"), 300, 300));
    EXPECT_EQ(Tag(dir.file("bare.jpg"), "IFD0:XResolution"), "300");
    EXPECT_EQ(Tag(dir.file("bare.jpg"), "IFD0:ResolutionUnit"), "2");
    EXPECT_EQ(ReadFileBytes(dir.file("bare.jpg")).substr(2 + 100), bare.substr(2));
    WriteFileBytes(dir.file("c.jpg"), PhotoWith(dir, ExifSegment(ExifTiff(true))));
    const std::string before = ReadFileBytes(dir.file("c.jpg"));
    EXPECT_FALSE(WriteResolution(dir.file("c.jpg"), 0, 300));
    EXPECT_FALSE(WriteResolution(dir.file("c.jpg"), -1, -1));
    EXPECT_EQ(ReadFileBytes(dir.file("c.jpg")), before);
    EXPECT_FALSE(WriteResolution(dir.file("missing.jpg"), 300, 300));
    EXPECT_FALSE(fs::exists(dir.file("missing.jpg")));
}

TEST(ResolutionUpdateTest, ALeftoverTemporaryFileIsNeitherReadNorReplaced) {
    TTempDir dir;
    const std::string path = dir.file("x.jpg");
    const std::string original = PhotoWith(dir, ExifSegment(ExifTiff(false)));
    WriteFileBytes(path, original);
    WriteFileBytes(ResolutionTempName(path), "left from an earlier run");

    EXPECT_TRUE(WriteResolution(path, 240, 240)); // through the JFIF header
    EXPECT_EQ(ReadFileBytes(ResolutionTempName(path)), "left from an earlier run");
    EXPECT_EQ(Tag(path, "IFD0:XResolution"), "72");
    EXPECT_EQ(Tag(path, "JFIF:XResolution"), "240");
    EXPECT_EQ(Markers(ReadFileBytes(path)), Markers(original));
}

TEST(ResolutionUpdateTest, RewritesInMemoryOnlyWellFormedData) {
    const std::string withExif = std::string("\xFF\xD8", 2) + ExifSegment(ExifTiff(true)) +
                                 std::string("\xFF\xDA\0\2scan\xFF\xD9", 10);
    const auto rewritten = RewriteExifResolution(withExif, 96, 96);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(rewritten->size(), withExif.size());
    EXPECT_EQ(rewritten->substr(rewritten->size() - 10), withExif.substr(withExif.size() - 10));
    // every shortened file fails cleanly
    for (std::size_t n = 0; n < withExif.size() - 10; ++n)
        EXPECT_FALSE(RewriteExifResolution(std::string_view(withExif).substr(0, n), 96, 96)) << n;
}

namespace {
/// A TIFF structure built from directories as cameras lay them out: the
/// directories one after another, then the values that do not fit an entry.
class TTiffBuilder {
public:
    struct TField {
        uint16_t tag, type;
        uint32_t count;
        std::string value;  // in the structure's byte order; past 4 bytes it lies elsewhere
        int child = -1;     // a directory this entry points to
        bool embed = false; // the directory is the entry's value (a maker note)
    };
    using TDir = std::vector<TField>;

    explicit TTiffBuilder(bool big) : big_(big) {}
    std::string N(uint32_t v, int bytes) const {
        std::string s(std::size_t(bytes), '\0');
        for (int i = 0; i < bytes; ++i)
            s[std::size_t(i)] = static_cast<char>(big_ ? v >> (8 * (bytes - 1 - i)) : v >> (8 * i));
        return s;
    }
    TField Short(uint16_t tag, uint32_t v) const { return {tag, 3, 1, N(v, 2)}; }
    TField Long(uint16_t tag, uint32_t v) const { return {tag, 4, 1, N(v, 4)}; }
    TField Rational(uint16_t tag, uint32_t n, uint32_t d) const {
        return {tag, 5, 1, N(n, 4) + N(d, 4)};
    }
    TField Ascii(uint16_t tag, const std::string& s) const {
        return {tag, 2, uint32_t(s.size() + 1), s + '\0'};
    }
    TField Link(uint16_t tag, int child, bool embed = false) const {
        return {tag, uint16_t(embed ? 7 : 4), 0, "", child, embed};
    }

    /// Directory 0 is the main image's; next[i] chains directory i to another.
    /// Each directory's values follow those of the directories after it, so the
    /// last directory (a maker note) is one block with its values.
    std::string Build(const std::vector<TDir>& dirs, const std::vector<int>& next) const {
        std::vector<uint32_t> at, valuesAt(dirs.size()), size(dirs.size());
        uint32_t pos = 8;
        for (std::size_t i = 0; i < dirs.size(); ++i) {
            at.push_back(pos);
            pos += uint32_t(2 + 12 * dirs[i].size() + 4);
        }
        for (std::size_t i = dirs.size(); i-- > 0;) {
            valuesAt[i] = pos;
            for (const TField& f : dirs[i])
                if (f.child < 0 && f.value.size() > 4) pos += uint32_t(f.value.size());
            size[i] = uint32_t(2 + 12 * dirs[i].size() + 4) + pos - valuesAt[i];
        }
        std::string t = (big_ ? std::string("MM\0*", 4) : std::string("II*\0", 4)) + N(8, 4);
        std::vector<std::string> values(dirs.size());
        for (std::size_t i = 0; i < dirs.size(); ++i) {
            t += N(uint32_t(dirs[i].size()), 2);
            for (const TField& f : dirs[i]) {
                t += N(f.tag, 2) + N(f.type, 2);
                if (f.child >= 0) {
                    const std::size_t c = std::size_t(f.child);
                    t += N(f.embed ? size[c] : 1, 4) + N(at[c], 4);
                } else if (f.value.size() > 4) {
                    t += N(f.count, 4) + N(valuesAt[i] + uint32_t(values[i].size()), 4);
                    values[i] += f.value;
                } else {
                    t += N(f.count, 4) + f.value + std::string(4 - f.value.size(), '\0');
                }
            }
            t += N(next[i] < 0 ? 0 : at[std::size_t(next[i])], 4);
        }
        for (std::size_t i = dirs.size(); i-- > 0;)
            t += values[i];
        return t;
    }

private:
    bool big_;
};

/// exiftool's full dump by group and name, less what belongs to the file
/// itself and the JFIF segment that gives way to EXIF.
std::map<std::string, std::string> Dump(const std::string& path) {
    std::map<std::string, std::string> tags;
    for (const std::string& line : Run("exiftool", {"-a", "-G1", "-s", "-n", path})) {
        // "[Group]   TagName   : value"
        const std::size_t colon = line.find(" : ");
        std::string name = line.substr(0, colon);
        name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
        if (colon == std::string::npos || name.rfind("[System]", 0) == 0 ||
            name.rfind("[JFIF]", 0) == 0 || name == "[ExifTool]ExifToolVersion" ||
            name == "[IFD1]ThumbnailOffset")
            continue;
        tags[name] = line.substr(colon + 3);
    }
    return tags;
}
} // namespace

// Camera files as they come: a maker note with offsets into the structure, GPS
// data and a thumbnail, the resolution missing, held in integers or in
// centimetres. exiftool reads back the inches, a thumbnail of the picture
// itself, and everything else unchanged.
TEST(ResolutionUpdateTest, EveryReaderFindsTheResolutionAndNothingElseBreaks) {
    enum TCase { kMissing, kIntegers, kCentimetres };
    TTempDir dir;
    MakePhoto(dir.file("photo.jpg"), 48, 32);
    MakePhoto(dir.file("thumb.jpg"), 16, 16);
    const std::string photo = ReadFileBytes(dir.file("photo.jpg"));
    const std::string thumb = ReadFileBytes(dir.file("thumb.jpg"));
    for (const TCase c : {kMissing, kIntegers, kCentimetres})
        for (const bool big : {false, true}) {
            SCOPED_TRACE(std::to_string(c) + (big ? " big-endian" : " little-endian"));
            const TTiffBuilder b(big);
            TTiffBuilder::TDir ifd0 = {b.Ascii(0x010F, "Canon"), b.Ascii(0x0110, "Canon EOS 5D"),
                                       b.Short(0x0112, 6)};
            if (c == kIntegers) {
                ifd0.push_back(b.Short(0x011A, 72));
                ifd0.push_back(b.Long(0x011B, 72));
                ifd0.push_back(b.Short(0x0128, 2));
            } else if (c == kCentimetres) {
                ifd0.push_back(b.Rational(0x011A, 28, 1));
                ifd0.push_back(b.Rational(0x011B, 28, 1));
                ifd0.push_back(b.Short(0x0128, 3));
            }
            ifd0.push_back(b.Link(0x8769, 1));
            ifd0.push_back(b.Link(0x8825, 2));
            const std::vector<TTiffBuilder::TDir> dirs = {
                ifd0,
                {b.Link(0x927C, 4, true), b.Short(0xA002, 4000), b.Short(0xA003, 3000)},
                {{0x0000, 1, 4, std::string("\2\3\0\0", 4)},
                 b.Ascii(0x0001, "N"),
                 {0x0002, 5, 3,
                  b.N(1, 4) + b.N(1, 4) + b.N(30, 4) + b.N(1, 4) + b.N(0, 4) + b.N(1, 4)}},
                {b.Short(0x0103, 6),
                 b.Rational(0x011A, 72, 1),
                 b.Rational(0x011B, 72, 1),
                 b.Short(0x0128, 2),
                 {0x0201, 4, 1, thumb}, // the thumbnail's offset
                 b.Long(0x0202, uint32_t(thumb.size()))},
                {b.Ascii(0x0006, "Canon EOS 5D test image"), b.Long(0x0010, 0x80000213)},
            };
            const std::string path = dir.file("camera.jpg");
            WriteFileBytes(path, PhotoWith(dir, ExifSegment(b.Build(dirs, {3, -1, -1, -1, -1}))));
            std::map<std::string, std::string> expected = Dump(path);
            ASSERT_EQ(expected["[Canon]CanonImageType"], "Canon EOS 5D test image");
            ASSERT_EQ(expected.count("[ExifTool]Warning"), 0u) << expected["[ExifTool]Warning"];

            EXPECT_TRUE(UpdateMetadata(path, {300, true, std::nullopt}));
            for (const char* tag : {"[IFD0]XResolution", "[IFD0]YResolution"})
                expected[tag] = "300";
            expected["[IFD0]ResolutionUnit"] = "2";
            expected["[IFD0]Orientation"] = "1";
            expected["[ExifIFD]ExifImageWidth"] = "48"; // the picture's own size
            expected["[ExifIFD]ExifImageHeight"] = "32";
            std::map<std::string, std::string> written = Dump(path);
            for (const char* tag : {"[IFD1]ThumbnailLength", "[IFD1]ThumbnailImage"})
                expected.erase(tag), written.erase(tag);
            EXPECT_EQ(written, expected);
            // the picture is smaller than a thumbnail: the thumbnail is the picture
            const TPixels thumbnail = Thumbnail(path);
            EXPECT_EQ(thumbnail.Width, 48);
            EXPECT_EQ(thumbnail.Height, 32);
        }
    // an EXIF segment without room for the tags: the JFIF header keeps the resolution
    const TTiffBuilder b(false);
    const std::string full =
        b.Build({{b.Ascii(0x010E, std::string(65460, 'x')), b.Short(0x0112, 8)}}, {-1});
    WriteFileBytes(dir.file("full.jpg"), PhotoWith(dir, ExifSegment(full)));
    EXPECT_TRUE(UpdateMetadata(dir.file("full.jpg"), {300, true, std::nullopt}));
    EXPECT_EQ(Tag(dir.file("full.jpg"), "IFD0:Orientation"), "1");
    EXPECT_EQ(Tag(dir.file("full.jpg"), "IFD0:XResolution"), "");
    EXPECT_EQ(Tag(dir.file("full.jpg"), "JFIF:XResolution"), "300");
    // a file with only a JFIF header states the resolution there
    const std::string path = dir.file("jfif.jpg");
    WriteFileBytes(path, photo);
    EXPECT_TRUE(UpdateMetadata(path, {300, true, std::nullopt}));
    EXPECT_EQ(Tag(path, "JFIF:XResolution"), "300");
    EXPECT_EQ(Tag(path, "JFIF:ResolutionUnit"), "1");
}
