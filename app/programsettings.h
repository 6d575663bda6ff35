// Loading the program's settings at start.
#pragma once

#include "app/settings.h"

// Loads the record from the storage (a storage that cannot be opened leaves
// the defaults), then fills what a first start lacks: an empty TrackFolder
// becomes the documents folder, empty output and temporary folders become
// "output/" and "tmp/" under <documents>/Brontix/RAD Ozizedori, and an output
// format the program does not know (anything but 1 to 7) becomes 1 (EPUB).
// The output and temporary folders are created. False when the storage could
// not be opened.
bool LoadProgramSettings(CFSMSettings& settings, Karvell::CSettingsStorage& storage);

// The message shown once when saving the settings at the end fails.
inline constexpr const char* kSaveSettingsError = "Save project settings error!";
