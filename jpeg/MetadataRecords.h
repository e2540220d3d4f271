#pragma once

// Besides EXIF and JFIF, two records describe the main image: Photoshop's
// image resources (APP13 "Photoshop 3.0", resource 0x03ED ResolutionInfo) and
// the XMP packet (APP1 "http://ns.adobe.com/xap/1.0/"), whose tiff: and exif:
// properties repeat the EXIF tags. A cut brings them in line with the picture.
// Only what is there is rewritten, value by value, so that everything else in
// a record stays byte for byte.

#include <cstddef>
#include <cstdint>
#include <string>

/// What the records are brought in line with; 0 leaves a value as it is.
struct TRecordEdits {
    uint32_t Resolution = 0; ///< pixels per inch in both directions
    bool Upright = false;    ///< the orientation becomes 1
    uint32_t Width = 0, Height = 0;
    /// Nothing follows the picture any more (a cut keeps nothing after its end):
    /// a motion photo's video is gone.
    bool NothingAfter = false;
};

/// The ResolutionInfo resource of a Photoshop segment (marker and length
/// included; its payload starts at payload) states the resolution in pixels
/// per inch. True when the segment changed.
bool PatchPhotoshopResolution(std::string& segment, std::size_t payload, uint32_t resolution);

/// The XMP packet's tiff:Orientation, tiff:XResolution, tiff:YResolution,
/// tiff:ResolutionUnit, tiff:ImageWidth, tiff:ImageLength, exif:PixelXDimension
/// and exif:PixelYDimension, as attributes or as elements, get the new values;
/// with nothing after the picture, Google's GCamera:MotionPhoto and
/// GCamera:MicroVideo become 0, so that no viewer reads the picture's last bytes
/// as a video. The packet's padding takes up a change in length where it can.
/// True when the segment (marker and length included) changed; false leaves it
/// as it was.
bool PatchXmp(std::string& segment, std::size_t payload, const TRecordEdits& edits);

/// The signatures that start these records' payloads.
extern const std::string kPhotoshopSignature;
extern const std::string kXmpSignature;
