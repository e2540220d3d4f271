#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jpeg/JpegLayout.h"

/// The faces of a photo, as rectangles of its stored picture in pixels.
struct TFoundFaces {
    std::vector<TCropRect> Faces;
    /// The photo's own XMP face regions named them; nothing was looked for.
    bool Named = false;
};

/// The faces of the JPEG file: the face regions its XMP packet names, or else
/// the upright faces a detector finds in a grey copy of the picture of about
/// 800 pixels on its long side, turned upright by its EXIF orientation.
/// Found the same way on every thread and in every run; each thread makes its
/// detector once, when it first needs it. A file that cannot be read has none.
TFoundFaces FindFaces(const std::string& fileName);

/// How many pictures the detector has looked at in this process.
uint64_t FaceDetections();
