#pragma once
// The display options store: one-byte files in the settings folder
// "<common application data>\Kestrova", read by the thumbnail provider and
// written by the settings program.
#include <cstddef>

enum class DisplayOption { ShowAxis, ShowComment, ShowType };

// Name of the option's file: "Vantrel_ShowAxis.txt" and so on.
const char* DisplayOptionFileName(DisplayOption option);

// The common application-data folder (no trailing backslash) as a narrow
// path. False when the shell gives none or it does not fit `size`.
bool GetCommonDataFolder(char* path, size_t size);

// "<common application data>\Kestrova\<fileName>" into `path`. False when
// the folder is not obtainable or the path would not fit `size` (a path is
// never truncated into another file's name).
bool GetSettingsFilePath(const char* fileName, char* path, size_t size);

// Creates the settings folder when it is missing. True when it exists after.
bool EnsureSettingsFolder();

// On exactly when the file exists and its first byte is "1".
bool ReadDisplayOption(DisplayOption option);

// Writes the single byte "1" or "0", creating the settings folder when it is
// missing. True when the byte was written.
bool WriteDisplayOption(DisplayOption option, bool on);
