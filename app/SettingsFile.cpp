#include "SettingsFile.h"

#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "Error.h"
#include "FilesystemController.h"
#include "StorageTank.h"
#include "TextEncoding.h"
#include "UserPrompt.h"
#include "gnugettext.h"

namespace fs = std::filesystem;

namespace {
bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}
} // namespace

bool TSettingsFile::InstalledProgramDir(const std::string& programDir) {
    // an installed copy cannot write beside itself, and where it can (run by
    // root), a file there would belong to no package
    return fs::path(programDir).filename() == "bin" || ::access(programDir.c_str(), W_OK) != 0;
}

TSettingsFile::TSettingsFile(std::string programDir, std::string userConfigDir)
    : programDir_(std::move(programDir)), userConfigDir_(std::move(userConfigDir)) {
    // an installed copy keeps per-user settings, even when no per-user folder
    // is known: then it saves nothing rather than beside itself
    individual_ =
        Exists(programDir_ + "/UseIndividualSettings.txt") || InstalledProgramDir(programDir_);
}

TSettingsFile TSettingsFile::ForProgram() {
    return TSettingsFile(ProgramDir(), GetSpecialFolder(5));
}

TSettingsFile TSettingsFile::ForFile(const std::string& path) {
    TSettingsFile file(fs::path(path).parent_path().string(), "");
    file.individual_ = false;
    file.givenFile_ = path;
    return file;
}

std::string TSettingsFile::LoadPath() const {
    if (!givenFile_.empty()) return Exists(givenFile_) ? givenFile_ : std::string();
    if (individual_ && !userConfigDir_.empty() && Exists(SavePath())) return SavePath();
    const std::string older = programDir_ + "/Settings.ini";
    const std::string current = programDir_ + "/Trimvale.ini";
    if (Exists(older) && !Exists(current)) return older;
    return Exists(current) ? current : std::string();
}

std::string TSettingsFile::SavePath() const {
    return givenFile_.empty() ? SaveFolder() + "/Trimvale.ini" : givenFile_;
}

std::string TSettingsFile::SaveFolder() const {
    if (!individual_) return programDir_;
    return userConfigDir_.empty() ? std::string() : userConfigDir_ + "/Trimvale";
}

void TSettingsFile::Load(TStorageTank& store, IUserPrompt& prompt) {
    loadedPath_ = LoadPath();
    loadFailed_ = false;
    if (loadedPath_.empty()) return;
    try {
        store.loadFromFile(loadedPath_);
    } catch (const TError& e) {
        loadFailed_ = true;
        std::string intro = N_("The settings file could not be read completely");
        try {
            intro = Translate(intro);
        } catch (const TError&) {
            // an unusable catalogue is reported once the language is chosen
        }
        prompt.ShowError(intro + ":\r\n" + loadedPath_ + "\r\n\r\n" + ShowSeparators(e.what()));
    }
}

bool TSettingsFile::Save(const TStorageTank& store, IUserPrompt& prompt, std::string& status) {
    const std::string folder = SaveFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        prompt.ShowMessage(Translate("Unable to create") + " \"" + folder + "\"");
        status = Translate("Error saving settings");
        return false;
    }
    const std::string target = SavePath();
    try {
        // the unreadable original is the user's only copy of what could not be read
        if (loadFailed_ && loadedPath_ == target) {
            fs::copy_file(target, target + ".bak", fs::copy_options::overwrite_existing, ec);
            if (ec)
                throw TError(Translate("Cannot keep") + " \"" + target + ".bak\". " + ec.message());
        }
        store.saveToFile(target);
    } catch (const TError& e) {
        prompt.ShowMessage(e.what());
        status = Translate("Error saving settings");
        return false;
    }
    return true;
}
