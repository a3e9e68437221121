// The settings program's two lists of registered file types, their list
// files in the settings folder and the per-extension handler keys in the
// registry. No window code here: the dialog and the tests call it alike.
#pragma once
#include <string>

// A file type is a narrow string: a dot followed by ASCII letters and digits,
// letter case kept (".nc" and ".NC" are two entries of a list).
enum class TypeList { Thumbnail, Preview };

// What tells the two lists apart.
struct TypeListInfo {
  const char* fileName;    // list file in the settings folder
  const char* handlerKey;  // key below "<type>\shellex", with braces
  const char* classId;     // the key's default value, with braces
  const wchar_t* alreadyRegisteredMessage;  // addition result 2
};
const TypeListInfo& GetTypeListInfo(TypeList list);

// Class identifiers of the two handlers: the thumbnail provider's and the
// preview handler's (Vantrel.dll and VantrelPreview.dll).
extern const wchar_t kThumbnailProviderClassId[];
extern const wchar_t kPreviewHandlerClassId[];

// A registry key name holds at most 255 characters, so no longer type can
// get its handler key.
constexpr size_t kMaxTypeLength = 255;

// Results of adding a type to one list (AddTypeToList).
enum AdditionResult : int {
  kTypeAdded = 1,             // key written, type appended to the list file
  kNotAType = 0,              // no leading dot, too short or too long
  kAlreadyRegistered = 2,     // key not writable but exists; list unchanged
  kAlreadyListed = 3,         // type already in the list; key rewritten
  kListNotWritable = -1,      // key written, list file not writable
  kKeyNotCreated = -2,        // key neither writable nor present
  kListNotReadable = -3,      // list file missing; nothing written
};

// Checks a typed text: letters, digits and exactly one dot, at its start.
// On refusal `message` holds the text to show.
bool ValidateFileType(const std::string& type, std::wstring& message);

// Full narrow path of the list file; false when the settings folder is not
// obtainable.
bool GetTypeListPath(TypeList list, std::string& path);

// The whole list text; false (and an empty text) when the file cannot be
// opened. The text may be of any length.
bool ReadTypeList(TypeList list, std::string& text);
// Replaces the list file's content with `text`; false when it cannot be
// opened, written or closed.
bool WriteTypeList(TypeList list, const std::string& text);
// 0 for an empty (or missing) list, else 1 plus the number of separators.
int CountTypeListEntries(TypeList list);
// Entry `index` of the list; false when there is none or it is empty.
bool GetTypeListEntry(TypeList list, int index, std::string& entry);

// Creates the settings folder and each list file that is missing, empty.
// Existing list files are left exactly as they are.
void CreateMissingTypeLists();

// "<type>\shellex\<handler key>"
std::string GetHandlerKeyPath(TypeList list, const std::string& type);

// A narrow text (type, key path, file path) as a wide string, converted
// with the locale that made the narrow paths.
std::wstring WidenText(const std::string& text);

// Writes the type's handler key for the list without touching the list file:
// kTypeAdded, kNotAType, kAlreadyRegistered, kAlreadyListed, kKeyNotCreated
// or kListNotReadable.
int RegisterTypeForHandler(TypeList list, const std::string& type);

// RegisterTypeForHandler, then appends the type to the list file.
int AddTypeToList(TypeList list, const std::string& type);

// Deletes the type's handler key while it names the list's class (a key
// already gone counts as deleted; one that names another class stays), and
// only then rewrites the list without the type. False, with the list file
// untouched, when the type is not listed or the key cannot be read or
// deleted.
bool RemoveTypeFromList(TypeList list, const std::string& type);
