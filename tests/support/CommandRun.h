#pragma once

// What the command-line tests run and the settings files they give it.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempDir.h"

/// A finished command: its exit status and the lines it printed.
struct TRun {
    uint32_t Code;
    std::vector<std::string> Lines;
};

/// A command-line test's surroundings: no display of any kind (a window would end
/// the program at once), English texts, photos in "in", outputs in "out" and the
/// settings file beside them.
class TCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            unsetenv(name);
        setenv("LANG", "C", 1);
        std::filesystem::create_directories(dir.file("in"));
        settings = dir.file("Trimvale.ini");
    }
    std::string in(const std::string& name) const { return dir.file("in/" + name); }
    std::string out(const std::string& name = "") const {
        return dir.file("out") + (name.empty() ? "" : "/" + name);
    }

    TTempDir dir;
    std::string settings;
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
