// Feeds arbitrary bytes to the metadata rewrites: they must never read or write
// outside the data, and what they return must start as a JPEG file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "jpeg/ResolutionUpdate.h"

namespace {
// segments are moved or dropped (a leading JFIF one, the multi-picture index);
// the EXIF segment grows at most to the 16-bit length of a segment, or one is
// made for a file without; the XMP packet's padding takes up its few new bytes
void Check(std::string_view bytes, const std::optional<std::string>& rewritten) {
    if (rewritten && (rewritten->size() > bytes.size() + 2 * 0xFFFF ||
                      rewritten->substr(0, 3) != "\xFF\xD8\xFF"))
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes, RewriteExifResolution(bytes, 300, 300));
    // the whole update of a cut: sizes from the frame header, the thumbnail made anew
    Check(bytes, RewriteMetadata(bytes, {300, true, std::nullopt}));
    return 0;
}
