#pragma once

// Besides EXIF and JFIF, two records describe the main image: Photoshop's
// image resources (APP13 "Photoshop 3.0", resource 0x03ED ResolutionInfo) and
// the XMP packet (APP1 "http://ns.adobe.com/xap/1.0/"), whose tiff: and exif:
// properties repeat the EXIF tags. A cut brings them in line with the picture.
// Only what is there is rewritten, value by value, so that everything else in
// a record stays byte for byte.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jpeg/ExifThumbnail.h"

/// What the records are brought in line with; 0 leaves a value as it is.
struct TRecordEdits {
    uint32_t Resolution = 0; ///< pixels per inch in both directions
    bool Upright = false;    ///< the orientation becomes 1
    uint32_t Width = 0, Height = 0;
    /// Nothing follows the picture any more (a cut keeps nothing after its end):
    /// a motion photo's video is gone.
    bool NothingAfter = false;
    /// Where the cut lies in its source: the XMP face regions follow it.
    std::optional<TThumbnailCut> Cut;
};

/// The ResolutionInfo resource of a Photoshop segment (marker and length
/// included; its payload starts at payload) states the resolution in pixels
/// per inch. True when the segment changed.
bool PatchPhotoshopResolution(std::string& segment, std::size_t payload, uint32_t resolution);

/// The XMP packet's tiff:Orientation, tiff:XResolution, tiff:YResolution,
/// tiff:ResolutionUnit, tiff:ImageWidth, tiff:ImageLength (and tiff:ImageHeight,
/// which some programs write instead), exif:PixelXDimension and
/// exif:PixelYDimension, as attributes or as elements, get the new values;
/// with nothing after the picture, Google's GCamera:MotionPhoto and
/// GCamera:MicroVideo become 0, so that no viewer reads the picture's last bytes
/// as a video. With a cut, the face regions move with it (see MoveFaceRegions).
/// The packet's padding takes up a change in length where it can.
/// True when the segment (marker and length included) changed; false leaves it
/// as it was.
bool PatchXmp(std::string& segment, std::size_t payload, const TRecordEdits& edits);

// Face regions as phones, digiKam and Lightroom write them: mwg-rs:Regions
// holds mwg-rs:AppliedToDimensions (the picture's size in pixels when the
// regions were set) and a mwg-rs:RegionList of items, each with a type, a name
// and an mwg-rs:Area: stArea:x and stArea:y name its centre, stArea:w and
// stArea:h its size (a point has neither, a circle has stArea:d), all as
// fractions of the stored picture's width and height.

/// A region of the picture that names what it shows.
struct TFaceRegion {
    std::string Type; ///< "Face", "Pet", "Focus", "BarCode" or empty
    std::string Name;
    TCropRect Area; ///< in the stored picture's pixels; a point has no width and height
};

/// The face regions of an XMP packet (the XML, without the segment's
/// signature) for a stored picture of width x height pixels, in the order
/// the packet lists them. Areas in other units than fractions are skipped.
std::vector<TFaceRegion> ReadFaceRegions(std::string_view packet, int32_t width, int32_t height);

/// The packet's face regions re-expressed in the cut's picture: each area cut
/// to the part inside the cut, turned like it, and given as fractions of the
/// output; an item whose area lies wholly outside is dropped, and
/// AppliedToDimensions states the output's width x height. True when the
/// packet changed.
bool MoveFaceRegions(std::string& packet, const TThumbnailCut& cut, uint32_t width,
                     uint32_t height);

/// The signatures that start these records' payloads.
extern const std::string kPhotoshopSignature;
extern const std::string kXmpSignature;
