#include "jobs/SharedSettings.h"

#include <filesystem>

#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "model/CropAspects.h"
#include "model/DestinationNaming.h"
#include "model/Options.h"
#include "model/SettingsFile.h"

namespace fs = std::filesystem;

void LoadAspectRegistry(const TStorageTank& settings, TCropAspects& registry) {
    if (const TStorageTank* aspects = settings.getTank("Aspects"))
        registry.LoadFromTank(*aspects);
    else if (settings.indexOf(Options::CropAspects.key) < 0)
        registry.LoadDefaults();
    else
        registry.ImportLegacy(Get(settings, Options::CropAspects),
                              Get(settings, Options::DefaultAspect), Get(settings, Options::Units));
}

std::string CroppedDir(const TStorageTank& settings) {
    const std::string pictures = GetSpecialFolder(9);
    std::string base = pictures.empty() ? ProgramDir() : fs::path(pictures).parent_path().string();
    // without any home folder an installed program writes where it was started
    std::error_code ec;
    if (pictures.empty() && TSettingsFile::InstalledProgramDir(base))
        base = fs::current_path(ec).string();
    const std::string cropped = (base == "/" ? std::string() : base) + "/Cropped";
    return Get(settings, Options::CroppedDir, cropped);
}

std::string NewDestinationName(const std::string& source, const TStorageTank& settings,
                               bool posixNames) {
    std::string name = LastComponent(source, posixNames);
    if (Get(settings, Options::SafeNames)) name = MakeSafeFileName(name);
    if (Get(settings, Options::TransformFilename))
        name = ApplyNameTemplate(name, Get(settings, Options::TransformTemplate));
    return name;
}

TCropOptions CropOptionsFrom(const TStorageTank& settings) {
    TCropOptions options;
    options.CopyMetadats = Get(settings, Options::CopyMetadats);
    options.HuffmanOptimize = Get(settings, Options::HuffmanOptimize);
    options.AutoRotateToLandscapeAfterCrop = Get(settings, Options::AutoRotateToLandscapeAfterCrop);
    options.UpdatePPI = Get(settings, Options::UpdatePPI);
    options.CopyFileDates = Get(settings, Options::CopyFileDates);
    options.CopyFilepermissions = Get(settings, Options::CopyFilepermissions);
    const int32_t timeout = Get(settings, Options::TransformerTimeout);
    // a value no dialog gives (0, negative) must not mean "wait for ever"
    options.TransformerTimeout = timeout > 0 ? timeout : Options::TransformerTimeout.def;
    return options;
}
