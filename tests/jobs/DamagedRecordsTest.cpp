// Damaged and unusual metadata, as files from the field carry it, cut through
// the real crop job and the real transformer, then read by two readers
// (exiftool and exiv2): nothing of the source is lost but what the cut
// changes, no new warning appears, a turned picture says Orientation 1, the
// reported resolution is in the file, and no picture of the uncut photo stays.
#include "jobs/CropJob.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"

using namespace samples;

namespace {
constexpr int kPpi = 300;

/// exiftool's values by group and name ("IFD0:XResolution"), warnings included.
std::map<std::string, std::string> Records(const std::string& path) {
    std::map<std::string, std::string> tags;
    for (const std::string& line :
         Run("exiftool", {"-args", "-G1", "-n", "-a", "-validate", "-warning", "-all", path})) {
        const std::size_t eq = line.find('=');
        if (line.size() > 1 && eq != std::string::npos) {
            std::string key = line.substr(1, eq - 1);
            while (tags.count(key))
                key += "+"; // warnings repeat their name
            tags.emplace(key, line.substr(eq + 1));
        }
    }
    return tags;
}

std::set<std::string> Warnings(const std::map<std::string, std::string>& tags) {
    std::set<std::string> w;
    for (const auto& [key, value] : tags)
        if (key.rfind("ExifTool:Warning", 0) == 0) w.insert(value);
    return w;
}

/// What a cut changes by its nature: these may go or change.
bool ChangedByTheCut(const std::string& key) {
    for (const char* prefix :
         {"System:", "File:", "Composite:", "ExifTool:", "IFD1:", "JFIF:", "FlashPix:", "JFXX",
          "MPF", "IFD0:XResolution", "IFD0:YResolution", "IFD0:ResolutionUnit", "IFD0:Orientation",
          "ExifIFD:ExifImage", "Nikon:Preview", "PreviewIFD:", "NikonPreview:"})
        if (key.rfind(prefix, 0) == 0) return true;
    return false;
}

/// exiv2's complaints about a file: its lines that speak of an error or a warning.
int Exiv2Complaints(const std::string& path) {
    int n = 0;
    for (const std::string& line : Run("sh", {"-c", "exiv2 -pa \"$1\" 2>&1 >/dev/null", "-", path}))
        n += line.find("rror") != std::string::npos || line.find("arning") != std::string::npos;
    return n;
}

/// A TIFF structure read just enough to damage it on purpose.
struct TTiffBytes {
    std::string d;
    bool big = true;
    uint32_t Get(std::size_t at, int bytes) const {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            const uint32_t b = static_cast<uint8_t>(d[at + i]);
            v |= big ? b << (8 * (bytes - 1 - i)) : b << (8 * i);
        }
        return v;
    }
    void Put(std::size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            d[at + i] = static_cast<char>(big ? v >> (8 * (bytes - 1 - i)) : v >> (8 * i));
    }
    uint32_t Ifd0() const { return Get(4, 4); }
    /// The entry of a tag in the directory at ifd; 0 when there is none.
    std::size_t EntryOf(uint32_t ifd, uint16_t tag) const {
        for (uint32_t i = 0; i < Get(ifd, 2); ++i)
            if (Get(ifd + 2 + 12 * i, 2) == tag) return ifd + 2 + 12 * i;
        return 0;
    }
};

std::string AfterSoi(const std::string& jpeg, const std::string& segment) {
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

/// The file's first EXIF segment: where its TIFF structure starts and the structure.
std::size_t TiffAt(const std::string& jpeg) {
    return jpeg.find(std::string("Exif\0\0", 6)) + 6;
}

/// The file with its first EXIF segment's TIFF structure changed by damage.
std::string Damaged(const std::string& jpeg, const std::function<void(TTiffBytes&)>& damage) {
    const std::size_t at = TiffAt(jpeg),
                      length = (uint8_t(jpeg[at - 8]) << 8 | uint8_t(jpeg[at - 7]));
    TTiffBytes t{jpeg.substr(at, length - 8), jpeg.substr(at, 2) == "MM"};
    damage(t);
    return jpeg.substr(0, at - 10) + Segment(0xE1, std::string("Exif\0\0", 6) + t.d) +
           jpeg.substr(at - 8 + length);
}

/// Appends a directory of {tag, type, count, value} entries and its next link.
void AppendDirectory(TTiffBytes& t, const std::vector<std::array<uint32_t, 4>>& entries,
                     uint32_t next = 0) {
    const std::size_t at = t.d.size();
    t.d.resize(at + 2 + 12 * entries.size() + 4);
    t.Put(at, uint32_t(entries.size()), 2);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t e = at + 2 + 12 * i;
        t.Put(e, entries[i][0], 2);
        t.Put(e + 2, entries[i][1], 2);
        t.Put(e + 4, entries[i][2], 4);
        t.Put(e + 8, entries[i][3], entries[i][1] == 3 ? 2 : 4);
    }
    t.Put(at + 2 + 12 * entries.size(), next, 4);
}

/// A Nikon maker note of the usual kind (its own TIFF header) with a preview
/// of the whole photo behind it, in an EXIF segment of its own making.
std::string NikonExif(const std::string& preview) {
    TTiffBytes t{std::string(8, '\0'), true};
    t.d.replace(0, 4, std::string("MM\0*", 4));
    t.Put(4, 8, 4);
    const std::string make = std::string("NIKON CORPORATION") + '\0';
    // IFD0 at 8 (6 entries), make and resolutions behind it, then the EXIF directory
    const uint32_t makeAt = 8 + 2 + 6 * 12 + 4, xAt = makeAt + 18, exifAt = xAt + 16;
    const uint32_t noteAt = exifAt + 2 + 12 + 4;
    // the maker note: its header, its TIFF header, one directory, the preview's directory, the
    // preview
    const uint32_t noteDir = 8, previewDir = noteDir + 2 + 2 * 12 + 4,
                   jpegAt = previewDir + 2 + 2 * 12 + 4;
    const uint32_t noteLength = 10 + jpegAt + uint32_t(preview.size());
    AppendDirectory(t, {{0x010F, 2, uint32_t(make.size()), makeAt},
                        {0x0112, 3, 1, 6},
                        {0x011A, 5, 1, xAt},
                        {0x011B, 5, 1, xAt + 8},
                        {0x0128, 3, 1, 2},
                        {0x8769, 4, 1, exifAt}});
    t.d += make;
    t.d.resize(xAt + 16);
    for (uint32_t r : {xAt, xAt + 8}) {
        t.Put(r, 72, 4);
        t.Put(r + 4, 1, 4);
    }
    AppendDirectory(t, {{0x927C, 7, noteLength, noteAt}});
    TTiffBytes note{std::string("Nikon\0\x02\x10\0\0MM\0*\0\0\0\x08", 18), true};
    TTiffBytes inner{note.d.substr(10), true};
    AppendDirectory(inner, {{0x0001, 7, 4, 0x30323130}, {0x0011, 4, 1, previewDir}});
    AppendDirectory(inner, {{0x0201, 4, 1, jpegAt}, {0x0202, 4, 1, uint32_t(preview.size())}});
    inner.d += preview;
    t.d += note.d.substr(0, 10) + inner.d;
    return Segment(0xE1, std::string("Exif\0\0", 6) + t.d);
}
} // namespace

TEST(DamagedRecordsTest, EveryRecordStaysTrueOnDamagedAndUnusualFiles) {
    TTempDir dir;
    MakePhoto(dir.file("p.jpg"), 320, 240);
    MakePhoto(dir.file("thumb.jpg"), 160, 120);
    MakePhoto(dir.file("preview.jpg"), 96, 72);
    const std::string photo = ReadFileBytes(dir.file("p.jpg")), bare = WithoutJfif(photo);
    const std::string thumb = ReadFileBytes(dir.file("thumb.jpg"));
    auto withExiftool = [&](const std::string& jpeg, std::vector<std::string> args) {
        const std::string path = dir.file("tagged.jpg");
        WriteFileBytes(path, jpeg);
        args.insert(args.begin(), {"-q", "-overwrite_original"});
        args.push_back(path);
        samples::Run("exiftool", args);
        return ReadFileBytes(path);
    };
    // a camera's file: main image, EXIF and GPS directories, a thumbnail, turned by its tag
    const std::string camera = withExiftool(
        bare, {"-Make=Maker", "-Model=Camera", "-Artist=Someone", "-ImageDescription=Holiday",
               "-DateTimeOriginal=2026:07:01 10:00:00", "-GPSLatitude=48.5", "-GPSLatitudeRef=N",
               "-XResolution=72", "-YResolution=72", "-ResolutionUnit=inches", "-Orientation#=6",
               "-ThumbnailImage<=" + dir.file("thumb.jpg")});
    const auto entry = [](TTiffBytes& t, uint16_t tag) { return t.EntryOf(t.Ifd0(), tag); };
    // a segment all but full of description, and no resolution anywhere
    WriteFileBytes(dir.file("description.txt"), std::string(65455, 'x'));
    const std::string full =
        withExiftool(bare, {"-ImageDescription<=" + dir.file("description.txt"),
                            "-XResolution=", "-YResolution=", "-ResolutionUnit="});
    const std::string jfxx =
        Segment(0xE0, std::string("JFXX\0\x10", 6) + thumb); // a JPEG thumbnail extension
    const std::string flashPix = Segment(0xE2, std::string("FPXR\0\0\x01\0\0\0\0", 11));

    struct TCase {
        std::string name;
        std::string file;
        bool turned; // the picture is upright by a turn of 90 degrees
    };
    const TCase cases[] = {
        {"x-resolution-at-offset-0",
         Damaged(camera, [&](TTiffBytes& t) { t.Put(entry(t, 0x011A) + 8, 0, 4); }), true},
        {"x-resolution-into-its-directory",
         Damaged(camera, [&](TTiffBytes& t) { t.Put(entry(t, 0x011A) + 8, t.Ifd0() + 2, 4); }),
         true},
        {"main-directory-without-next-link",
         Damaged(camera,
                 [&](TTiffBytes& t) {
                     // the directory moved to the end, its link cut off
                     const uint32_t at = t.Ifd0(), count = t.Get(at, 2);
                     const std::string entries = t.d.substr(at, 2 + 12 * count);
                     t.Put(4, uint32_t(t.d.size()), 4);
                     t.d += entries;
                 }),
         true},
        {"orientation-as-long",
         Damaged(camera,
                 [&](TTiffBytes& t) {
                     const std::size_t e = entry(t, 0x0112);
                     t.Put(e + 2, 4, 2);
                     t.Put(e + 8, 6, 4);
                 }),
         true},
        {"stale-description-offset",
         Damaged(camera,
                 [&](TTiffBytes& t) {
                     const std::size_t e = entry(t, 0x010E);
                     t.Put(e + 8, uint32_t(t.d.size()) + 40, 4);
                     t.Put(e + 4, 24, 4);
                 }),
         true},
        {"full-segment-without-resolution", full, false},
        {"jfxx-and-flashpix", WithSegment(photo, jfxx + flashPix), false},
        {"nikon-preview", AfterSoi(bare, NikonExif(ReadFileBytes(dir.file("preview.jpg")))), true},
        {"second-exif-segment",
         camera.substr(0, 2) +
             camera.substr(2, 2 + (uint8_t(camera[4]) << 8 | uint8_t(camera[5]))) +
             camera.substr(2),
         true},
    };
    const TCropSpec cut{32, 16, 192, 144, 0, "defined"};
    const TCropSpec upright{16, 32, 144, 192, 0, "defined", 6};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TCropJob job;
        job.Tool = FindTransformer();
        job.Source = dir.file(c.name + ".jpg");
        job.Output = dir.file(c.name + " cut.jpg");
        job.Crop = c.turned ? upright : cut;
        job.Resolution = kPpi;
        WriteFileBytes(job.Source, c.file);
        const auto source = Records(job.Source);
        ASSERT_EQ(source.count("File:ImageWidth") ? source.at("File:ImageWidth") : "", "320");
        // each source carries what its case is about
        if (c.name == "nikon-preview") {
            ASSERT_TRUE(source.count("PreviewIFD:PreviewImageLength")) << "not read as Nikon's";
        }
        if (c.turned) {
            ASSERT_EQ(source.at("IFD0:Orientation"), "6");
        }
        ASSERT_EQ(RunCropJob(job).Outcome, TCropOutcome::Written);
        EXPECT_EQ(ReadFileBytes(job.Source), c.file) << "the source was changed";
        const auto out = Records(job.Output);

        for (const auto& [key, value] : source)
            if (!ChangedByTheCut(key)) {
                EXPECT_TRUE(out.count(key)) << key << " was lost";
            }
        for (const std::string& w : Warnings(out))
            EXPECT_TRUE(Warnings(source).count(w)) << "new warning: " << w;
        EXPECT_LE(Exiv2Complaints(job.Output), Exiv2Complaints(job.Source));
        // upright pixels never keep saying they need a turn
        EXPECT_EQ(out.count("IFD0:Orientation") ? out.at("IFD0:Orientation") : "1", "1");
        const std::string w = std::to_string(job.Crop.Width), h = std::to_string(job.Crop.Height);
        EXPECT_EQ(out.at("File:ImageWidth") + "x" + out.at("File:ImageHeight"), w + "x" + h);
        // the reported resolution is held by a record
        const bool held = (out.count("IFD0:XResolution") && out.at("IFD0:XResolution") == "300") ||
                          (out.count("JFIF:XResolution") && out.at("JFIF:XResolution") == "300" &&
                           out.at("JFIF:ResolutionUnit") == "1");
        EXPECT_TRUE(held);
        // no picture of the whole photo: a thumbnail has the cut's proportions, the rest is gone
        const TPixels t = Thumbnail(job.Output);
        if (t.Width > 0) {
            EXPECT_EQ(t.Width * job.Crop.Height / job.Crop.Width, t.Height);
        }
        const std::string previewPath = dir.file("preview of " + c.name);
        samples::Run("sh", {"-c", "exiftool -b -PreviewImage \"$1\" > \"$2\"", "-", job.Output,
                            previewPath});
        if (!ReadFileBytes(previewPath).empty()) {
            const TPixels p = Decode(previewPath);
            EXPECT_EQ(p.Width * job.Crop.Height / job.Crop.Width, p.Height)
                << "preview " << p.Width;
        }
        const std::vector<int> markers = Markers(ReadFileBytes(job.Output));
        const std::string bytes = ReadFileBytes(job.Output).substr(0, 65536 * 3);
        EXPECT_EQ(bytes.find("JFXX"), std::string::npos);
        EXPECT_EQ(bytes.find("FPXR"), std::string::npos);
        if (c.name == "stale-description-offset") {
            EXPECT_FALSE(out.count("IFD0:ImageDescription")) << out.at("IFD0:ImageDescription");
        }
        if (c.name == "second-exif-segment") {
            // both segments say the same of the cut
            EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xE1), 2);
        }
    }
}
