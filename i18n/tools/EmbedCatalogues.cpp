#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/Error.h"
#include "i18n/EmbeddedFilesWriter.h"

// Build step: turns the message catalogues into C++ data for the program.
//   trimvale_embed <output.cpp> <folder> <name>...
// Each name is a path relative to folder and is also the name in the table.
// An unchanged output is left alone, so that nothing is compiled again.
int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s output.cpp folder name...\n", argv[0]);
        return 2;
    }
    const std::string output = argv[1];
    const std::string folder = argv[2];
    std::vector<TFileToEmbed> files;
    for (int i = 3; i < argc; ++i)
        files.push_back({argv[i], folder + "/" + argv[i]});
    std::string source;
    try {
        source = EmbeddedBlockSource(MakeEmbeddedBlock(files));
    } catch (const TError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    {
        std::ifstream in(output, std::ios::binary);
        const std::string old{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in && old == source) return 0;
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(source.data(), static_cast<std::streamsize>(source.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "trimvale_embed: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
