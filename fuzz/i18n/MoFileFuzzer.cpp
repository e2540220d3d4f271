#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Error.h"
#include "i18n/EmbeddedFiles.h"
#include "i18n/MoFile.h"

// Arbitrary bytes as a catalogue and as an embedded file table: either is
// refused or read, never outside the bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        const TMoFile catalogue = TMoFile::FromBytes(bytes, "fuzz.mo");
        std::string_view translation;
        for (const char* id : {"", "&File", "Crop", "zzzz", "\xff"})
            catalogue.Lookup(id, translation);
        for (std::uint32_t i = 0; i < catalogue.Count() && i < 64; ++i)
            catalogue.Lookup(bytes.substr(i, i % 7), translation);
    } catch (const TError&) {
    }
    for (std::uint64_t first : {std::uint64_t{0}, std::uint64_t{8}, std::uint64_t{size / 2}}) {
        const auto table = ReadEmbeddedTable(bytes, first);
        for (const TEmbeddedFile& entry : table)
            if (entry.offset + entry.size > size) __builtin_trap();
    }
    for (const TEmbeddedFile& entry : ReadEmbeddedBlock(bytes))
        if (entry.offset + entry.size > size) __builtin_trap();
    return 0;
}
