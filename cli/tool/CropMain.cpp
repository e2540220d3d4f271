// trimvale-crop: the command line alone, for servers. It links nothing of Qt,
// so it installs without the window's libraries; `trimvale --crop` is the same.
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli/BatchRun.h"

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // cropping is all this program does
    args.insert(args.begin(), "--crop");
    return RunCommandLine(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
