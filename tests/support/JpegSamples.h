#pragma once

// Test photos made at test time with the IJG tools, and readers for checking
// what the pipeline wrote.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "core/ConsoleApp.h"

namespace samples {

/// Decoded RGB pixels, rows top to bottom.
struct TPixels {
    int Width = 0;
    int Height = 0;
    std::string Rgb;

    TPixels Region(int x, int y, int w, int h) const {
        TPixels r{w, h, ""};
        for (int row = y; row < y + h; ++row)
            r.Rgb +=
                Rgb.substr((static_cast<std::size_t>(row) * Width + x) * 3, std::size_t(w) * 3);
        return r;
    }
    /// Mirrored left to right when asked, then turned clockwise by quarters x 90 degrees.
    TPixels Turned(bool mirror, int quarters) const {
        TPixels r{quarters % 2 ? Height : Width, quarters % 2 ? Width : Height, Rgb};
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                int tx = mirror ? Width - 1 - x : x, ty = y, w = Width, h = Height;
                for (int q = 0; q < quarters; ++q) { // the left column becomes the top row
                    std::tie(tx, ty) = std::pair(h - 1 - ty, tx);
                    std::swap(w, h);
                }
                r.Rgb.replace((std::size_t(ty) * r.Width + tx) * 3, 3, Rgb,
                              (std::size_t(y) * Width + x) * 3, 3);
            }
        return r;
    }
    /// The largest difference of one colour value between two pictures of one size.
    int MaxDifference(const TPixels& other) const {
        if (Width != other.Width || Height != other.Height) return 256;
        int most = 0;
        for (std::size_t i = 0; i < Rgb.size(); ++i)
            most = std::max(most, std::abs(int(uint8_t(Rgb[i])) - int(uint8_t(other.Rgb[i]))));
        return most;
    }
    bool operator==(const TPixels&) const = default;
};

inline std::vector<std::string> Run(const std::string& program,
                                    const std::vector<std::string>& args) {
    std::vector<std::string> lines;
    ExecuteConsoleApp(program, args, lines);
    return lines;
}

/// A photo-like test pattern (gradients and noise) as a JPEG file;
/// sampling "1x1" gives 4:4:4, "2x2" gives 4:2:0, "grey" one component.
inline void MakePhoto(const std::string& path, int w, int h, const std::string& sampling = "2x2") {
    std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            ppm += static_cast<char>((x * 255) / w);
            ppm += static_cast<char>((y * 255) / h);
            ppm += static_cast<char>((seed >> 16) & 0xFF);
        }
    const std::string ppmPath = path + ".ppm";
    WriteFileBytes(ppmPath, ppm);
    if (sampling == "grey")
        Run("cjpeg", {"-grayscale", "-quality", "90", "-outfile", path, ppmPath});
    else
        Run("cjpeg", {"-sample", sampling, "-quality", "90", "-outfile", path, ppmPath});
    std::remove(ppmPath.c_str());
}

/// Decoded without smoothing across block edges, so that a cut region decodes
/// exactly as the same region of the whole image.
inline TPixels Decode(const std::string& jpeg) {
    const std::string ppmPath = jpeg + ".decoded.ppm";
    Run("djpeg", {"-nosmooth", "-ppm", "-outfile", ppmPath, jpeg});
    const std::string ppm = ReadFileBytes(ppmPath);
    std::remove(ppmPath.c_str());
    TPixels p;
    int maxval = 0, used = 0;
    char kind = 0;
    if (std::sscanf(ppm.c_str(), "P%c %d %d %d%n", &kind, &p.Width, &p.Height, &maxval, &used) != 4)
        return {};
    p.Rgb = ppm.substr(static_cast<std::size_t>(used) + 1);
    if (kind == '5') { // grey: one value a pixel
        std::string rgb;
        for (const char v : p.Rgb)
            rgb.append(3, v);
        p.Rgb = rgb;
    }
    return p;
}

/// One marker segment with its length bytes.
inline std::string Segment(uint8_t marker, const std::string& payload) {
    const std::size_t n = payload.size() + 2;
    return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(n >> 8),
                       static_cast<char>(n & 0xFF)} +
           payload;
}

/// Where the values of the sample TIFF structure lie, from its start.
namespace tiff {
constexpr std::size_t kIfd0 = 8, kX = 62, kY = 70, kExifIfd = 78, kIfd1 = 96, kThumbX = 126,
                      kSize = 142;
}

/// A TIFF structure as cameras write it: the main image's directory with
/// XResolution, YResolution (72/1), ResolutionUnit (inches) and the EXIF
/// directory; then the thumbnail's directory with resolutions 72/1.
inline std::string ExifTiff(bool bigEndian) {
    std::string t(tiff::kSize, '\0');
    auto put = [&](std::size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            t[at + i] = static_cast<char>(bigEndian ? v >> (8 * (bytes - 1 - i)) : v >> (8 * i));
    };
    auto entry = [&](std::size_t at, uint16_t tag, uint16_t type, uint32_t count, uint32_t value,
                     int valueBytes = 4) {
        put(at, tag, 2);
        put(at + 2, type, 2);
        put(at + 4, count, 4);
        put(at + 8, value, valueBytes);
    };
    t.replace(0, 4, bigEndian ? std::string("MM\0*", 4) : std::string("II*\0", 4));
    put(4, tiff::kIfd0, 4);
    put(tiff::kIfd0, 4, 2);
    entry(tiff::kIfd0 + 2, 0x011A, 5, 1, tiff::kX);
    entry(tiff::kIfd0 + 14, 0x011B, 5, 1, tiff::kY);
    entry(tiff::kIfd0 + 26, 0x0128, 3, 1, 2, 2);
    entry(tiff::kIfd0 + 38, 0x8769, 4, 1, tiff::kExifIfd);
    put(tiff::kIfd0 + 50, tiff::kIfd1, 4);
    for (std::size_t at : {tiff::kX, tiff::kY, tiff::kThumbX, tiff::kThumbX + 8}) {
        put(at, 72, 4);
        put(at + 4, 1, 4);
    }
    put(tiff::kExifIfd, 1, 2);
    entry(tiff::kExifIfd + 2, 0x9000, 7, 4, 0);
    t.replace(tiff::kExifIfd + 10, 4, "0230");
    put(tiff::kIfd1, 2, 2);
    entry(tiff::kIfd1 + 2, 0x011A, 5, 1, tiff::kThumbX);
    entry(tiff::kIfd1 + 14, 0x011B, 5, 1, tiff::kThumbX + 8);
    return t;
}

inline std::string ExifSegment(const std::string& tiffData) {
    return Segment(0xE1, std::string("Exif\0\0", 6) + tiffData);
}

/// An EXIF segment whose main directory holds only the Orientation.
inline std::string OrientationExif(int orientation) {
    std::string t("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18);
    t += static_cast<char>(orientation);
    t += std::string(7, '\0');
    return ExifSegment(t);
}

/// The file with a segment put in after its first segment (JFIF in cjpeg's files).
inline std::string WithSegment(const std::string& jpeg, const std::string& segment) {
    const std::size_t first = 4 + (static_cast<uint8_t>(jpeg[4]) << 8 | uint8_t(jpeg[5]));
    return jpeg.substr(0, first) + segment + jpeg.substr(first);
}

/// The markers of the segments before the scan, in file order.
inline std::vector<int> Markers(const std::string& jpeg) {
    std::vector<int> markers;
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[pos]) == 0xFF) {
        const int m = static_cast<uint8_t>(jpeg[pos + 1]);
        markers.push_back(m);
        if (m == 0xDA) break;
        pos += 2 + (static_cast<uint8_t>(jpeg[pos + 2]) << 8 | static_cast<uint8_t>(jpeg[pos + 3]));
    }
    return markers;
}

/// The file without its leading JFIF segment, the way cameras write files.
inline std::string WithoutJfif(const std::string& jpeg) {
    if (Markers(jpeg).empty() || Markers(jpeg)[0] != 0xE0) return jpeg;
    const std::size_t n = static_cast<uint8_t>(jpeg[4]) << 8 | static_cast<uint8_t>(jpeg[5]);
    return jpeg.substr(0, 2) + jpeg.substr(4 + n);
}

/// exiftool's plain value of one tag, such as "IFD0:XResolution".
inline std::string Tag(const std::string& path, const std::string& tag) {
    const auto lines = Run("exiftool", {"-n", "-s3", "-" + tag, path});
    return lines.empty() ? "" : lines[0];
}

/// A face a photo manager named: its centre and size as fractions of the stored picture.
struct TNamedFace {
    double x, y, w, h;
};

/// Names faces in the photo's XMP as phones and photo managers do (mwg-rs regions).
inline void NameFaces(const std::string& path, int width, int height,
                      const std::vector<TNamedFace>& faces) {
    std::string list;
    for (const TNamedFace& f : faces)
        list += std::string(list.empty() ? "" : ",") + "{Area={X=" + std::to_string(f.x) +
                ",Y=" + std::to_string(f.y) + ",W=" + std::to_string(f.w) +
                ",H=" + std::to_string(f.h) + ",Unit=normalized},Type=Face}";
    Run("exiftool", {"-q", "-overwrite_original",
                     "-XMP-mwg-rs:RegionInfo={AppliedToDimensions={W=" + std::to_string(width) +
                         ",H=" + std::to_string(height) + ",Unit=pixel},RegionList=[" + list +
                         "]}",
                     path});
}

/// The EXIF thumbnail as exiftool finds it, decoded; empty when there is none.
inline TPixels Thumbnail(const std::string& path) {
    // exiftool names the file it writes after the name less its extension, then the extension
    const std::size_t slash = path.find_last_of('/'), dot = path.find_last_of('.');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string thumb =
        (extension ? path.substr(0, dot) + "." + path.substr(dot + 1) : path + ".") + ".thumb.jpg";
    Run("exiftool", {"-q", "-b", "-ThumbnailImage", "-w!", "%d%f.%e.thumb.jpg", path});
    TPixels p = Decode(thumb);
    std::remove(thumb.c_str());
    return p;
}

} // namespace samples
