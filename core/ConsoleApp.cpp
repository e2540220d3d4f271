#include "core/ConsoleApp.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/Error.h"

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// how often a running program is checked on for the stop flag and the limit
constexpr milliseconds kPollStep{50};
// what a program given up on gets to end by itself before SIGKILL
constexpr milliseconds kTermGrace{300};

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
    TFd() = default;
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() { Close(); }
    void Close() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

void MakePipe(TFd& readEnd, TFd& writeEnd) {
    int fds[2];
    // both ends close on exec; the child gets the write end only as a dup
    if (pipe2(fds, O_CLOEXEC) != 0) throw SystemError("Unable to create pipe", errno);
    readEnd.fd = fds[0];
    writeEnd.fd = fds[1];
    fcntl(readEnd.fd, F_SETFL, fcntl(readEnd.fd, F_GETFL) | O_NONBLOCK);
}

/// Reads what a pipe holds now into text, keeping the head or the tail as
/// asked. Closes the pipe at its end.
void Drain(TFd& pipe, std::string& text, std::size_t limit, bool keepTail) {
    char chunk[8192];
    while (pipe.fd >= 0) {
        const ssize_t n = read(pipe.fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        if (n <= 0) {
            pipe.Close();
            return;
        }
        if (keepTail) {
            text.append(chunk, std::size_t(n));
            // trimmed in steps, so that a chatty program costs no quadratic copying
            if (text.size() > 2 * limit) text.erase(0, text.size() - limit);
        } else if (text.size() < limit) {
            text.append(chunk, std::min(std::size_t(n), limit - text.size()));
        }
    }
}

void Record(TProcessResult& result, int status) {
    if (WIFEXITED(status))
        result.ExitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.Signal = WTERMSIG(status);
}

/// True once the process has ended; it stays a zombie (its id and group
/// reserved) until it is reaped.
bool HasEnded(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

int Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

/// Ends the program and all it started: SIGTERM to its group, SIGKILL to
/// what is left after the grace, then the program is reaped.
int EndGroup(pid_t pid) {
    kill(-pid, SIGTERM);
    const auto until = Clock::now() + kTermGrace;
    while (!HasEnded(pid) && Clock::now() < until)
        std::this_thread::sleep_for(milliseconds(5));
    // the group's leader is at most a zombie here, so its id names no other group
    kill(-pid, SIGKILL);
    return Reap(pid);
}

pid_t Spawn(const std::string& path, const std::vector<std::string>& arguments, int out, int err,
            const std::string& program) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (in < 0) throw SystemError("Unable to start " + program, errno);
    // vfork: the child borrows our memory until it execs, so a large program
    // with many threads starts jpegtran as cheaply as a shell does; the child
    // tells a failed exec through that shared memory
    volatile int failure = 0;
    const pid_t pid = vfork();
    if (pid == 0) {
        // only plain system calls from here on, as posix_spawn's child makes
        // a run killed outright (kill -9) takes its programs with it
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        // a group of its own: a time-out ends whatever the program started as well
        setpgid(0, 0);
        struct sigaction plain {};
        plain.sa_handler = SIG_DFL;
        for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGCHLD})
            sigaction(s, &plain, nullptr);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (dup2(in, 0) >= 0 && dup2(out, 1) >= 0 && dup2(err, 2) >= 0)
            execve(path.c_str(), argv.data(), environ);
        failure = errno;
        _exit(127);
    }
    const int error = pid < 0 ? errno : failure;
    close(in);
    if (pid > 0 && error != 0) Reap(pid);
    if (pid < 0 || error != 0) throw SystemError("Unable to start " + program, error);
    return pid;
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

TProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const TProcessLimits& limits) {
    const std::string ext = UpperExtension(program);
    std::string path = program;
    if (ext != ".BAT" && ext != ".CMD") {
        if (!ext.empty() && ext != ".EXE" && ext != ".COM")
            throw TError(program + " has invalid file extension");
        path = FindExecutable(program);
        if (path.empty()) throw TError("Could not find file " + program);
    }

    TFd outRead, outWrite, errRead, errWrite;
    MakePipe(outRead, outWrite);
    MakePipe(errRead, errWrite);
    const auto start = Clock::now();
    const pid_t pid = Spawn(path, arguments, outWrite.fd, errWrite.fd, program);
    outWrite.Close(); // reading ends when the program closes its copies
    errWrite.Close();
    // readable once the program has ended, where the kernel offers it
    TFd ended;
    ended.fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));

    TProcessResult result;
    for (;;) {
        int status = 0;
        const pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid) {
            Record(result, status);
            break;
        }
        if (w < 0 && errno == ECHILD) break; // reaped elsewhere (SIGCHLD ignored): no status
        const bool stop = limits.Stop && limits.Stop->load();
        const bool late = limits.Timeout.count() > 0 && Clock::now() - start >= limits.Timeout;
        if (stop || late) {
            result.Stopped = stop;
            result.TimedOut = !stop;
            Record(result, EndGroup(pid));
            result.ExitCode = -1; // its own word does not count after we ended it
            break;
        }
        milliseconds wait = kPollStep;
        if (limits.Timeout.count() > 0)
            wait = std::min(wait, std::chrono::duration_cast<milliseconds>(start + limits.Timeout -
                                                                           Clock::now()) +
                                      milliseconds(1));
        pollfd fds[3];
        nfds_t count = 0;
        for (const int fd : {outRead.fd, errRead.fd, ended.fd})
            if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
        // without pipes or a process handle, look again soon: it is about to end
        if (ended.fd < 0 && outRead.fd < 0 && errRead.fd < 0) wait = milliseconds(2);
        if (poll(fds, count, int(std::max<milliseconds::rep>(0, wait.count()))) < 0 &&
            errno != EINTR)
            std::this_thread::sleep_for(milliseconds(2));
        Drain(outRead, result.Output, limits.OutputLimit, false);
        Drain(errRead, result.Errors, kErrorTail, true);
    }
    // what it wrote before it ended is still in the pipes; a child of its own
    // that keeps them open is not waited for
    Drain(outRead, result.Output, limits.OutputLimit, false);
    Drain(errRead, result.Errors, kErrorTail, true);
    if (result.Errors.size() > kErrorTail)
        result.Errors.erase(0, result.Errors.size() - kErrorTail);
    return result;
}

uint32_t ExecuteConsoleApp(const std::string& program, const std::vector<std::string>& arguments,
                           std::vector<std::string>& lines) {
    const TProcessResult r = RunProgram(program, arguments);
    std::size_t begin = 0;
    while (begin < r.Output.size()) {
        std::size_t end = r.Output.find('\n', begin);
        if (end == std::string::npos) end = r.Output.size();
        std::string line = r.Output.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        begin = end + 1;
    }
    return r.Signal ? 128u + uint32_t(r.Signal) : uint32_t(r.ExitCode);
}

bool RunConsoleApp(const std::string& program, const std::vector<std::string>& arguments) {
    try {
        return RunProgram(program, arguments).Ok();
    } catch (const std::exception&) {
        return false;
    }
}
