#include <cstdio>
#include <string>
#include <vector>

#include "EmbeddedFilesWriter.h"
#include "Error.h"

// Build step run after linking: carries the message catalogues inside the program.
//   trimvale_embed <executable> <folder> <name>...
// Each name is a path relative to folder and is also the name in the table.
int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s executable folder name...\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[2];
    std::vector<TFileToEmbed> files;
    for (int i = 3; i < argc; ++i)
        files.push_back({argv[i], folder + "/" + argv[i]});
    try {
        EmbedFiles(argv[1], files);
    } catch (const TError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
