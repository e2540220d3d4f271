#pragma once

#include <cstdint>
#include <string>

class TStorageTank;

/// The settings keys of the main settings store with their types and
/// defaults. Every reader and the settings dialog use these, so a key and its
/// default cannot drift apart.
struct TBoolOption {
    const char* key;
    bool def;
};
struct TIntOption {
    const char* key;
    int32_t def;
};
struct TTextOption {
    const char* key;
    const char* def; // nullptr: no fixed default, the caller supplies one
};

namespace Options {
// named after the settings keys they hold
// NOLINTBEGIN(readability-identifier-naming)
// edited in the settings dialog
inline constexpr TBoolOption AutoRotateCrop{"AutoRotateCrop", true};
inline constexpr TBoolOption ShowCropsize3{"ShowCropsize3", true};
inline constexpr TBoolOption EnterCropsCurrentImage{"EnterCropsCurrentImage", true};
inline constexpr TIntOption CropAreaLook{"CropAreaLook", 4};
inline constexpr TBoolOption CopyMetadats{"CopyMetadats", true};
inline constexpr TBoolOption CopyFileDates{"CopyFileDates", false};
inline constexpr TBoolOption CopyFilepermissions{"CopyFilepermissions", false};
inline constexpr TBoolOption AutoRotateToLandscapeAfterCrop{"AutoRotateToLandscapeAfterCrop",
                                                            false};
inline constexpr TBoolOption HuffmanOptimize{"HuffmanOptimize", true};
inline constexpr TBoolOption UpdatePPI{"UpdatePPI", true};
inline constexpr TIntOption TransformerTimeout{"TransformerTimeout", 120}; // seconds per call
inline constexpr TIntOption HugeHeight{"HugeHeight", 800};
inline constexpr TBoolOption SafeNames{"SafeNames", true};
inline constexpr TBoolOption PreviewImages{"PreviewImages", false};
inline constexpr TBoolOption HonourOrientation{"HonourOrientation", true};
// the first crop area of a new photo slides to keep the faces found in it whole
inline constexpr TBoolOption KeepFaces{"KeepFaces", true};
inline constexpr TBoolOption TransformFilename{"TransformFilename", false};
inline constexpr TTextOption TransformTemplate{"TransformTemplate", "%N_Crop"};
inline constexpr TTextOption ExistingFile{"ExistingFile", "Warn"};
inline constexpr TTextOption Language{"Language", nullptr}; // default: the language in use
// the lab's view: prints below this many pixels per inch are listed
inline constexpr TIntOption LowResolutionPPI{"LowResolutionPPI", 150};
// each size goes into a subfolder of the destination named after its aspect
inline constexpr TBoolOption SizeSubfolders{"SizeSubfolders", false};

// kept by the main window
inline constexpr TBoolOption Debug{"Debug", false};
inline constexpr TIntOption ImageSize{"ImageSize", 350};
// megabytes of decoded thumbnails kept for photos scrolled away
inline constexpr TIntOption ThumbnailMemory{"ThumbnailMemory", 256};
inline constexpr TTextOption CroppedDir{"CroppedDir", nullptr}; // default: beside the pictures
inline constexpr TIntOption MaxColumns{"MaxColumns", 0};
inline constexpr TTextOption Details{"Details", "Full"};
inline constexpr TTextOption ProgramVersion{"ProgramVersion", ""};
inline constexpr TTextOption ImageDir{"ImageDir", ""};

// the older aspect list, imported when no "Aspects" store exists
inline constexpr TTextOption CropAspects{"CropAspects", "15:10:Photo"};
inline constexpr TIntOption DefaultAspect{"DefaultAspect", 0};
inline constexpr TTextOption Units{"Units", "Centimeters"};
// NOLINTEND(readability-identifier-naming)
} // namespace Options

bool Get(const TStorageTank& store, const TBoolOption& option);
int32_t Get(const TStorageTank& store, const TIntOption& option);
/// For options without a fixed default, fallback stands in for it.
std::string Get(const TStorageTank& store, const TTextOption& option,
                const std::string& fallback = std::string());

void Set(TStorageTank& store, const TBoolOption& option, bool value);
void Set(TStorageTank& store, const TIntOption& option, int32_t value);
void Set(TStorageTank& store, const TTextOption& option, const std::string& value);
