#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "jpeg/JpegLayout.h"

/// The long side of a thumbnail made for the EXIF data, as cameras make them.
constexpr int32_t kExifThumbnailSide = 160;

/// A small JPEG picture of a JPEG file's whole image for its EXIF thumbnail:
/// about kExifThumbnailSide pixels on the long side (never larger than the
/// image), in the stored orientation, which the EXIF Orientation states for
/// both. Made from a decode at reduced scale and encoded at a modest quality,
/// lower when that is what fits into maxBytes. Nothing when the image cannot be
/// decoded whole (its data ends early, it is too large) or no picture fits.
std::optional<std::string> MakeExifThumbnail(std::string_view jpeg, int32_t width, int32_t height,
                                             std::size_t maxBytes);

/// Where a cut lies in its source: the rectangle of the source's stored picture
/// that the output shows, and the turn from the stored picture to the output's.
struct TThumbnailCut {
    int32_t SourceWidth = 0, SourceHeight = 0; ///< the source's stored picture
    TCropRect Stored;
    TTurn Turn;
};

/// The new thumbnail cut from the source's own one, without decoding the
/// picture: the matching region, turned like the cut. Nothing when the old
/// thumbnail does not show the whole stored picture in its proportions (a
/// letterboxed one), cannot be decoded, or leaves the cut too few pixels to
/// make a thumbnail well.
std::optional<std::string> CutExifThumbnail(std::string_view oldThumbnail, const TThumbnailCut& cut,
                                            std::size_t maxBytes);
