#include "i18n/EmbeddedFiles.h"

#include "core/TextEncoding.h"

// A program that carries catalogues links the block generated from them
// (trimvale_embed_catalogues in CMake); in every other program these weak
// references stay unresolved, and their addresses read as null.
extern "C" {
extern const unsigned char trimvale_embedded_files[] __attribute__((weak));
extern const std::size_t trimvale_embedded_files_size __attribute__((weak));
}

namespace {

// Names may be long but not absurdly so; a wild next field must not make one huge.
constexpr std::uint64_t kMaxNameBytes = 4096;

std::uint64_t ReadU64(std::string_view bytes, std::uint64_t pos) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[pos + static_cast<unsigned>(i)]);
    return value;
}

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\0'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool StartsWithMarker(std::string_view block) {
    return block.size() >= kMarkerLength + 8 &&
           block.substr(0, kMarkerHead.size()) == kMarkerHead &&
           block.substr(kMarkerHead.size(), kMarkerTail.size()) == kMarkerTail;
}

} // namespace

std::string_view EmbeddedFilesBlock() {
    const std::size_t* size = &trimvale_embedded_files_size;
    if (size == nullptr) return {};
    return {reinterpret_cast<const char*>(trimvale_embedded_files), *size};
}

std::uint64_t EmbeddedTableOffset() {
    const std::string_view block = EmbeddedFilesBlock();
    return StartsWithMarker(block) ? ReadU64(block, kMarkerLength) : 0;
}

std::vector<TEmbeddedFile> ReadEmbeddedTable(std::string_view file, std::uint64_t first) {
    std::vector<TEmbeddedFile> table;
    const std::uint64_t size = file.size();
    std::uint64_t pos = first;
    while (true) {
        if (pos > size || size - pos < 8) return {};
        const std::uint64_t next = ReadU64(file, pos);
        if (next == 0) break;
        // Entries only ever follow one another, so a link that does not move
        // forward past this entry's numbers is a loop or damage.
        if (pos > size - kEntryHeaderSize || next < pos + kEntryHeaderSize || next > size)
            return {};
        if (next - pos - kEntryHeaderSize > kMaxNameBytes) return {};
        TEmbeddedFile entry;
        entry.offset = ReadU64(file, pos + 8);
        entry.size = ReadU64(file, pos + 16);
        if (entry.offset > size || entry.size > size - entry.offset) return {};
        entry.name = std::string(
            TrimBlanks(file.substr(pos + kEntryHeaderSize, next - pos - kEntryHeaderSize)));
        table.push_back(std::move(entry));
        pos = next;
    }
    return table;
}

std::vector<TEmbeddedFile> ReadEmbeddedBlock(std::string_view block) {
    if (!StartsWithMarker(block)) return {};
    const std::uint64_t first = ReadU64(block, kMarkerLength);
    // the files follow the marker and its offset, so the table cannot start before them
    if (first == 0 || first < kMarkerLength + 8) return {};
    return ReadEmbeddedTable(block, first);
}

const TEmbeddedFile* FindEmbeddedFile(const std::vector<TEmbeddedFile>& table,
                                      std::string_view name) {
    const std::string wanted(name);
    for (const TEmbeddedFile& entry : table)
        if (SameText(entry.name, wanted)) return &entry;
    return nullptr;
}
