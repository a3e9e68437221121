#pragma once
// The overlay switches of the desktop: the same one-byte option files as on
// Windows ("1" as the first byte means on), kept in the user's configuration
// folder, $XDG_CONFIG_HOME/Kestrova or else ~/.config/Kestrova.
#include <string>

#include "ProductFacts.h"
#include "ThumbnailComposition.h"

constexpr const char* SHOW_AXIS_FILE = VANTREL_SHOW_AXIS_FILE;
constexpr const char* SHOW_COMMENT_FILE = VANTREL_SHOW_COMMENT_FILE;
constexpr const char* SHOW_TYPE_FILE = VANTREL_SHOW_TYPE_FILE;

// The folder of the option files; empty when no home folder is known.
std::string OptionFolder();

// On exactly when the file exists and its first byte is "1".
bool ReadOptionFile(const std::string& folder, const char* fileName);

// The three overlays as the option files set them, at the given size.
ThumbnailOptions ReadOverlayOptions(int size);
