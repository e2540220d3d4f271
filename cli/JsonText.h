#pragma once

#include <string>

/// text as a JSON string, quotes included. Quotation marks, backslashes and
/// control characters are escaped; bytes that are not well-formed UTF-8 (file
/// names may hold any byte) become "\udcXX", the lone surrogate that Python's
/// "surrogateescape" turns back into the byte XX, so that no name is lost.
std::string JsonString(const std::string& text);
