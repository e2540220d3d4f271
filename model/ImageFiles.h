#pragma once

#include <string>
#include <vector>

struct TListFault;

/// The JPEG files of a folder ("*.jpg", "*.jpeg", "*.jpe" in any letter
/// case, regular files only), with those of its subfolders when recursive,
/// sorted by path without regard to letter case: the photos that adding a
/// folder takes. Folders and entries that could not be read go to faults
/// when given.
std::vector<std::string> ListImageFiles(const std::string& folder, bool recursive,
                                        std::vector<TListFault>* faults = nullptr);
