#include "jpeg/JpegThumbnail.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "core/Error.h"
#include "model/CropArea.h"

namespace {
struct TRgb {
    int r, g, b;
};

// The test picture: four quadrants, red | green over blue | white.
constexpr TRgb kQuadrants[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

int QuadrantAt(int32_t x, int32_t y, int32_t w, int32_t h) {
    return (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
}

void WriteQuadrantPpm(const std::string& path, int32_t w, int32_t h) {
    std::string bytes = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const TRgb c = kQuadrants[QuadrantAt(x, y, w, h)];
            bytes += char(c.r);
            bytes += char(c.g);
            bytes += char(c.b);
        }
    WriteFileBytes(path, bytes);
}

/// The quadrant picture compressed by cjpeg with the given options.
std::string MakeJpeg(const TTempDir& dir, const std::string& name, int32_t w, int32_t h,
                     const std::string& options) {
    const std::string ppm = dir.file(name + ".ppm");
    const std::string jpg = dir.file(name + ".jpg");
    WriteQuadrantPpm(ppm, w, h);
    const std::string command =
        "cjpeg -quality 95 " + options + " -outfile '" + jpg + "' '" + ppm + "'";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << command;
    return jpg;
}

/// A JPEG written row by row through libjpeg: fill gives row y of the input
/// pixels; setup adjusts the compressor after its defaults.
void WriteJpeg(const std::string& path, int32_t w, int32_t h, int components, J_COLOR_SPACE input,
               const std::function<void(jpeg_compress_struct&)>& setup,
               const std::function<void(std::vector<uint8_t>&, int32_t)>& fill) {
    FILE* out = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = components;
    c.in_color_space = input;
    jpeg_set_defaults(&c);
    setup(c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(std::size_t(w) * components);
    while (c.next_scanline < c.image_height) {
        fill(row, int32_t(c.next_scanline));
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&c, &p, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(out);
}

/// A four-component JPEG written through libjpeg: red, green, blue and black ink
/// quadrants, stored plainly or inverted the Adobe way, as CMYK or YCCK.
std::string MakeCmykJpeg(const TTempDir& dir, const std::string& name, J_COLOR_SPACE space,
                         bool adobe, int32_t w, int32_t h) {
    const uint8_t inks[4][4] = {
        {0, 255, 255, 0}, {255, 0, 255, 0}, {255, 255, 0, 0}, {0, 0, 0, 255}};
    const std::string path = dir.file(name + ".jpg");
    WriteJpeg(
        path, w, h, 4, JCS_CMYK,
        [&](jpeg_compress_struct& c) {
            jpeg_set_colorspace(&c, space);
            c.write_Adobe_marker = adobe;
            jpeg_set_quality(&c, 95, TRUE);
        },
        [&](std::vector<uint8_t>& row, int32_t y) {
            for (int32_t x = 0; x < w; ++x)
                for (int k = 0; k < 4; ++k) {
                    const uint8_t ink = inks[QuadrantAt(x, y, w, h)][k];
                    row[std::size_t(x) * 4 + k] = adobe ? uint8_t(255 - ink) : ink;
                }
        });
    return path;
}

TRgb At(const TBitmap& b, int32_t x, int32_t y) {
    const uint32_t v = b.Pixel(x, y);
    return {int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)};
}

::testing::AssertionResult Near(TRgb got, TRgb want, int tolerance) {
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got (" << got.r << ", " << got.g << ", " << got.b << ") want (" << want.r << ", "
           << want.g << ", " << want.b << ")";
}

/// Checks the colour at the centre of each quadrant of a thumbnail that shows
/// the expected colours in the order top-left, top-right, bottom-left, bottom-right.
void ExpectQuadrants(const TBitmap& b, const TRgb (&want)[4], int tolerance) {
    const int32_t w = b.Width(), h = b.Height();
    EXPECT_TRUE(Near(At(b, w / 4, h / 4), want[0], tolerance)) << "top left";
    EXPECT_TRUE(Near(At(b, 3 * w / 4, h / 4), want[1], tolerance)) << "top right";
    EXPECT_TRUE(Near(At(b, w / 4, 3 * h / 4), want[2], tolerance)) << "bottom left";
    EXPECT_TRUE(Near(At(b, 3 * w / 4, 3 * h / 4), want[3], tolerance)) << "bottom right";
}

std::string Cut(const std::string& bytes, std::size_t length) {
    return bytes.substr(0, length);
}

/// Offset just past the start-of-scan header.
std::size_t ScanDataStart(const std::string& jpeg) {
    const std::size_t sos = jpeg.find("\xFF\xDA");
    return sos + 2 + (uint8_t(jpeg[sos + 2]) << 8 | uint8_t(jpeg[sos + 3]));
}
} // namespace

TEST(JpegThumbnailTest, ThumbnailSizeAndDecoderScale) {
    struct Case {
        int32_t w, h, surface, thumbWidth, denominator;
    } cases[] = {
        {4000, 3000, 330, 439, 8}, // 330 x 1.333... is just below 440
        {1600, 1200, 400, 533, 2}, // f = 3.0019
        {800, 600, 75, 99, 8},     // 75 x 1.333... is just below 100
        {800, 400, 50, 100, 4},    // f exactly 8 takes 1/4
        {400, 200, 50, 100, 2},    // exactly 4
        {200, 100, 50, 100, 1},    // exactly 2
        {90, 60, 200, 300, 1},     // enlarged
        {6000, 4000, 350, 525, 8}, {3000, 2000, 350, 525, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        const int32_t tw = ThumbWidthFor(c.surface, double(c.w) / double(c.h));
        EXPECT_EQ(tw, c.thumbWidth);
        EXPECT_EQ(ScaleDenominatorFor(c.w, c.h, tw, c.surface), c.denominator);
    }
}

TEST(JpegThumbnailTest, EveryCodingAndSamplingDecodesToTheRightColours) {
    TTempDir dir;
    struct Case {
        const char* name;
        const char* options;
        bool grey;
    } cases[] = {
        {"baseline", "", false},
        {"s444", "-sample 1x1", false},
        {"s422", "-sample 2x1", false},
        {"s420", "-sample 2x2", false},
        {"s411", "-sample 4x1", false},
        {"progressive", "-progressive", false},
        {"arithmetic", "-arithmetic", false},
        {"progressive_arithmetic", "-progressive -arithmetic -sample 2x2", false},
        {"restart", "-restart 1 -sample 2x2", false},
        {"optimized", "-optimize -sample 2x1", false},
        {"grey", "-grayscale", true},
        {"grey_progressive", "-grayscale -progressive", true},
    };
    // 811 x 601 is no multiple of 16; 70 high decodes at 1/8, 400 high at 1/1
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = MakeJpeg(dir, c.name, 811, 601, c.options);
        for (int32_t surface : {70, 400}) {
            const TThumbnail t = ReadJpegThumbnail(file, 0, surface);
            EXPECT_EQ(t.imageWidth, 811);
            EXPECT_EQ(t.imageHeight, 601);
            EXPECT_EQ(t.thumbHeight, surface);
            EXPECT_EQ(t.bitmap.Width(), t.thumbWidth);
            EXPECT_EQ(t.bitmap.Height(), surface);
            EXPECT_EQ(t.bitmap.BitsPerPixel(), 24);
            EXPECT_EQ(t.scaleDenominator, surface == 70 ? 8 : 1);
            EXPECT_FALSE(t.truncated);
            if (c.grey) {
                // grey shows as grey: the luminance of each colour on all three channels
                const TRgb luma[4] = {{76, 76, 76}, {150, 150, 150}, {29, 29, 29}, {255, 255, 255}};
                ExpectQuadrants(t.bitmap, luma, 6);
            } else {
                ExpectQuadrants(t.bitmap, kQuadrants, 12);
            }
        }
    }
}

TEST(JpegThumbnailTest, FourComponentFilesShowTheirInks) {
    TTempDir dir;
    const TRgb want[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};
    struct Case {
        const char* name;
        J_COLOR_SPACE space;
        bool adobe;
    } cases[] = {
        {"cmyk_plain", JCS_CMYK, false},
        {"cmyk_adobe", JCS_CMYK, true},
        {"ycck_adobe", JCS_YCCK, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = MakeCmykJpeg(dir, c.name, c.space, c.adobe, 203, 149);
        const TThumbnail t = ReadJpegThumbnail(file, 0, 100);
        ExpectQuadrants(t.bitmap, want, 16);
    }
}

TEST(JpegThumbnailTest, TurnedThumbnailsSwapTheImageSize) {
    TTempDir dir;
    const std::string file = MakeJpeg(dir, "turn", 300, 200, "");
    // clockwise turns: where the red top-left quadrant of the file ends up
    struct Case {
        int32_t rotation;
        TRgb order[4];
    } cases[] = {
        {0, {kQuadrants[0], kQuadrants[1], kQuadrants[2], kQuadrants[3]}},
        {90, {kQuadrants[2], kQuadrants[0], kQuadrants[3], kQuadrants[1]}},
        {180, {kQuadrants[3], kQuadrants[2], kQuadrants[1], kQuadrants[0]}},
        {270, {kQuadrants[1], kQuadrants[3], kQuadrants[0], kQuadrants[2]}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rotation);
        const TThumbnail t = ReadJpegThumbnail(file, c.rotation, 90);
        // 4:2:0 blocks of 16: a turn leaves out the partial block edge it would move
        const TCropRect size[] = {
            {0, 0, 300, 200}, {0, 0, 192, 300}, {0, 0, 288, 192}, {0, 0, 200, 288}};
        EXPECT_EQ(t.imageWidth, size[c.rotation / 90].width);
        EXPECT_EQ(t.imageHeight, size[c.rotation / 90].height);
        EXPECT_EQ(t.thumbWidth, ThumbWidthFor(90, t.imageRatio));
        EXPECT_EQ(t.bitmap.Width(), t.thumbWidth);
        EXPECT_EQ(t.bitmap.Height(), 90);
        ExpectQuadrants(t.bitmap, c.order, 12);
    }
}

TEST(JpegThumbnailTest, PhotosAreShownUprightByTheirExifOrientation) {
    TTempDir dir;
    const std::string plain = ReadFileBytes(MakeJpeg(dir, "plain", 300, 200, ""));
    const TRgb* q = kQuadrants;
    // orientation: the quadrants top left, top right, bottom left, bottom right as viewers show
    // them
    const std::pair<int, std::array<TRgb, 4>> cases[] = {
        {1, {q[0], q[1], q[2], q[3]}}, {2, {q[1], q[0], q[3], q[2]}},
        {3, {q[3], q[2], q[1], q[0]}}, {4, {q[2], q[3], q[0], q[1]}},
        {5, {q[0], q[2], q[1], q[3]}}, {6, {q[2], q[0], q[3], q[1]}},
        {7, {q[3], q[1], q[2], q[0]}}, {8, {q[1], q[3], q[0], q[2]}},
        {9, {q[0], q[1], q[2], q[3]}}};
    for (const auto& [orientation, order] : cases) {
        SCOPED_TRACE(orientation);
        // an EXIF segment whose main directory holds only the Orientation
        std::string tiff("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24);
        tiff += char(orientation) + std::string(7, '\0');
        const std::string app1 = std::string("\xFF\xE1\0", 3) + char(tiff.size() + 2) + tiff;
        const std::string file = dir.file("o.jpg");
        WriteFileBytes(file, plain.substr(0, 2) + app1 + plain.substr(2));
        const TThumbnail t = ReadJpegThumbnail(file, 0, 90);
        EXPECT_EQ(t.orientation, orientation == 9 ? 1 : orientation);
        EXPECT_EQ(t.imageWidth > t.imageHeight, orientation < 5 || orientation == 9);
        const TRgb want[4] = {order[0], order[1], order[2], order[3]};
        ExpectQuadrants(t.bitmap, want, 12);
        // not honoured: as stored
        const TThumbnail stored = ReadJpegThumbnail(file, 0, 90, {}, false);
        EXPECT_EQ(stored.orientation, 1);
        ExpectQuadrants(stored.bitmap, kQuadrants, 12);
        EXPECT_EQ(ReadJpegLayout(file).orientation, t.orientation);
    }
}

TEST(JpegThumbnailTest, BrokenFilesFailCleanly) {
    TTempDir dir;
    const std::string good = ReadFileBytes(MakeJpeg(dir, "good", 203, 149, ""));
    std::mt19937 rng(7);
    std::string noise(5000, '\0');
    for (char& ch : noise)
        ch = char(rng());
    std::string huge = good; // the frame header claims 65000 x 65000
    const std::size_t sof = huge.find("\xFF\xC0");
    huge[sof + 5] = huge[sof + 7] = char(0xFD);
    huge[sof + 6] = huge[sof + 8] = char(0xE8);
    std::string overLimit = huge; // 40000 x 30000 pixels, just over 2^30
    overLimit[sof + 5] = char(30000 >> 8);
    overLimit[sof + 6] = char(30000 & 255);
    overLimit[sof + 7] = char(40000 >> 8);
    overLimit[sof + 8] = char(40000 & 255);

    using enum TErrorKind;
    const struct {
        const char* name;
        std::string bytes;
        TErrorKind kind; // as the file is judged; the user's sentence follows from it
    } cases[] = {
        {"empty", "", Empty},
        {"noise", noise, NotJpeg},
        {"png", std::string("\x89PNG\r\n\x1A\n", 8) + noise, NotJpeg},
        {"start of image only", "\xFF\xD8", CutShort},
        {"cut in the tables", Cut(good, 120), CutShort},
        {"cut before the scan data", Cut(good, ScanDataStart(good)), CutShort},
        {"absurd size", huge, TooLarge},
        {"over the pixel limit", overLimit, TooLarge},
        {"jpeg in the middle", noise.substr(0, 64) + good, NotJpeg},
    };
    const std::string path = dir.file("broken.jpg");
    const auto faultOf = [](const std::function<void()>& read) {
        try {
            read();
        } catch (const TError& e) {
            return e.Fault();
        }
        return TFault{Other, "no fault", "", ""};
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(path, c.bytes);
        const TFault fault = faultOf([&] { ReadJpegThumbnail(path, 0, 100); });
        EXPECT_EQ(fault.Kind, c.kind) << fault.Detail;
        EXPECT_EQ(fault.File, path);
        // the header alone may look whole; where it does not, the kind is the same
        if (const TFault header = faultOf([&] { ReadJpegLayout(path); }); header.File == path)
            EXPECT_EQ(header.Kind, c.kind);
        EXPECT_THROW(ReadJpegThumbnail(reinterpret_cast<const uint8_t*>(c.bytes.data()),
                                       c.bytes.size(), 0, 100),
                     TError);
    }
    // libjpeg's own words go with the fault, never a name of ours
    WriteFileBytes(path, "no JPEG here");
    EXPECT_EQ(faultOf([&] { ReadJpegThumbnail(path, 0, 100); }).Detail,
              "Not a JPEG file: starts with 0x6e 0x6f");
    const TFault missing = faultOf([&] { ReadJpegThumbnail(dir.file("missing.jpg"), 0, 100); });
    EXPECT_EQ(missing.Kind, Missing);
    EXPECT_EQ(missing.File, dir.file("missing.jpg"));
    EXPECT_EQ(faultOf([&] { ReadJpegThumbnail(dir.path(), 0, 100); }).Kind, NotAFile);
}

TEST(JpegThumbnailTest, ScanDataCutShortShowsGreyWhereTheDataEnds) {
    TTempDir dir;
    for (const char* options : {"-sample 2x2", "-restart 1", "-progressive"}) {
        SCOPED_TRACE(options);
        const std::string whole = ReadFileBytes(MakeJpeg(dir, "cut", 400, 400, options));
        // the top half of the picture is in the first half of the scan data
        const std::size_t start = ScanDataStart(whole);
        const std::string path = dir.file("cut.jpg");
        WriteFileBytes(path, Cut(whole, start + (whole.size() - start) * 6 / 10));
        const TThumbnail t = ReadJpegThumbnail(path, 0, 100);
        EXPECT_TRUE(t.truncated);
        EXPECT_EQ(t.bitmap.Height(), 100);
        if (std::string(options) == "-progressive") continue; // early scans cover it all
        EXPECT_TRUE(Near(At(t.bitmap, 25, 25), kQuadrants[0], 12));
        EXPECT_TRUE(Near(At(t.bitmap, 75, 25), kQuadrants[1], 12));
        EXPECT_TRUE(Near(At(t.bitmap, 50, 95), {128, 128, 128}, 2));
    }
}

TEST(JpegThumbnailTest, LimitsBoundMemoryAndWork) {
    TTempDir dir;
    const std::string progressive = MakeJpeg(dir, "limits", 811, 601, "-progressive");
    EXPECT_NO_THROW(ReadJpegThumbnail(progressive, 0, 70));
    TJpegLimits pixels;
    pixels.maxPixels = 811 * 601 - 1;
    EXPECT_THROW(ReadJpegThumbnail(progressive, 0, 70, pixels), TError);
    TJpegLimits memory; // the coefficient buffer of a progressive file does not fit
    memory.maxMemory = 200 * 1024;
    try {
        ReadJpegThumbnail(progressive, 0, 70, memory);
        ADD_FAILURE() << "read within too little memory";
    } catch (const TError& e) {
        EXPECT_EQ(e.Kind(), TErrorKind::TooLarge) << e.what();
    }
    TJpegLimits scans;
    scans.maxScans = 3;
    EXPECT_THROW(ReadJpegThumbnail(progressive, 0, 70, scans), TError);
}

TEST(JpegThumbnailTest, ExtremePanoramasKeepAScreenSizedThumbnail) {
    TTempDir dir;
    const std::string wide = MakeJpeg(dir, "wide", 4000, 2, "");
    TThumbnail t = ReadJpegThumbnail(wide, 0, 800); // 1.6 million pixels wide in proportion
    EXPECT_EQ(t.thumbWidth, kMaxThumbnailSide);
    EXPECT_EQ(t.thumbHeight, 8);
    EXPECT_EQ(t.bitmap.Width(), kMaxThumbnailSide);
    t = ReadJpegThumbnail(wide, 90, 800); // turned it is a thin column
    EXPECT_EQ(t.thumbWidth, 1);
    EXPECT_EQ(t.thumbHeight, 800);
    t = ReadJpegThumbnail(wide, 0, 100000); // an absurd surface as well
    EXPECT_EQ(t.bitmap.Width(), kMaxThumbnailSide);
    EXPECT_EQ(t.bitmap.Height(), 8);
}

TEST(JpegThumbnailTest, HundredMegapixelPhotoLoads) {
    TTempDir dir;
    const int32_t w = 12288, h = 8192; // 100.7 megapixels, written row by row
    const std::string path = dir.file("big.jpg");
    WriteJpeg(
        path, w, h, 3, JCS_RGB, [](jpeg_compress_struct&) {},
        [&](std::vector<uint8_t>& row, int32_t) {
            for (int32_t x = 0; x < w; ++x)
                row[std::size_t(x) * 3] = uint8_t(x / 48);
        });

    const TThumbnail t = ReadJpegThumbnail(path, 0, 350);
    EXPECT_EQ(t.imageWidth, w);
    EXPECT_EQ(t.thumbWidth, 525);
    EXPECT_EQ(t.scaleDenominator, 8);
    EXPECT_NEAR(int(At(t.bitmap, 262, 175).r), 128, 4); // the red ramp's middle
}

TEST(JpegThumbnailTest, ACropAreaTurnsWithTheViewsOfARealPhoto) {
    TTempDir dir;
    const std::string file = MakeJpeg(dir, "photo", 600, 400, "");
    const TThumbnail upright = ReadJpegThumbnail(file, 0, 120);
    EXPECT_EQ(upright.thumbWidth, 180);
    TCropArea area;
    area.UseBlockGrid();
    area.Open(ViewOf(upright.layout, true, 0));
    area.SetAspect("defined", 3, 2);
    area.Maximize();
    const TThumbnail turned = ReadJpegThumbnail(file, 90, 120);
    EXPECT_EQ(turned.bitmap.Width(), 79);
    area.Turn(90, ViewOf(turned.layout, true, 90));
    EXPECT_EQ(area.ImageWidth(), turned.imageWidth);
    EXPECT_EQ(area.ImageWidth(), 400);
    EXPECT_EQ(area.GetCrop(), (TCropRect{0, 0, 400, 600})); // the area turns with the photo
    ExpectQuadrants(turned.bitmap, {kQuadrants[2], kQuadrants[0], kQuadrants[3], kQuadrants[1]},
                    12);
}
