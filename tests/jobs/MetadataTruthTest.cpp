// Files as people have them, each cut through the real crop job and the real
// transformer: afterwards every record that describes the main image states
// the cut's orientation, size and resolution, the thumbnail shows the cut, and
// the coding is the source's.
#include "jobs/CropJob.h"

#include <cstdio>
#include <functional>
#include <map>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"
#include "jpeg/ResolutionUpdate.h"

using namespace samples;

namespace {
constexpr int kW = 320, kH = 240, kPpi = 300;

/// exiftool's numeric values by group and name ("IFD0:XResolution").
std::map<std::string, std::string> Records(const std::string& path) {
    std::map<std::string, std::string> tags;
    for (const std::string& line : Run("exiftool", {"-args", "-G1", "-n", "-a", path})) {
        const std::size_t eq = line.find('=');
        if (line.size() > 1 && eq != std::string::npos)
            tags.emplace(line.substr(1, eq - 1), line.substr(eq + 1));
    }
    return tags;
}

std::string Photo(const TTempDir& dir, const std::vector<std::string>& cjpeg = {}) {
    const std::string ppm = dir.file("p.ppm"), jpeg = dir.file("p.jpg");
    MakePhoto(jpeg, kW, kH); // the pattern, then coded as asked
    std::vector<std::string> args = cjpeg;
    for (const std::string a : {"-outfile", jpeg.c_str()})
        args.push_back(a);
    Run("djpeg", {"-outfile", ppm, jpeg});
    args.push_back(ppm);
    if (!cjpeg.empty()) Run("cjpeg", args);
    return ReadFileBytes(jpeg);
}

/// A CMYK file as Adobe writes it: YCCK with an APP14 segment, no JFIF.
std::string CmykPhoto(const TTempDir& dir) {
    const TPixels rgb = Decode(dir.file("p.jpg"));
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(rgb.Width);
    c.image_height = JDIMENSION(rgb.Height);
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, JCS_YCCK);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(std::size_t(rgb.Width) * 4);
    for (int y = 0; y < rgb.Height; ++y) {
        for (int x = 0; x < rgb.Width; ++x)
            for (int i = 0; i < 4; ++i) // inverted, as Adobe stores ink
                row[std::size_t(x) * 4 + i] =
                    i < 3 ? JSAMPLE(rgb.Rgb[(std::size_t(y) * rgb.Width + x) * 3 + i]) : 255;
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    return bytes;
}

std::string WithExiftool(const TTempDir& dir, const std::string& jpeg,
                         const std::vector<std::string>& tags) {
    const std::string path = dir.file("tagged.jpg");
    WriteFileBytes(path, jpeg);
    std::vector<std::string> args{"-q", "-overwrite_original"};
    args.insert(args.end(), tags.begin(), tags.end());
    args.push_back(path);
    Run("exiftool", args);
    return ReadFileBytes(path);
}

/// The file with a segment right after the start-of-image marker.
std::string AfterSoi(const std::string& jpeg, const std::string& segment) {
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

std::string BigEndian(uint32_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += static_cast<char>(v >> (8 * i));
    return s;
}

/// A multi-picture file as phones write it: the index in APP2, a second
/// picture (a depth map, a gain map) behind the first one's end.
std::string WithSecondPicture(const std::string& jpeg, const std::string& second) {
    // the index: version, number of pictures, two 16-byte entries
    std::string index = BigEndian(0xB000, 2) + BigEndian(7, 2) + BigEndian(4, 4) + "0100" +
                        BigEndian(0xB001, 2) + BigEndian(4, 2) + BigEndian(1, 4) + BigEndian(2, 4) +
                        BigEndian(0xB002, 2) + BigEndian(7, 2) + BigEndian(32, 4) +
                        BigEndian(8 + 2 + 36 + 4, 4);
    const std::string tiffHead = std::string("MM\0*", 4) + BigEndian(8, 4);
    const std::size_t segmentSize = 4 + 4 + tiffHead.size() + 2 + index.size() + 4 + 32;
    const std::size_t first = jpeg.size() + segmentSize;
    // offsets count from the index's TIFF header, 8 bytes into the segment
    const std::string entries = BigEndian(0x20030000, 4) + BigEndian(uint32_t(first), 4) +
                                BigEndian(0, 4) + BigEndian(0, 4) + BigEndian(0, 4) +
                                BigEndian(uint32_t(second.size()), 4) +
                                BigEndian(uint32_t(first - 2 - 8), 4) + BigEndian(0, 4);
    const std::string mpf = Segment(0xE2, std::string("MPF\0", 4) + tiffHead + BigEndian(3, 2) +
                                              index + BigEndian(0, 4) + entries);
    return AfterSoi(jpeg, mpf) + second;
}

std::string PhotoshopResolution(uint32_t ppi) {
    const std::string info = BigEndian(ppi << 16, 4) + BigEndian(1, 2) + BigEndian(1, 2) +
                             BigEndian(ppi << 16, 4) + BigEndian(1, 2) + BigEndian(1, 2);
    return Segment(0xED, std::string("Photoshop 3.0\0"
                                     "8BIM\x03\xED\0\0",
                                     22) +
                             BigEndian(uint32_t(info.size()), 4) + info);
}

// An XMP segment whose packet describes the picture in these words.
std::string Xmp(const std::string& description) {
    const std::string packet = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
                               "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
                               "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n" +
                               description + "</rdf:RDF></x:xmpmeta>\n" + std::string(200, ' ') +
                               "\n<?xpacket end='w'?>";
    return Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) + packet);
}

std::string XmpAttributes() {
    return Xmp(
        "<rdf:Description rdf:about='' xmlns:t='http://ns.adobe.com/tiff/1.0/'\n"
        " xmlns:e=\"http://ns.adobe.com/exif/1.0/\" t:Orientation='1' t:XResolution=\"72/1\"\n"
        " t:YResolution='72/1' t:ResolutionUnit='3' t:ImageWidth='320' t:ImageLength='240'\n"
        " e:PixelXDimension='320' e:PixelYDimension='240'/>\n");
}

// A phone's motion photo: the XMP says a video of this many bytes follows the picture.
std::string MotionPhoto(const std::string& photo) {
    const std::string video = std::string("\0\0\0\x18"
                                          "ftypmp42",
                                          12) +
                              std::string(500, 'v');
    const std::string xmp =
        Xmp("<rdf:Description rdf:about='' xmlns:GCamera='http://ns.google.com/photos/1.0/camera/'"
            " GCamera:MotionPhoto='1' GCamera:MotionPhotoVersion='1'"
            " GCamera:MicroVideoOffset='" +
            std::to_string(video.size()) +
            "'>\n"
            "<GCamera:MicroVideo>1</GCamera:MicroVideo></rdf:Description>\n");
    return WithSegment(photo, xmp) + video;
}

/// Which way red and green run across the picture: the axis along which each
/// changes most and whether it grows. A turned or mirrored thumbnail differs.
std::vector<int> Directions(const TPixels& p) {
    std::vector<int> ways;
    for (int c = 0; c < 2; ++c) {
        double dx = 0, dy = 0; // the second half less the first
        for (int y = 0; y < p.Height; ++y)
            for (int x = 0; x < p.Width; ++x) {
                const double v = uint8_t(p.Rgb[(std::size_t(y) * p.Width + x) * 3 + c]);
                dx += 2 * x >= p.Width ? v : -v;
                dy += 2 * y >= p.Height ? v : -v;
            }
        ways.push_back(std::abs(dx) > std::abs(dy) ? (dx > 0 ? 1 : -1) : (dy > 0 ? 2 : -2));
    }
    return ways;
}
} // namespace

TEST(MetadataTruthTest, EveryRecordStatesTheCut) {
    TTempDir dir;
    const std::string photo = Photo(dir), bare = WithoutJfif(photo);
    MakePhoto(dir.file("thumb.jpg"), 160, 120);
    // IFD1 and the interoperability directory point outside the data
    std::string damaged = ExifTiff(false);
    damaged.replace(tiff::kIfd0 + 50, 4, std::string("\xF0\xFF\x0F\0", 4));
    damaged.replace(tiff::kExifIfd + 2, 12,
                    std::string("\x05\xA0\x04\0\x01\0\0\0\xF0\xFF\0\0", 12));
    struct TCase {
        std::string name; // of the source and the output
        std::function<std::string()> make;
        TCropSpec crop;
        std::string switches;            // what the transformer is told about the coding
        int encoding;                    // the source's coding as exiftool names it
        bool thumbnail;                  // the source has an EXIF thumbnail
        std::vector<std::string> stated; // records the output must have
    };
    const TCropSpec cut{32, 16, 192, 144, 0, "defined"};
    const TCropSpec upright{16, 32, 144, 192, 0, "defined", 6}; // shown as orientation 6 says
    const std::string baseline = " -copy all -optimize";
    const TCase cases[] = {
        {"damaged.jpg",
         [&] { return AfterSoi(bare, ExifSegment(damaged)); },
         cut,
         baseline,
         0,
         true,
         {"IFD0:XResolution"}},
        {"named without extension",
         [&] { return AfterSoi(bare, ExifSegment(ExifTiff(true))); },
         cut,
         baseline,
         0,
         true,
         {"IFD0:XResolution"}},
        {"cmyk.jpg",
         [&] { return CmykPhoto(dir); },
         cut,
         baseline,
         0,
         false,
         {"IFD0:XResolution", "Adobe:ColorTransform"}},
        {"rgb.jpg",
         [&] { return Photo(dir, {"-rgb"}); },
         cut,
         baseline,
         0,
         false,
         {"IFD0:XResolution", "Adobe:ColorTransform"}},
        {"photoshop.jpg",
         [&] { return WithSegment(photo, PhotoshopResolution(72)); },
         cut,
         baseline,
         0,
         false,
         {"Photoshop:XResolution", "JFIF:XResolution"}},
        {"xmp-elements.jpg",
         [&] {
             return WithExiftool(dir, photo,
                                 {"-Orientation#=6", "-XMP-tiff:Orientation#=6",
                                  "-XMP-tiff:XResolution=72", "-XMP-tiff:YResolution=72",
                                  "-XMP-tiff:ResolutionUnit#=3", "-XMP-tiff:ImageWidth=320",
                                  "-XMP-tiff:ImageHeight=240", "-XMP-exif:ExifImageWidth=320",
                                  "-XMP-exif:ExifImageHeight=240"});
         },
         upright,
         baseline,
         0,
         false,
         {"IFD0:Orientation", "XMP-tiff:Orientation", "XMP-tiff:XResolution", "XMP-tiff:ImageWidth",
          "XMP-exif:ExifImageHeight"}},
        {"xmp-attributes.jpg",
         [&] { return WithSegment(photo, XmpAttributes()); },
         cut,
         baseline,
         0,
         false,
         {"XMP-tiff:Orientation", "XMP-tiff:YResolution", "XMP-tiff:ResolutionUnit",
          "XMP-tiff:ImageHeight", "XMP-exif:ExifImageWidth"}},
        {"motion-photo.jpg",
         [&] { return MotionPhoto(photo); },
         cut,
         baseline,
         0,
         false,
         {"XMP-GCamera:MotionPhoto", "XMP-GCamera:MicroVideo"}},
        {"mpf.jpg",
         [&] { return WithSecondPicture(photo, ReadFileBytes(dir.file("thumb.jpg"))); },
         cut,
         baseline,
         0,
         false,
         {"JFIF:XResolution"}},
        {"progressive.jpg",
         [&] { return Photo(dir, {"-progressive"}); },
         cut,
         baseline + " -progressive",
         2,
         false,
         {"JFIF:XResolution"}},
        {"arithmetic.jpg",
         [&] { return Photo(dir, {"-arithmetic"}); },
         cut,
         " -copy all -arithmetic",
         9,
         false,
         {"JFIF:XResolution"}},
        {"progressive-arithmetic.jpg",
         [&] {
             return Photo(dir, {"-arithmetic", "-progressive"});
         },
         cut,
         " -copy all -progressive -arithmetic",
         10,
         false,
         {"JFIF:XResolution"}},
        {"turned-with-thumbnail.jpg",
         [&] {
             return WithExiftool(dir, photo,
                                 {"-ThumbnailImage<=" + dir.file("thumb.jpg"), "-Orientation#=6"});
         },
         upright,
         baseline,
         0,
         true,
         {"IFD0:Orientation", "IFD0:XResolution"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TCropJob job;
        job.Tool = FindTransformer();
        job.Source = dir.file(c.name);
        job.Output = dir.file("out " + c.name);
        job.Crop = c.crop;
        job.Resolution = kPpi;
        WriteFileBytes(job.Source, c.make());
        std::map<std::string, std::string> source = Records(job.Source);
        ASSERT_EQ(source["File:EncodingProcess"], std::to_string(c.encoding));
        ASSERT_EQ(source.count("ExifTool:Warning"), c.name == "damaged.jpg" ? 1u : 0u);
        if (c.name == "mpf.jpg") {
            ASSERT_EQ(source["MPF0:NumberOfImages"], "2");
        }
        std::string switches; // the leading words: options and coding
        for (const std::string& word : CropJobCalls(job, "o").front().Arguments()) {
            if (word != "-copy" && word != "all" && word != "-optimize" && word != "-progressive" &&
                word != "-arithmetic")
                break;
            switches += " " + word;
        }
        EXPECT_EQ(switches, c.switches);
        ASSERT_EQ(RunCropJob(job).Outcome, TCropOutcome::Written);

        std::map<std::string, std::string> r = Records(job.Output);
        EXPECT_EQ(r["File:EncodingProcess"], std::to_string(c.encoding)) << "the form changed";
        // a damaged directory stays as it was: only what it holds is lost
        if (c.name != "damaged.jpg") {
            EXPECT_EQ(r.count("ExifTool:Warning"), 0u) << r["ExifTool:Warning"];
        }
        const std::string w = std::to_string(c.crop.Width), h = std::to_string(c.crop.Height);
        ASSERT_EQ(r["File:ImageWidth"] + "x" + r["File:ImageHeight"], w + "x" + h);
        // the resolution: in EXIF (made when missing) or the JFIF header, and wherever else
        const std::string ppi = std::to_string(kPpi);
        EXPECT_EQ(r.count("IFD0:XResolution") ? r["IFD0:XResolution"] : r["JFIF:XResolution"], ppi);
        const std::map<std::string, std::string> truth = {
            {"IFD0:XResolution", ppi},        {"IFD0:YResolution", ppi},
            {"IFD0:ResolutionUnit", "2"},     {"JFIF:XResolution", ppi},
            {"JFIF:YResolution", ppi},        {"JFIF:ResolutionUnit", "1"},
            {"Photoshop:XResolution", ppi},   {"Photoshop:YResolution", ppi},
            {"XMP-tiff:XResolution", ppi},    {"XMP-tiff:YResolution", ppi},
            {"XMP-tiff:ResolutionUnit", "2"}, {"IFD0:Orientation", "1"},
            {"XMP-tiff:Orientation", "1"},    {"ExifIFD:ExifImageWidth", w},
            {"ExifIFD:ExifImageHeight", h},   {"XMP-exif:ExifImageWidth", w},
            {"XMP-exif:ExifImageHeight", h},  {"XMP-tiff:ImageWidth", w},
            {"XMP-tiff:ImageHeight", h},      {"XMP-GCamera:MotionPhoto", "0"},
            {"XMP-GCamera:MicroVideo", "0"}};
        for (const std::string& tag : c.stated)
            EXPECT_EQ(r.count(tag), 1u) << tag << " is gone";
        for (const auto& [tag, value] : truth)
            if (r.count(tag)) {
                EXPECT_EQ(r[tag], value) << tag;
            }
        for (const auto& [tag, value] : r)
            EXPECT_NE(tag.substr(0, 3), "MPF") << "an index of pictures the cut dropped";

        // the thumbnail: made anew from the cut, upright as the picture, or none
        EXPECT_EQ(r.count("IFD1:ThumbnailLength"), c.thumbnail ? 1u : 0u);
        if (!c.thumbnail) continue;
        const TPixels picture = Decode(job.Output);
        auto shows = [&](const std::string& path, int side) {
            const TPixels thumb = Thumbnail(path);
            const int longSide = std::max(thumb.Width, thumb.Height);
            if (side)
                EXPECT_NEAR(longSide, side, 1);
            else // either way of making it
                EXPECT_TRUE(longSide >= 64 && longSide <= 161) << longSide;
            EXPECT_LE(std::abs(thumb.Width * picture.Height - thumb.Height * picture.Width),
                      std::max(picture.Width, picture.Height) * 2);
            EXPECT_EQ(Directions(thumb), Directions(picture));
        };
        shows(job.Output, 0);
        // decoded from the picture: 160 pixels; told where the cut lies in the source: the
        // old thumbnail's region, turned (192 of the 320 stored pixels of a thumbnail 160 wide)
        for (const bool told : {false, true}) {
            const std::string raw = dir.file(told ? "told" : "decoded");
            ASSERT_TRUE(RunTransformer(job.Tool, CropJobCalls(job, raw).front()).Ok);
            const auto where = told ? ThumbnailCutOf(job) : std::nullopt;
            ASSERT_TRUE(UpdateMetadata(raw, {kPpi, c.crop.Orientation != 1, where}));
            shows(raw, told && c.name == "turned-with-thumbnail.jpg" ? 97 : 160);
        }
    }
}
