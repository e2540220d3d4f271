#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Files appended to the program's executable behind its image. The program
/// image holds the marker text followed by 8 bytes: the file offset of the first
/// table entry, or 0 when nothing is embedded. Each entry holds three unsigned
/// 64-bit little-endian numbers (next entry, offset of the file's first byte, its
/// size) and then the name up to the next entry, padded with blanks; an entry
/// whose next field is 0 ends the chain. Names are relative to the program's
/// folder with "\" separators and compared without regard to case.

inline constexpr std::size_t kMarkerLength = 36;
inline constexpr std::size_t kEntryHeaderSize = 24;
/// The writer makes every entry this long.
inline constexpr std::size_t kEntrySize = 256;

struct TEmbeddedFile {
    std::string name;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

/// The first entry's offset as patched into this program, 0 when nothing is embedded.
std::uint64_t EmbeddedTableOffset();

/// The entries of the chain starting at first inside file. A chain that loops,
/// runs backwards or points outside the file counts as no table: the result is empty.
std::vector<TEmbeddedFile> ReadEmbeddedTable(std::string_view file, std::uint64_t first);

/// The entry of that name (letter case ignored), or nullptr.
const TEmbeddedFile* FindEmbeddedFile(const std::vector<TEmbeddedFile>& table,
                                      std::string_view name);
