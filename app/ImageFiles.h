#pragma once

#include <string>
#include <vector>

/// The JPEG files of a folder ("*.jpg", "*.jpeg", "*.jpe" in any letter
/// case), with those of its subfolders when recursive, sorted by path without
/// regard to letter case: the photos that adding a folder takes.
std::vector<std::string> ListImageFiles(const std::string& folder, bool recursive);
