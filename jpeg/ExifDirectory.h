#pragma once

// An EXIF segment is a TIFF structure: a header giving the byte order and the
// offset of the main image's directory (IFD0), directories of 12-byte entries,
// and values that do not fit an entry placed anywhere in the structure by
// offset. IFD0 links to the EXIF directory (which links to the interoperability
// directory and holds the maker note), to the GPS directory, and through its
// "next" link to the thumbnail's directory (IFD1) with the thumbnail's bytes.
//
// A cut changes what the main image is, so the records that describe it are
// brought in line: Orientation, XResolution, YResolution and ResolutionUnit in
// IFD0 (also ImageWidth/ImageLength when present), PixelXDimension and
// PixelYDimension in the EXIF directory, RelatedImageWidth/Length in the
// interoperability directory, and the thumbnail is made anew or dropped. Data
// is patched where it lies; what must grow is appended behind everything else,
// so that no offset into the old data (maker notes count on theirs) changes.
// A directory that points outside the data only costs what is inside it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

/// What one EXIF edit changes.
struct TExifEdits {
    uint32_t Horizontal = 0, Vertical = 0; ///< pixels per inch; 0: the resolution stays
    bool Upright = false;                  ///< Orientation becomes 1
    uint32_t Width = 0, Height = 0;        ///< the main image's size; 0: the size tags stay
    bool RenewThumbnail = false;           ///< a thumbnail is made anew or dropped
};

/// Makes a JPEG thumbnail of at most the given number of bytes, or nothing;
/// it is given the old thumbnail's bytes ("" when there were none readable).
using TThumbnailMaker =
    std::function<std::optional<std::string>(std::string_view oldThumbnail, std::size_t maxBytes)>;

struct TExifEdited {
    std::string Segment;     ///< the whole segment, marker and length included
    bool Resolution = false; ///< the main image's resolution is in it
};

/// The EXIF segment (marker and length included; the payload, "Exif" and two
/// zero bytes, starts at payload) with the edits made. Nothing when its main
/// directory cannot be read: then nothing in it can be patched safely. The
/// segment never grows past the 16-bit length of a marker segment.
std::optional<TExifEdited> EditExifSegment(std::string segment, std::size_t payload,
                                           const TExifEdits& edits,
                                           const TThumbnailMaker& makeThumbnail);

/// A new EXIF segment for a file that has none: IFD0 with Orientation 1 and
/// the resolution in inches (and YCbCrPositioning, which every main image states).
std::string MinimalExifSegment(uint32_t horizontal, uint32_t vertical);

/// The bytes of the thumbnail an EXIF segment carries (the segment as for
/// EditExifSegment); "" when it has none that can be read.
std::string ExifThumbnailOf(std::string segment, std::size_t payload);
