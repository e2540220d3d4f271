#pragma once

#include <iosfwd>
#include <string>
#include <vector>

struct TBatchOptions;
struct TCropQuestion;

/// Crops what the options name, one report line per photo on out, in the
/// order named; err gets warnings and, when progress is set, a progress line.
/// Returns 0 when every photo was written or skipped as asked, else 1.
/// questions, when given, gets the questions of the crop plan with the
/// answers the options gave.
int RunBatch(const TBatchOptions& options, std::ostream& out, std::ostream& err, bool progress,
             std::vector<TCropQuestion>* questions = nullptr);

/// The whole command line without the program's name: help, version or a
/// run. Returns the exit code; 2 for a command line that cannot be followed.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   bool progress);
