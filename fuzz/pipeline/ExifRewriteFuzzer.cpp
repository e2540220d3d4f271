// Feeds arbitrary bytes to the EXIF resolution rewrite: it must never read
// outside the data, and what it returns must keep the file's length and scan.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ResolutionUpdate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto rewritten = RewriteExifResolution(bytes, 300, 300);
    // segments are only moved or dropped (a leading JFIF one), never grown
    if (rewritten &&
        (rewritten->size() > bytes.size() || rewritten->substr(0, 3) != "\xFF\xD8\xFF"))
        std::abort();
    return 0;
}
