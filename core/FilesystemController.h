#pragma once

#include <string>
#include <vector>

/// File-system helpers. Paths are UTF-8 with "/" separators.

/// Entries of folder matching mask ("*" and "?", letter case ignored), in the
/// order the file system returns them, as folder + "/" + name.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& mask);
/// As ListFiles, breadth-first through the subfolders; hidden (dot) folders and
/// links to folders are not entered.
std::vector<std::string> ListFilesRecursive(const std::string& folder, const std::string& mask);
/// True when name matches the mask, ignoring letter case.
bool MatchesMask(const std::string& name, const std::string& mask);

/// The folder of the running executable, without a trailing "/".
std::string ProgramDir();
/// An absolute name unchanged; any other name joined to the program's folder.
std::string ProgramPath(const std::string& name);

/// Copies the last-access and last-write times; errors are ignored.
void CopyFileTimes(const std::string& source, const std::string& destination);
/// Copies the permission bits; errors are ignored.
void CopyFileAttributes(const std::string& source, const std::string& destination);

/// Special folders by the kind numbers the settings use: 3 and 8 desktop,
/// 4 documents, 5 per-user application data, 7 templates, 9 pictures. Others
/// have no meaning here and give the empty text. No trailing "/".
std::string GetSpecialFolder(int kind);
/// A folder for temporary files that exists; ends with "/". Throws TError.
std::string GetTempDir();

/// True when the user may not write the file (the owner lacks write permission).
bool IsReadOnly(const std::string& path);
/// Gives the owner write permission.
void ClearReadOnly(const std::string& path);
