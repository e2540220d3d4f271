#include "ImageFiles.h"

#include <algorithm>

#include "FilesystemController.h"
#include "TextEncoding.h"

std::vector<std::string> ListImageFiles(const std::string& folder, bool recursive) {
    std::vector<std::string> files;
    for (const char* mask : {"*.jpg", "*.jpeg", "*.jpe"}) {
        const auto found = recursive ? ListFilesRecursive(folder, mask) : ListFiles(folder, mask);
        files.insert(files.end(), found.begin(), found.end());
    }
    std::stable_sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return LowerCase(a) < LowerCase(b);
    });
    return files;
}
