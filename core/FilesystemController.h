#pragma once

#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

/// File-system helpers. Paths are UTF-8 with "/" separators.

/// A folder or entry that a listing could not look at, with the system's reason.
struct TListFault {
    std::string Path;
    std::string Reason;
};

/// Regular files of folder (links to them included) matching one of the masks
/// ("*" and "?", letter case ignored), in the order the file system returns
/// them, as folder + "/" + name. Folders, FIFOs, sockets and devices are left
/// out: reading one would fail or wait for ever. With recursive, breadth-first
/// through the subfolders; hidden (dot) folders and links to folders are not
/// entered. A folder that cannot be read and an entry that cannot be looked
/// at (a dangling link, a path over the system's limit) go to faults when given.
std::vector<std::string> ListMatchingFiles(const std::string& folder,
                                           const std::vector<std::string>& masks, bool recursive,
                                           std::vector<TListFault>* faults = nullptr);
/// ListMatchingFiles with one mask, in this folder only.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& mask);
/// ListMatchingFiles with one mask, through the subfolders.
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

/// Opens a file for reading without ever waiting: only a regular file (or a
/// link to one) is opened, a FIFO, socket, device or folder is refused at once.
/// Returns the descriptor (close-on-exec), or -1 with reason set to the
/// system's text or "Not a regular file".
int OpenRegularFile(const std::string& path, std::string& reason);
/// Reads the whole of a regular file (opened as OpenRegularFile does) into bytes;
/// mode, when given, receives its permission bits. False with reason set to the
/// system's text when it cannot be opened or read.
bool ReadRegularFile(const std::string& path, std::string& bytes, std::string& reason,
                     mode_t* mode = nullptr);
/// The system's text for an errno value; safe from several threads at once.
std::string SystemErrorText(int error);

/// True when the user may not write the file (the owner lacks write permission).
bool IsReadOnly(const std::string& path);
/// What tells one file from another: its device and inode, through links.
using TFileId = std::pair<dev_t, ino_t>;
/// The id of the file path names; false when it cannot be reached.
bool FileIdOf(const std::string& path, TFileId& id);
/// Gives the owner write permission.
void ClearReadOnly(const std::string& path);
