#pragma once

#include <string>
#include <vector>

/// One file to carry inside an executable: its table name (relative to the
/// program's folder, "\" or "/" separators) and where it lies now.
struct TFileToEmbed {
    std::string name;
    std::string path;
};

/// The block of embedded files (see EmbeddedFiles.h) holding these files in
/// this order. Throws TError when a file cannot be read or a name is unusable.
std::string MakeEmbeddedBlock(const std::vector<TFileToEmbed>& files);

/// C++ source defining the block as the data the program links
/// (trimvale_embedded_files and trimvale_embedded_files_size).
std::string EmbeddedBlockSource(const std::string& block);
