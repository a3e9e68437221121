// What the Windows package asks of the settings program: jobs run from the
// command line, without a window, whose exit code the package reads.
#pragma once
#include <string>

#include "TypeLists.h"

// Runs the job a switch names and stores its exit code: 0 for success, 1 for
// failure. False when the command line names no job, so the program shows
// its dialog as usual. The jobs:
//   /prepare-settings                      PrepareSettingsForPackage
//   /remove-thumbnail-types [PRODUCTCODE]  RemoveAllListedTypes(Thumbnail)
//   /remove-preview-types [PRODUCTCODE]    RemoveAllListedTypes(Preview)
// A removal does nothing while another installed version of the product
// than PRODUCTCODE (the one being removed) remains: during an upgrade the
// newer version keeps serving the user's types.
bool RunPackageSwitch(const wchar_t* commandLine, int& exitCode);

// Creates the settings folder and each list file that is missing. A new
// thumbnail list names the type the package associates, and so does a new
// preview list when the preview handler's module was installed beside this
// program (an administrator may leave it out), so the dialog shows the
// type and can remove it. Existing files are left exactly as they are.
// True when both lists exist afterwards.
bool PrepareSettingsForPackage();

// Removes every type of the list: its entry, and its handler key while that
// names our class, so no extension is left pointing at a removed handler.
// True when every listed type went.
bool RemoveAllListedTypes(TypeList list);

// True when a product of the package's upgrade code other than
// `productCode` is installed.
bool OtherProductVersionInstalled(const std::wstring& productCode);
