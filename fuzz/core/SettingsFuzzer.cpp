// Feeds arbitrary bytes to the settings reader, as a damaged Trimvale.ini would.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Error.h"
#include "StorageTank.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TStorageTank tank("Settings");
    try {
        tank.fromSS(DecodeSettingsText(bytes));
    } catch (const TError&) {
        // a read error is the expected answer to bad input
    }
    // whatever survived must write and read again without trouble
    const std::string text = tank.toString();
    TStorageTank again;
    try {
        again.fromSS(text);
    } catch (const TError&) {
    }
    (void)tank.getInteger("CropAreaLook", 0);
    return 0;
}
