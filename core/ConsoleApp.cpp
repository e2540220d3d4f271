#include "ConsoleApp.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Error.h"

extern char** environ;

namespace {
constexpr std::size_t kMaxLine = 256;
constexpr int kWaitMilliseconds = 5000;

std::string UpperExtension(const std::string& program) {
    const std::size_t slash = program.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = program.find_last_of('.');
    if (dot == std::string::npos || dot < start) return "";
    std::string ext = program.substr(dot);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return ext;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

TError SystemError(const std::string& what, int code) {
    return TError("ConsoleApp: " + what + " (" + std::to_string(code) + ": " + std::strerror(code) +
                  ")");
}

/// Owns a file descriptor, so that every exit path closes it.
struct TFd {
    int fd = -1;
    ~TFd() { Close(); }
    void Close() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

/// Assembles printed bytes into the caller's line list.
class TLineAssembler {
public:
    TLineAssembler(std::vector<std::string>& lines, const TLineCallback& onLine)
        : lines_(lines), onLine_(onLine) {}

    void Feed(char c) {
        if (c == '\n') {
            if (!afterCr_) Emit();
            newLine_ = true;
        } else if (c == '\r') {
            Emit(); // leaves the flag clear: the text that follows replaces this line
        } else {
            buffer_ += c;
            if (buffer_.size() >= kMaxLine) {
                newLine_ = true;
                Emit();
                newLine_ = true;
            }
        }
        afterCr_ = c == '\r';
    }

    void Finish() {
        if (!buffer_.empty()) Emit();
    }

private:
    void Emit() {
        if (newLine_ || lines_.empty())
            lines_.push_back(buffer_);
        else
            lines_.back() = buffer_;
        newLine_ = false;
        buffer_.clear();
        if (onLine_) onLine_(lines_);
    }

    std::vector<std::string>& lines_;
    const TLineCallback& onLine_;
    std::string buffer_;
    bool newLine_ = true;
    bool afterCr_ = false;
};

// A process left running is collected by a thread of its own when it ends, so
// that no zombie stays behind however many are left.
void ReapWhenEnded(pid_t pid) {
    try {
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // no thread to spare: this one stays a zombie until the program ends
    }
}

// Polls for the end of the process; a process still running is left to run.
uint32_t WaitForExit(pid_t pid) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMilliseconds);
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFEXITED(status)) return static_cast<uint32_t>(WEXITSTATUS(status));
            if (WIFSIGNALED(status)) return 128u + static_cast<uint32_t>(WTERMSIG(status));
            return 1;
        }
        if (r < 0 && errno != EINTR) return 1;
        if (std::chrono::steady_clock::now() >= deadline) {
            ReapWhenEnded(pid);
            return kStillRunning;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
} // namespace

std::string FindExecutable(const std::string& name) {
    if (name.empty()) return "";
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : "";
    const char* env = std::getenv("PATH");
    const std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = path.find(':', start);
        std::string dir =
            path.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (dir.empty()) dir = "."; // an empty entry means the working folder
        std::string candidate = std::move(dir);
        candidate += '/';
        candidate += name;
        if (IsExecutableFile(candidate)) return candidate;
        if (colon == std::string::npos) return "";
        start = colon + 1;
    }
}

uint32_t ExecuteConsoleApp(const std::string& program, const std::vector<std::string>& arguments,
                           std::vector<std::string>& lines, const TLineCallback& onLine) {
    const std::string ext = UpperExtension(program);
    std::string path = program;
    if (ext != ".BAT" && ext != ".CMD") {
        if (!ext.empty() && ext != ".EXE" && ext != ".COM")
            throw TError(program + " has invalid file extension");
        path = FindExecutable(program);
        if (path.empty()) throw TError("Could not find file " + program);
    }

    TFd readEnd, writeEnd;
    int fds[2];
    // both ends close on exec; the child gets the write end only as its stdout
    if (pipe2(fds, O_CLOEXEC) != 0) throw SystemError("Unable to create pipe", errno);
    readEnd.fd = fds[0];
    writeEnd.fd = fds[1];

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw SystemError("Unable to start " + program, rc);
    writeEnd.Close(); // reading ends when the process closes its copy

    TLineAssembler assembler(lines, onLine);
    char chunk[3];
    for (;;) {
        const ssize_t n = read(readEnd.fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i)
            assembler.Feed(chunk[i]);
    }
    const uint32_t code = WaitForExit(pid);
    assembler.Finish();
    return code;
}

bool RunConsoleApp(const std::string& program, const std::vector<std::string>& arguments) {
    try {
        std::vector<std::string> lines;
        return ExecuteConsoleApp(program, arguments, lines) == 0;
    } catch (const std::exception&) {
        return false;
    }
}
