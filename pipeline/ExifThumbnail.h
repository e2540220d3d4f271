#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
