#include "ResolutionUpdate.h"

#include <filesystem>

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
    // malformed EXIF is left alone, the JFIF header still gets the resolution
    const Case cases[] = {
        {"jfif.jpg", original},
        {"other.png", PhotoWith(dir, ExifSegment(exif))},
        {"no-tiff-header.jpg", PhotoWith(dir, ExifSegment(patched(0, "XX*\0")))},
        {"ifd-past-data.jpg",
         PhotoWith(dir, ExifSegment(patched(4, std::string("\x90\1\0\0", 4))))},
        {"entries-past-data.jpg",
         PhotoWith(dir, ExifSegment(patched(tiff::kIfd0, std::string("\xFF\0", 2))))},
        {"value-past-data.jpg",
         PhotoWith(dir, ExifSegment(patched(tiff::kIfd0 + 10, std::string("\x8C\0\0\0", 4))))},
        {"loop.jpg",
         PhotoWith(dir, ExifSegment(patched(tiff::kIfd1 + 26, std::string("\x08\0\0\0", 4))))},
        {"exif-past-segment.jpg", PhotoWith(dir, ExifSegment(exif.substr(0, 60)))},
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
}

TEST(ResolutionUpdateTest, LeavesFilesItCannotChangeAsTheyWere) {
    TTempDir dir;
    MakePhoto(dir.file("a.jpg"), 16, 16);
    const std::string bare = WithoutJfif(ReadFileBytes(dir.file("a.jpg")));
    const std::string cases[] = {bare, "", "not a jpeg at all", std::string("\xFF\xD8", 2),
                                 bare.substr(0, 30)};
    for (const std::string& bytes : cases) {
        const std::string path = dir.file("b.jpg");
        WriteFileBytes(path, bytes);
        EXPECT_FALSE(WriteResolution(path, 300, 300));
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
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
