#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Files compiled into the program as data of its image, so that `strip` and
/// debug-symbol splitting keep them. They form one block: the marker text, 8
/// bytes holding the position of the first table entry within the block (0
/// when nothing is embedded), the files' bytes, then the table: a chain of
/// entries, each three unsigned 64-bit little-endian numbers (next entry,
/// position of the file's first byte, its size) followed by the name up to the
/// next entry, padded with blanks; an entry whose next field is 0 ends the
/// chain. Every position counts from the block's first byte. Names are
/// relative to the program's folder with "\" separators and compared without
/// regard to case.

// The marker "6637DB2E-62E1-4A60-AC19-C23867046A89", kept in two halves so
// that only the block itself holds it whole: tools find the block by it.
inline constexpr std::string_view kMarkerHead = "6637DB2E-62E1-4A60-";
inline constexpr std::string_view kMarkerTail = "AC19-C23867046A89";
inline constexpr std::size_t kMarkerLength = 36;
inline constexpr std::size_t kEntryHeaderSize = 24;
/// The writer makes every entry this long.
inline constexpr std::size_t kEntrySize = 256;

struct TEmbeddedFile {
    std::string name;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

/// This program's block; empty when it was linked without one.
std::string_view EmbeddedFilesBlock();

/// The first entry's position in this program's block, 0 when nothing is embedded.
std::uint64_t EmbeddedTableOffset();

/// The entries of the chain starting at first inside file. A chain that loops,
/// runs backwards or points outside the file counts as no table: the result is empty.
std::vector<TEmbeddedFile> ReadEmbeddedTable(std::string_view file, std::uint64_t first);

/// The entries of a whole block as described above; empty for a block that
/// does not start with the marker or holds a damaged table.
std::vector<TEmbeddedFile> ReadEmbeddedBlock(std::string_view block);

/// The entry of that name (letter case ignored), or nullptr.
const TEmbeddedFile* FindEmbeddedFile(const std::vector<TEmbeddedFile>& table,
                                      std::string_view name);
