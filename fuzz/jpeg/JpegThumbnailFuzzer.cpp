// Feeds arbitrary bytes to the thumbnail reader, as a damaged or hostile photo would.
#include <cstddef>
#include <cstdint>

#include "core/Error.h"
#include "jpeg/JpegThumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // the turn and the surface height vary with the input so every path is reached
    const int32_t rotation = int32_t(size % 4) * 90;
    const int32_t height = 8 + int32_t(size % 193);
    TJpegLimits limits;
    // 512x512 pixels reach every scale for these heights and keep each run short (the
    // scaler walks every decoded pixel); the bound itself is tested
    limits.maxPixels = uint64_t(1) << 18;
    limits.maxMemory = 256L << 20;
    try {
        const TThumbnail t = ReadJpegThumbnail(data, size, rotation, height, limits);
        if (t.bitmap.Width() != t.thumbWidth || t.bitmap.Height() != t.thumbHeight)
            __builtin_trap();
    } catch (const TError&) {
        // refusing the input is the expected answer
    }
    return 0;
}
