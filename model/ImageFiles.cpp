#include "model/ImageFiles.h"

#include <algorithm>

#include "core/FilesystemController.h"
#include "core/TextEncoding.h"

std::vector<std::string> ListImageFiles(const std::string& folder, bool recursive,
                                        std::vector<TListFault>* faults) {
    // one walk for all three masks, so that each fault is told once
    std::vector<std::string> files =
        ListMatchingFiles(folder, {"*.jpg", "*.jpeg", "*.jpe"}, recursive, faults);
    // each name lowered once, not once a comparison
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(files.size());
    for (std::string& file : files)
        keyed.emplace_back(LowerCase(file), std::move(file));
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        files[i] = std::move(keyed[i].second);
    return files;
}
