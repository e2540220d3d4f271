#include "model/ImageFiles.h"

#include <algorithm>

#include "core/FilesystemController.h"
#include "core/TextEncoding.h"

std::vector<std::string> ListImageFiles(const std::string& folder, bool recursive,
                                        std::vector<TListFault>* faults) {
    // one walk for all three masks, so that each fault is told once
    std::vector<std::string> files =
        ListMatchingFiles(folder, {"*.jpg", "*.jpeg", "*.jpe"}, recursive, faults);
    std::stable_sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return LowerCase(a) < LowerCase(b);
    });
    return files;
}
