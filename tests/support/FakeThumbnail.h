#pragma once

#include <cstdint>

#include "jpeg/JpegThumbnail.h"

/// What a thumbnail reader gives for a picture of width x height turned by rotation
/// at a surface height, its pixels black: geometry without a JPEG file.
inline TThumbnail FakeThumbnail(int32_t width, int32_t height, int32_t rotation, int32_t surface) {
    const bool turned = rotation == 90 || rotation == 270;
    TThumbnail t;
    t.imageWidth = turned ? height : width;
    t.imageHeight = turned ? width : height;
    t.imageRatio = double(t.imageWidth) / t.imageHeight;
    t.thumbHeight = surface;
    t.thumbWidth = ThumbWidthFor(surface, t.imageRatio);
    t.bitmap = TBitmap(t.thumbWidth, t.thumbHeight, 24);
    return t;
}
