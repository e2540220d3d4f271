#include "EmbeddedFilesWriter.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "EmbeddedFiles.h"
#include "Error.h"
#include "StringController.h"
#include "TextEncoding.h"

namespace {

// Kept in two halves so that this tool's own image holds no copy of the marker.
const std::string kMarkerHead = "6637DB2E-62E1-4A60-";
const std::string kMarkerTail = "AC19-C23867046A89";

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TError("EmbedFiles: cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutU64(std::string& out, std::size_t pos, std::uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out[pos + static_cast<unsigned>(i)] = static_cast<char>(value >> (8 * i));
}

std::string U64(std::uint64_t value) {
    std::string out(8, '\0');
    PutU64(out, 0, value);
    return out;
}

} // namespace

std::size_t FindTableMarker(const std::string& bytes, const std::string& what) {
    const std::string marker = kMarkerHead + kMarkerTail;
    const std::size_t pos = bytes.find(marker);
    if (pos == std::string::npos || bytes.size() - pos < kMarkerLength + 8)
        throw TError("EmbedFiles: no file table marker in " + what);
    if (bytes.find(marker, pos + 1) != std::string::npos)
        throw TError("EmbedFiles: more than one file table marker in " + what);
    return pos;
}

void EmbedFiles(const std::string& executable, const std::vector<TFileToEmbed>& files) {
    std::string image = ReadWhole(executable);
    const std::size_t marker = FindTableMarker(image, executable);
    const std::size_t offsetPos = marker + kMarkerLength;

    // Cut a table embedded earlier off again: its files and entries all lie
    // behind the program image, starting at the lowest position they mention.
    std::uint64_t previous = 0;
    for (int i = 7; i >= 0; --i)
        previous =
            previous << 8 | static_cast<unsigned char>(image[offsetPos + static_cast<unsigned>(i)]);
    if (previous != 0) {
        const auto table = ReadEmbeddedTable(image, previous);
        if (table.empty() && previous + 8 != image.size())
            throw TError("EmbedFiles: the file table in " + executable + " is damaged");
        std::uint64_t start = previous;
        for (const TEmbeddedFile& entry : table)
            start = std::min(start, entry.offset);
        image.resize(start);
    }

    std::vector<std::string> names;
    std::vector<std::uint64_t> offsets, sizes;
    for (const TFileToEmbed& file : files) {
        const std::string name = ReplaceAll(file.name, "/", "\\");
        if (name.empty() || name.size() > kEntrySize - kEntryHeaderSize || name.front() == ' ' ||
            name.back() == ' ')
            throw TError("EmbedFiles: unusable name \"" + name + "\"");
        for (const std::string& other : names)
            if (SameText(other, name)) throw TError("EmbedFiles: \"" + name + "\" given twice");
        const std::string content = ReadWhole(file.path);
        names.push_back(name);
        offsets.push_back(image.size());
        sizes.push_back(content.size());
        image += content;
    }
    // The entries follow the files, each padded to the same length with blanks.
    PutU64(image, offsetPos, names.empty() ? 0 : image.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string record = U64(image.size() + kEntrySize) + U64(offsets[i]) + U64(sizes[i]);
        record += names[i];
        record.resize(kEntrySize, ' ');
        image += record;
    }
    if (!names.empty()) image += U64(0);

    std::ofstream out(executable, std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    if (!out.flush()) throw TError("EmbedFiles: cannot write " + executable);
}
