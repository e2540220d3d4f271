#include "model/SettingsFile.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "core/StringController.h"
#include "core/TextEncoding.h"
#include "core/UserPrompt.h"
#include "i18n/gnugettext.h"

namespace fs = std::filesystem;

namespace {
bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// Why path is a link whose file cannot be reached, or "" when it is none.
std::string BrokenLink(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return "";
    if (stat(path.c_str(), &st) == 0) return "";
    return SystemErrorText(errno);
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
    // named on the command line, so taken from the working folder
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) absolute = path;
    TSettingsFile file(absolute.parent_path().string(), "");
    file.individual_ = false;
    file.givenFile_ = absolute.string();
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
    brokenLink_ = false;
    // a link to nothing would be replaced by a plain file at exit: say so now, once
    const std::string target = SavePath();
    if (const std::string reason = BrokenLink(target); !reason.empty()) {
        brokenLink_ = true;
        std::error_code ec;
        prompt.ShowError(FillPlaceholders(
            TranslateOrKeep(N_("The settings file %1 is a link to %2, which cannot be opened: "
                               "%3. The settings will not be saved.")),
            {target, fs::read_symlink(target, ec).string(), reason}));
    }
    if (loadedPath_.empty()) return;
    try {
        store.loadFromFile(loadedPath_);
    } catch (const TError& e) {
        loadFailed_ = true;
        prompt.ShowError(FillPlaceholders(
            TranslateOrKeep(N_("The settings file could not be read completely:\n%1\n\n%2")),
            {loadedPath_, ShowSeparators(e.what())}));
    }
}

bool TSettingsFile::Save(const TStorageTank& store, IUserPrompt& prompt, std::string& status) {
    const std::string folder = SaveFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        prompt.ShowMessage(FillPlaceholders(Translate("Unable to create \"%1\""), {folder}));
        status = Translate("Error saving settings");
        return false;
    }
    const std::string target = SavePath();
    if (brokenLink_ && !BrokenLink(target).empty()) {
        status = Translate("Error saving settings"); // told at start already
        return false;
    }
    try {
        // the unreadable original is the user's only copy of what could not be read
        if (loadFailed_ && loadedPath_ == target) {
            fs::copy_file(target, target + ".bak", fs::copy_options::overwrite_existing, ec);
            if (ec)
                throw TError(FillPlaceholders(Translate("Cannot keep \"%1\". %2"),
                                              {target + ".bak", ec.message()}));
        }
        store.saveToFile(target);
    } catch (const TError& e) {
        prompt.ShowMessage(e.what());
        status = Translate("Error saving settings");
        return false;
    }
    return true;
}

std::string TSettingsFile::StateFolder() const {
    if (!individual_) return programDir_;
    // the per-user state folder, as the per-user settings folder is found
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::string(state) + "/trimvale";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.local/state/trimvale";
    return {};
}
