#pragma once

#include <string>

#include "jobs/CropJob.h"

class TCropAspects;
class TStorageTank;

/// Readings of the settings that the window and the command line share, so
/// that a photo is cropped alike whichever of them is used.

/// Fills the registry from the settings: the stored "Aspects", else the
/// built-in defaults when there is no older "CropAspects" either, else that
/// older form.
void LoadAspectRegistry(const TStorageTank& settings, TCropAspects& registry);

/// The destination folder: "CroppedDir", by default "Cropped" beside the
/// user's pictures folder (beside the program when that is unknown).
std::string CroppedDir(const TStorageTank& settings);

/// The destination name of a newly added photo: its file name, made safe and
/// rewritten by the template as "SafeNames", "TransformFilename" and
/// "TransformTemplate" ask.
std::string NewDestinationName(const std::string& source, const TStorageTank& settings,
                               bool posixNames = false);

/// The options of every crop as the settings ask for them.
TCropOptions CropOptionsFrom(const TStorageTank& settings);
