#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// Receives the line list after every line the program printed.
using TLineCallback = std::function<void(const std::vector<std::string>&)>;

/// The exit code reported for a program still running after the wait.
constexpr uint32_t kStillRunning = 259;

/// Runs a console program without a shell: program plus argument vector,
/// standard input and error on /dev/null. Standard output is collected into
/// lines: LF ends a line, CR ends it so that the next text replaces it, and a
/// line reaching 256 characters is broken. Waits up to 5000 ms for the
/// process to end after its output closed and returns its exit code; a
/// process still running then is collected in the background when it ends.
/// Throws TError for an invalid extension, a program not found, or a failure
/// to create the pipe or start the process.
uint32_t ExecuteConsoleApp(const std::string& program, const std::vector<std::string>& arguments,
                           std::vector<std::string>& lines, const TLineCallback& onLine = {});

/// True when the program ran and exited with code 0; every failure gives false.
bool RunConsoleApp(const std::string& program, const std::vector<std::string>& arguments);

/// The full path of an executable: a name holding "/" is taken as it is,
/// any other name is searched in PATH. Empty when there is none.
std::string FindExecutable(const std::string& name);
