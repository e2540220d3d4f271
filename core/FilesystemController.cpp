#include "core/FilesystemController.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/TextEncoding.h"

namespace {
std::string WithSlash(const std::string& folder) {
    return folder.back() == '/' ? folder : folder + "/";
}

bool MatchFrom(const std::u32string& name, std::size_t n, const std::u32string& mask,
               std::size_t m) {
    while (m < mask.size()) {
        if (mask[m] == U'*') {
            while (m < mask.size() && mask[m] == U'*')
                ++m;
            if (m == mask.size()) return true;
            for (std::size_t k = n; k <= name.size(); ++k)
                if (MatchFrom(name, k, mask, m)) return true;
            return false;
        }
        if (n >= name.size()) return false;
        if (mask[m] != U'?' && mask[m] != name[n]) return false;
        ++m;
        ++n;
    }
    return n == name.size();
}

// Characters rather than bytes, so that "?" stands for one letter such as "ä".
std::u32string CodePoints(const std::string& text) {
    std::u32string out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t len;
        out += DecodeUtf8(text, i, &len);
        i += len ? len : 1;
    }
    return out;
}

// Reads the entries of one folder with their kinds; "." and ".." are left
// out. A folder that cannot be opened or read to its end is a fault.
template <typename F>
void ForEachEntry(const std::string& folder, std::vector<TListFault>* faults, F&& f) {
    const auto fault = [&](int error) {
        const bool slash = folder.size() > 1 && folder.back() == '/';
        if (faults)
            faults->push_back(
                {slash ? folder.substr(0, folder.size() - 1) : folder, SystemErrorText(error)});
    };
    DIR* dir = opendir(folder.c_str());
    if (!dir) return fault(errno);
    for (;;) {
        errno = 0;
        const dirent* e = readdir(dir);
        if (!e) {
            if (errno) fault(errno);
            break;
        }
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        f(name, e->d_type);
    }
    closedir(dir);
}

bool MatchesAny(const std::string& name, const std::vector<std::string>& masks) {
    for (const std::string& mask : masks)
        if (MatchesMask(name, mask)) return true;
    return false;
}

// A link is followed to what it names; what cannot be looked at is a fault.
bool IsRegularEntry(const std::string& path, unsigned char type, std::vector<TListFault>* faults) {
    if (type == DT_REG) return true;
    if (type != DT_LNK && type != DT_UNKNOWN) return false;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISREG(st.st_mode);
    if (faults) faults->push_back({path, SystemErrorText(errno)});
    return false;
}

// A folder to enter: links are not followed, so no loops.
bool IsFolderEntry(const std::string& path, unsigned char type, std::vector<TListFault>* faults) {
    if (type == DT_DIR) return true;
    if (type != DT_UNKNOWN) return false;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (faults) faults->push_back({path, SystemErrorText(errno)});
    return false;
}
} // namespace

std::string SystemErrorText(int error) {
    return std::generic_category().message(error);
}

bool MatchesMask(const std::string& name, const std::string& mask) {
    return MatchFrom(CodePoints(LowerCase(name)), 0, CodePoints(LowerCase(mask)), 0);
}

std::vector<std::string> ListMatchingFiles(const std::string& folder,
                                           const std::vector<std::string>& masks, bool recursive,
                                           std::vector<TListFault>* faults) {
    std::vector<std::string> result;
    if (folder.empty()) return result;
    std::deque<std::string> queue{WithSlash(folder)};
    while (!queue.empty()) {
        const std::string d = queue.front();
        queue.pop_front();
        ForEachEntry(d, faults, [&](const std::string& name, unsigned char type) {
            const std::string path = d + name;
            if (MatchesAny(name, masks) && IsRegularEntry(path, type, faults))
                result.push_back(path);
            // hidden folders are not entered
            if (recursive && name[0] != '.' && IsFolderEntry(path, type, faults))
                queue.push_back(path + "/");
        });
    }
    return result;
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& mask) {
    return ListMatchingFiles(folder, {mask}, false);
}

std::vector<std::string> ListFilesRecursive(const std::string& folder, const std::string& mask) {
    return ListMatchingFiles(folder, {mask}, true);
}

std::string ProgramDir() {
    char buf[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return ".";
    std::string exe(buf, static_cast<std::size_t>(n));
    const std::size_t slash = exe.rfind('/');
    return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string ProgramPath(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    const std::string dir = ProgramDir();
    return dir == "/" ? "/" + name : dir + "/" + name;
}

void CopyFileTimes(const std::string& source, const std::string& destination) {
    struct stat st;
    if (stat(source.c_str(), &st) != 0) return;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, destination.c_str(), times, 0);
}

void CopyFileAttributes(const std::string& source, const std::string& destination) {
    struct stat st;
    if (stat(source.c_str(), &st) != 0) return;
    chmod(destination.c_str(), st.st_mode & 07777);
}

int OpenRegularFile(const std::string& path, std::string& reason) {
    // O_NONBLOCK: opening a FIFO without a writer would wait for one
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        reason = SystemErrorText(errno);
        return -1;
    }
    struct stat st;
    const int error = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    if (error || !S_ISREG(st.st_mode)) {
        reason = error ? SystemErrorText(error) : "Not a regular file";
        ::close(fd);
        return -1;
    }
    // reads of a regular file never wait anyway; clear the flag for plain stdio
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool ReadRegularFile(const std::string& path, std::string& bytes, std::string& reason,
                     mode_t* mode) {
    const int fd = OpenRegularFile(path, reason);
    if (fd < 0) return false;
    struct stat st;
    if (mode && fstat(fd, &st) == 0) *mode = st.st_mode & 07777;
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            reason = SystemErrorText(errno);
            ::close(fd);
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool FileIdOf(const std::string& path, TFileId& id) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

bool IsReadOnly(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

void ClearReadOnly(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
}

namespace {
std::string HomeDir() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    // cron, `env -i` and services may start us without HOME; the user
    // database still knows the folder
    passwd entry{};
    passwd* user = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &user) == 0 && user &&
        user->pw_dir && *user->pw_dir == '/')
        return user->pw_dir;
    return "";
}

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') return xdg;
    const std::string home = HomeDir();
    return home.empty() ? "" : home + "/.config";
}

// A folder from ~/.config/user-dirs.dirs (XDG_PICTURES_DIR="$HOME/Pictures").
std::string UserDir(const std::string& key, const std::string& fallback) {
    const std::string home = HomeDir();
    std::ifstream in(ConfigHome() + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        while (value.size() > 1 && value.back() == '/')
            value.pop_back();
        if (!value.empty() && value[0] == '/') return value;
    }
    return home.empty() || fallback.empty() ? "" : home + "/" + fallback;
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string GetSpecialFolder(int kind) {
    switch (kind) {
    case 3:
    case 8:
        return UserDir("XDG_DESKTOP_DIR", "Desktop");
    case 4:
        return UserDir("XDG_DOCUMENTS_DIR", "Documents");
    case 5:
        return ConfigHome();
    case 7:
        return UserDir("XDG_TEMPLATES_DIR", "Templates");
    case 9:
        return UserDir("XDG_PICTURES_DIR", "Pictures");
    default:
        return "";
    }
}

std::string GetTempDir() {
    std::vector<std::string> candidates;
    if (const char* t = std::getenv("TMPDIR"); t && *t) candidates.push_back(t);
    candidates.push_back("/tmp");
    candidates.push_back("/var/tmp");
    int lastError = ENOENT;
    for (std::string c : candidates) {
        while (c.size() > 1 && c.back() == '/')
            c.pop_back();
        if (IsFolder(c) || mkdir(c.c_str(), 0700) == 0) return c == "/" ? c : c + "/";
        lastError = errno;
    }
    throw TError(std::strerror(lastError));
}
