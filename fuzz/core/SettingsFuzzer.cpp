// Feeds arbitrary bytes to the settings reader, as a damaged Trimvale.ini would,
// and checks the round trip: what the store writes, it reads back equal.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Error.h"
#include "core/StorageTank.h"
#include "core/StringController.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // both decimal separators a locale may give
    SetDecimalSeparator(size % 2 ? ',' : '.');
    TStorageTank tank("Settings");
    try {
        tank.fromSS(DecodeSettingsText(bytes));
    } catch (const TError&) {
        // a read error is the expected answer to bad input; what was read stays
    }
    const std::string text = tank.toString();
    TStorageTank again("Other");
    try {
        again.fromSS(DecodeSettingsText(text));
    } catch (const TError&) {
        __builtin_trap(); // the writer wrote a line its own reader refuses
    }
    if (again.toString() != text) __builtin_trap();
    (void)tank.getInteger("CropAreaLook", 0);
    return 0;
}
