#pragma once

#include <string>
#include <vector>

/// One file to carry inside an executable: its table name (relative to the
/// program's folder, "\" or "/" separators) and where it lies now.
struct TFileToEmbed {
    std::string name;
    std::string path;
};

/// Appends the files and their table to executable and writes the table's
/// offset behind the marker. A table embedded earlier is replaced, so running
/// it twice gives the same file. Throws TError when the executable holds the
/// marker not exactly once, a file cannot be read or a name is unusable.
void EmbedFiles(const std::string& executable, const std::vector<TFileToEmbed>& files);

/// Position of the single marker in bytes; TError when absent or repeated.
std::size_t FindTableMarker(const std::string& bytes, const std::string& what);
