#pragma once

#include <string>
#include <vector>

#include "CropArea.h"
#include "Error.h"
#include "EventLog.h"
#include "ObserverPattern2.h"

using TFrameEventLog = TEventLog;

/// Makes a crop area read a picture of the given size whose thumbnail is filled
/// with one colour (0xRRGGBB; the right half with a second one if given), so that
/// geometry and pixels need no JPEG file. A file name starting with "missing"
/// fails like an unreadable file.
inline void UseFakeImage(TCropArea& area, int32_t width, int32_t height, uint32_t color,
                         int64_t rightColor = -1) {
    area.SetReader([=](const std::string& file, int32_t rotation, int32_t surface) {
        if (file.rfind("missing", 0) == 0) throw TError("JpegThumbnail: cannot open " + file);
        const bool turned = rotation == 90 || rotation == 270;
        TThumbnail t;
        t.imageWidth = turned ? height : width;
        t.imageHeight = turned ? width : height;
        t.imageRatio = double(t.imageWidth) / t.imageHeight;
        t.thumbHeight = surface;
        t.thumbWidth = ThumbWidthFor(surface, t.imageRatio);
        t.bitmap = TBitmap(t.thumbWidth, t.thumbHeight, 24);
        for (int32_t y = 0; y < t.thumbHeight; ++y)
            for (int32_t x = 0; x < t.thumbWidth; ++x)
                t.bitmap.SetPixel(
                    x, y, rightColor >= 0 && 2 * x >= t.thumbWidth ? uint32_t(rightColor) : color);
        return t;
    });
}
