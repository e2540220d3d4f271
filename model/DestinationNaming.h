#pragma once

#include <functional>
#include <string>

/// Turns a file name (UTF-8) into one made only of ASCII letters, digits,
/// "_", "-" and ".": Latin-1 letters lose their accents ("Æ" gives "Ae"),
/// a few signs get look-alikes, everything else becomes "_".
std::string MakeSafeFileName(const std::string& name);

/// Rewrites a name by a template in which "%n" and "%N" stand for the name
/// without its extension. Unless the result ends in ".jpg" or ".jpeg" (any
/// case), the name's own extension is appended.
std::string ApplyNameTemplate(const std::string& name, const std::string& templ);

/// The path an image is cropped to: the destination folder (one trailing "/"
/// or "\" dropped), "/", and the last path component of the destination
/// name, where "/" and "\" both separate components (only "/" with
/// posixNames: names from the file system, where "\" is a letter). Raises a
/// TError when the folder is empty or the component names no file (empty, "."
/// or "..").
std::string OutputPath(const std::string& folder, const std::string& destinationName,
                       bool posixNames = false);

/// The last component of a path; "/" and "\\" both separate, unless posixNames.
std::string LastComponent(const std::string& path, bool posixNames = false);

/// The first of path, "name (2).ext", "name (3).ext"... in the same folder
/// for which taken gives false; "" when all up to 9999 are taken.
std::string FirstFreeName(const std::string& path,
                          const std::function<bool(const std::string&)>& taken);

/// The highest number FirstFreeName tries.
constexpr int kMaxNameNumber = 9999;

/// path with " (n)" before its extension: "a/b (2).jpg".
std::string NumberedName(const std::string& path, int n);
