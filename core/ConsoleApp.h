#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// How long a program may run and when it is given up on.
struct TProcessLimits {
    /// Counted from the start; zero: no limit.
    std::chrono::milliseconds Timeout{0};
    /// Polled while the program runs; once true the program is ended.
    const std::atomic<bool>* Stop = nullptr;
    /// Standard output beyond this many bytes is read and dropped.
    std::size_t OutputLimit = std::size_t(1) << 20;
};

/// What became of one program run. A program given up on (time limit, stop)
/// is ended by SIGTERM, after a short grace by SIGKILL, and always reaped.
struct TProcessResult {
    int ExitCode = -1;     ///< its exit status when it exited by itself, else -1
    int Signal = 0;        ///< the signal that ended it, 0 when it exited
    bool TimedOut = false; ///< ended because it outran the time limit
    bool Stopped = false;  ///< ended because the caller asked to stop
    std::string Output;    ///< standard output, the first OutputLimit bytes
    std::string Errors;    ///< the last kErrorTail bytes of standard error

    /// Exited by itself with status 0.
    bool Ok() const { return ExitCode == 0 && Signal == 0 && !TimedOut && !Stopped; }
};

/// The most of a program's standard error that is kept: its last words.
constexpr std::size_t kErrorTail = 4096;

/// Runs a console program without a shell: program plus argument vector,
/// standard input on /dev/null, standard output and error captured. The
/// program runs in a process group of its own, so that whatever it starts
/// ends with it. Throws TError for an invalid extension ("%s has invalid file
/// extension"), a program not found ("Could not find file %s"), or a failure
/// to create the pipes or start the process.
TProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const TProcessLimits& limits = {});

/// Runs a program without limits and appends its standard output to lines
/// (LF ends a line, a CR before it is dropped). Returns its exit code, or
/// 128 + the signal that ended it. Throws like RunProgram.
uint32_t ExecuteConsoleApp(const std::string& program, const std::vector<std::string>& arguments,
                           std::vector<std::string>& lines);

/// True when the program ran and exited with code 0; every failure gives false.
bool RunConsoleApp(const std::string& program, const std::vector<std::string>& arguments);

/// The full path of an executable: a name holding "/" is taken as it is,
/// any other name is searched in PATH. Empty when there is none.
std::string FindExecutable(const std::string& name);
