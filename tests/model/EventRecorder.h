#pragma once

#include <string>
#include <vector>

#include "EventLog.h"

using TEventRecorder = TEventLog;

/// One line of the settings text, written with "|" for the separator byte.
inline std::string StoredLine(std::string line) {
    for (char& c : line)
        if (c == '|') c = '\xA4';
    return line + "\r\n";
}
