#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// Writes a print resolution (pixels per inch) into a JPEG file's metadata
/// without touching the compressed image. First the EXIF way: the main image's
/// XResolution and YResolution become h and v in the tags' own types (h/1 for
/// rationals), added when missing, and "ResolutionUnit" becomes inches; a JFIF
/// segment that stays gets the densities too. The file is rewritten through the
/// name path + ".TV.tmp". Else the JFIF way: units and densities in the JFIF
/// header, in place. True when either way changed the file.
bool WriteResolution(const std::string& path, int horizontal, int vertical);

/// What a cropped file's metadata is brought in line with.
struct TMetadataUpdate {
    int Resolution = -1;  ///< pixels per inch in both directions; 0 or less: left as it is
    bool Upright = false; ///< the picture was turned upright: EXIF Orientation becomes 1
};

/// Brings a cropped file's EXIF data in line with its picture: the image size
/// (PixelXDimension, PixelYDimension) becomes the frame's, the Orientation 1
/// when asked, and the resolution is written as WriteResolution does. Without
/// a resolution the segments keep their places. True when the file changed.
bool UpdateMetadata(const std::string& path, const TMetadataUpdate& update);

/// The EXIF way on a file held in memory: the rewritten file (start-of-image,
/// the changed EXIF segment, the IPTC and comment segments, then every other
/// segment in its order, a leading JFIF segment dropped), or nothing when the
/// data is no JPEG with a well-formed EXIF segment.
std::optional<std::string> RewriteExifResolution(std::string_view jpeg, uint32_t horizontal,
                                                 uint32_t vertical);

/// The JFIF way: units 1 (dots per inch) and both densities written where
/// "JFIF" and a zero byte appear in the first 50 bytes. Densities above 65535
/// are written as 65535.
bool WriteJfifDensity(const std::string& path, int horizontal, int vertical);

/// The name the EXIF way moves the file to while it writes the new one.
std::string ResolutionTempName(const std::string& path);
