// Feeds arbitrary bytes to the EXIF resolution rewrite: it must never read
// outside the data, and what it returns must start as a JPEG file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ResolutionUpdate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto rewritten = RewriteExifResolution(bytes, 300, 300);
    // segments are moved or dropped (a leading JFIF one); only the EXIF segment
    // grows, by a new main directory that its 16-bit length still covers
    if (rewritten &&
        (rewritten->size() > bytes.size() + 0xFFFF || rewritten->substr(0, 3) != "\xFF\xD8\xFF"))
        std::abort();
    return 0;
}
