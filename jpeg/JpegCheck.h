#pragma once

#include <string>

/// Whether a JPEG file is whole: a walk over its marker segments and the
/// entropy-coded data of every scan, up to the end-of-image marker. Nothing
/// is decoded, so it costs one read of the file. A file cut short anywhere
/// (a full disk, a killed writer) has no end-of-image marker where one
/// belongs and fails.
bool IsCompleteJpeg(const std::string& path);

/// The same over bytes in memory.
bool IsCompleteJpegData(const std::string& bytes);
