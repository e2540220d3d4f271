#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// Writes a print resolution (pixels per inch) into a JPEG file's metadata
/// without touching the compressed image. First the EXIF way: the main image's
/// XResolution and YResolution become h/1 and v/1 and the file is rewritten
/// through the name path + ".TV.tmp"; else the JFIF way: units and densities
/// in the JFIF header, in place. True when either way changed the file.
bool WriteResolution(const std::string& path, int horizontal, int vertical);

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
