#pragma once

#include <string>

/// One text of a file's version table: "<Undefined>" when the file has none,
/// "<NonExisting>" when the key is missing. Only the running program carries a
/// table (compiled in from the project version).
std::string ReadVersionValue(const std::string& key, const std::string& fileName);
/// The program's four-part version, e.g. "0.6.4.0".
std::string FileVersion();
/// A version without its last dot-separated part ("0.6.4.141" gives "0.6.4");
/// a text without a dot stays as it is.
std::string ShortVersion(const std::string& version);
/// ShortVersion of FileVersion().
std::string ShortVersion();
