#pragma once

#include <string>

class IUserPrompt;
class TStorageTank;

/// Where Trimvale's settings file lives and how it is read and written.
///
/// "Trimvale.ini" lies beside the program, or, when "UseIndividualSettings.txt"
/// lies there, the program's folder cannot be written or the program is an
/// installed one (its folder is called "bin"), in the per-user folder under
/// "Trimvale"; an installed program never writes beside itself. An older "Settings.ini" is read
/// when no "Trimvale.ini" exists beside the program.
class TSettingsFile {
public:
    /// programDir without a trailing "/"; userConfigDir is the per-user
    /// application-data folder (empty when unknown).
    TSettingsFile(std::string programDir, std::string userConfigDir);
    /// The running program's folders.
    static TSettingsFile ForProgram();
    /// One given file, which is read and written instead of the usual one; a
    /// relative name is taken from the working folder.
    static TSettingsFile ForFile(const std::string& path);

    bool Individual() const { return individual_; }
    /// True for a program installed in a "bin" folder or in one it cannot write.
    static bool InstalledProgramDir(const std::string& programDir);
    /// The file Load reads, or "" when there is none yet.
    std::string LoadPath() const;
    /// The folder and the file that Save writes.
    std::string SaveFolder() const;
    std::string SavePath() const;

    /// The folder for what the program keeps between runs besides its settings (the
    /// open print order's autosave): beside the settings file when that lies beside
    /// the program or was named, else "$XDG_STATE_HOME/trimvale" (by default
    /// "~/.local/state/trimvale"); "" when unknown.
    std::string StateFolder() const;

    /// Reads the settings. A file that cannot be read is reported once; what was
    /// read before the fault stays and every other setting takes its default.
    /// A settings file that is a link to nothing is reported too, and Save then
    /// leaves it alone.
    void Load(TStorageTank& store, IUserPrompt& prompt);
    /// True when the last Load met a fault.
    bool LoadFailed() const { return loadFailed_; }

    /// Writes the settings; on failure tells the user, sets status to "Error
    /// saving settings" and returns false. The unreadable file of a failed Load
    /// is kept as "Trimvale.ini.bak" before it is overwritten. A linked file
    /// stays a link and the file it names gets the settings.
    bool Save(const TStorageTank& store, IUserPrompt& prompt, std::string& status);

private:
    std::string programDir_;
    std::string userConfigDir_;
    std::string givenFile_;
    bool individual_;
    bool loadFailed_ = false;
    bool brokenLink_ = false;
    std::string loadedPath_;
};
