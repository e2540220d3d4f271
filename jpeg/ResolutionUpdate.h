#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "jpeg/ExifThumbnail.h"

/// Writes a print resolution (pixels per inch) into a JPEG file's metadata
/// without touching the compressed image. First the EXIF way: the main image's
/// XResolution and YResolution become h and v in the tags' own types (h/1 for
/// rationals), added when missing, and "ResolutionUnit" becomes inches; a JFIF
/// segment that stays gets the densities too, and so do Photoshop's resolution
/// record and the XMP packet when both directions are the same. A file with
/// neither EXIF nor JFIF data (CMYK and RGB files) gets a small EXIF segment.
/// Whether a file is a JPEG file is told by its content, never its name. The
/// file is rewritten through the name path + ".TV.tmp". Else the JFIF way:
/// units and densities in the JFIF header, in place. True when either way
/// changed the file.
bool WriteResolution(const std::string& path, int horizontal, int vertical);

/// What a cropped file's metadata is brought in line with.
struct TMetadataUpdate {
    int Resolution = -1;  ///< pixels per inch in both directions; 0 or less: left as it is
    bool Upright = false; ///< the picture was turned upright: EXIF Orientation becomes 1
    /// Where the cut lies in its source: the new EXIF thumbnail is then cut from
    /// the old one where that shows enough of it, which costs next to nothing;
    /// without it the file's picture is decoded at reduced scale.
    std::optional<TThumbnailCut> Cut;
};

/// What UpdateMetadata did.
struct TMetadataResult {
    bool Changed = false; ///< the file holds the updated records
    /// The system's words when the file could not be read or rewritten; the
    /// file is then as it was, its records not updated.
    std::string Error;
    bool DiskFull = false; ///< the rewrite found no room
    explicit operator bool() const { return Changed; }
};

/// Brings every record of a cropped file that describes its picture in line
/// with it: the image size from the file's frame header (EXIF PixelXDimension,
/// PixelYDimension and their kin, the XMP tiff:ImageWidth, exif:PixelXDimension
/// and so on), the orientation 1 when asked, and the resolution as
/// WriteResolution writes it. The EXIF thumbnail is made anew from the picture,
/// or dropped when it cannot be; the multi-picture index (APP2 "MPF") goes, as
/// the images it names lay behind the picture's end and the cut did not keep
/// them; for the same reason a motion photo's XMP no longer claims its video.
/// Without a resolution the segments keep their places. A damaged EXIF
/// directory costs only what is inside it. Other pictures of the whole photo
/// (a JFIF extension's thumbnail, a FlashPix preview) go; a second EXIF
/// segment is edited like the first, its thumbnail dropped. A resolution no
/// record has room for gets a JFIF segment.
TMetadataResult UpdateMetadata(const std::string& path, const TMetadataUpdate& update);

/// UpdateMetadata on a file held in memory: the rewritten file, or nothing when
/// its structure is broken or no record changed.
std::optional<std::string> RewriteMetadata(std::string_view jpeg, const TMetadataUpdate& update);

/// The EXIF way on a file held in memory: the rewritten file (start-of-image,
/// the changed EXIF segment, the IPTC and comment segments, then every other
/// segment in its order, a leading JFIF segment dropped), or nothing when the
/// data is no JPEG whose records could take the resolution.
std::optional<std::string> RewriteExifResolution(std::string_view jpeg, uint32_t horizontal,
                                                 uint32_t vertical);

/// The JFIF way: units 1 (dots per inch) and both densities written where
/// "JFIF" and a zero byte appear in the first 50 bytes. Densities above 65535
/// are written as 65535.
bool WriteJfifDensity(const std::string& path, int horizontal, int vertical);

/// The name the EXIF way moves the file to while it writes the new one.
std::string ResolutionTempName(const std::string& path);
