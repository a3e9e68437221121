// What the Windows package asks of the settings program: jobs run from the
// command line, without a window, whose exit code the package reads.
#pragma once
#include <string>

// Runs the job a switch names and stores its exit code: 0 for success, 1 for
// failure. False when the command line names no job, so the program shows
// its dialog as usual. The jobs:
//   /prepare-settings                      PrepareSettingsForPackage
//   /remove-thumbnail-types [PRODUCTCODE]  RemoveAllThumbnailTypes, unless
//       another installed version of the product than PRODUCTCODE (the one
//       being removed) remains: during an upgrade the newer version keeps
//       serving the user's types.
bool RunPackageSwitch(const wchar_t* commandLine, int& exitCode);

// Creates the settings folder and each list file that is missing. A new
// thumbnail list names the type the package associates, so the dialog shows
// it and can remove it. Existing files are left exactly as they are. True
// when both lists exist afterwards.
bool PrepareSettingsForPackage();

// Removes every type of the thumbnail list: its thumbnail-handler key and its
// entry, so no extension is left pointing at a removed provider. The preview
// list belongs to the separately installed handler and stays. True when
// every listed type went.
bool RemoveAllThumbnailTypes();

// True when a product of the package's upgrade code other than
// `productCode` is installed.
bool OtherProductVersionInstalled(const std::wstring& productCode);
