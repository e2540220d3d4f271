#pragma once

// What the command-line tests run and the settings files they give it.
#include <cstdint>
#include <string>
#include <vector>

/// A finished command: its exit status and the lines it printed.
struct TRun {
    uint32_t Code;
    std::vector<std::string> Lines;
};

/// The settings file's text: a store named "Settings" holding the given
/// element lines (each ending in CR LF), in the "StorageTank" format.
inline std::string SettingsText(const std::string& elements) {
    const std::string sep = "\xA4";
    return "StorageTank" + sep + "Settings" + sep + "\r\n" + elements + "StorageTankEnd" + sep +
           "\r\n";
}

/// One Boolean element line of a settings file.
inline std::string BooleanLine(const std::string& key, bool value) {
    const std::string sep = "\xA4";
    return "Boolean" + sep + key + sep + (value ? "True" : "False") + "\r\n";
}
