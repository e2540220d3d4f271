#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jpeg/Bitmap.h"
#include "jpeg/JpegLayout.h"

/// Bounds that keep one hostile file from exhausting the machine. A 100-megapixel
/// photo fits well inside the defaults, also when progressive.
struct TJpegLimits {
    /// Images with more stored pixels than this are refused (2^30).
    uint64_t maxPixels = uint64_t(1) << 30;
    /// libjpeg's own memory limit, which bounds the coefficient buffer of
    /// progressive and multi-scan files (1.5 GiB).
    long maxMemory = 1536L << 20;
    /// Progressive files with more scans than this are refused.
    int maxScans = 1000;
};

/// Neither side of a thumbnail exceeds this many pixels: an extreme panorama (or
/// a header that claims one) is fitted into it, so its bitmap stays screen sized.
constexpr int32_t kMaxThumbnailSide = 16384;

/// A decoded thumbnail and the image geometry it was made for.
struct TThumbnail {
    int32_t imageWidth = 0;  ///< width of the view: turned, less what cannot be cut exactly
    int32_t imageHeight = 0; ///< height of the view
    double imageRatio = 0.0; ///< imageWidth / imageHeight
    int32_t thumbWidth = 0;
    int32_t thumbHeight = 0;
    int scaleDenominator = 1; ///< decoder scale 1/1, 1/2, 1/4 or 1/8
    bool truncated = false;   ///< the data ended early; the rest is grey
    TBitmap bitmap;           ///< 24 bits per pixel, thumbWidth x thumbHeight
    TJpegLayout layout;       ///< the file's stored picture
    int orientation = 1;      ///< the EXIF orientation shown upright; 1 when not honoured
    int32_t blockWidth = 1;   ///< the file's block in the view's direction
    int32_t blockHeight = 1;
};

/// Width of a thumbnail of the given height: Trunc(height x ratio), the product
/// formed with a 64-bit significand (439 for 4000x3000 at 330).
int32_t ThumbWidthFor(int32_t thumbHeight, double imageRatio);

/// The decoder scale denominator for the reduction factor
/// max(imageWidth / thumbWidth, imageHeight / thumbHeight): 8 above 8, 4 above 4,
/// 2 above 2, else 1.
int ScaleDenominatorFor(int32_t imageWidth, int32_t imageHeight, int32_t thumbWidth,
                        int32_t thumbHeight);

/// Decodes a JPEG file into a thumbnail as high as the surface, shown upright by
/// its EXIF orientation when that is honoured, then turned clockwise by rotation
/// degrees (0, 90, 180, 270); strips that cannot be cut exactly in that turn
/// are left out (see TJpegView). Only the scaled rows pass through
/// memory, never the full-size picture. Raises TError of the fault's kind, with
/// the file and the system's or the decoder's words, when the file is missing,
/// unreadable, empty, not a JPEG, cut off before its image data, too large for
/// the limits or undecodable; scan data that ends early leaves the rest grey.
TThumbnail ReadJpegThumbnail(const std::string& fileName, int32_t rotation, int32_t surfaceHeight,
                             const TJpegLimits& limits = {}, bool honourOrientation = true);

/// The same from bytes in memory.
TThumbnail ReadJpegThumbnail(const uint8_t* data, std::size_t size, int32_t rotation,
                             int32_t surfaceHeight, const TJpegLimits& limits = {},
                             bool honourOrientation = true);

/// The thumbnail a camera or phone stored in the file's EXIF data, as a stand-in
/// for ReadJpegThumbnail's: upright when honoured, turned, and measured as the
/// photo's view, from the first kilobytes of the file without decoding the
/// photo. Raises TError when the file's header cannot be read; nothing when it
/// carries no such thumbnail or one of other proportions (a letterboxed one).
std::optional<TThumbnail> ReadExifPreview(const std::string& fileName, int32_t rotation,
                                          bool honourOrientation = true);

/// The stored picture in grey, not turned, decoded at the smallest of the
/// decoder's scales (n/8) whose long side reaches longSide pixels (or at full
/// size), for finding what it shows.
struct TGreyPicture {
    TJpegLayout layout;
    std::string xmp; ///< the XMP packet (the XML alone), "" without one
    int32_t width = 0; ///< of the pixels; 0 when they were not decoded
    int32_t height = 0;
    std::vector<uint8_t> pixels; ///< width x height, a byte a pixel, row by row
};

/// Reads the header and XMP packet of a JPEG file, then the grey picture unless
/// decode, given what was read so far, says it is not needed. A CMYK picture
/// gives no pixels. Raises TError as ReadJpegThumbnail does; data that ends
/// early leaves the rest grey.
TGreyPicture ReadJpegGrey(const std::string& fileName, int32_t longSide,
                          const std::function<bool(const TGreyPicture&)>& decode = {},
                          const TJpegLimits& limits = {});
