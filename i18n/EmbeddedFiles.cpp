#include "EmbeddedFiles.h"

#include "TextEncoding.h"

// The one copy of the marker in the program image; the embedding tool finds it
// in the executable file and writes the table's offset into the 8 bytes behind it.
// volatile keeps the compiler from folding the offset to the zeros it starts as.
extern "C" {
volatile unsigned char trimvale_file_table_marker[kMarkerLength + 8] =
    "6637DB2E-62E1-4A60-AC19-C23867046A89";
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

} // namespace

std::uint64_t EmbeddedTableOffset() {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | trimvale_file_table_marker[kMarkerLength + static_cast<unsigned>(i)];
    return value;
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

const TEmbeddedFile* FindEmbeddedFile(const std::vector<TEmbeddedFile>& table,
                                      std::string_view name) {
    const std::string wanted(name);
    for (const TEmbeddedFile& entry : table)
        if (SameText(entry.name, wanted)) return &entry;
    return nullptr;
}
