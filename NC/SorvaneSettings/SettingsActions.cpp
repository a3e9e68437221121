#include "SettingsActions.h"

#include <shlwapi.h>

#include <algorithm>

namespace {

const wchar_t kNeedsDotAndCharacter[] =
    L"Type string needs to contain one dot and at least on character";
const wchar_t kAlreadyInList[] = L"The file type is already in the list";
const wchar_t kCannotWriteList[] =
    L"Can't write to settingsfil. Try to run Kestrova Settings as Administrator\n%s";
const wchar_t kCannotCreateKey[] =
    L"Can't registrate file type. Cant create regestry key. Try to run 'Kestrova Settings' as "
    L"Administrator";
const wchar_t kCannotReadList[] = L"Unable to read settings file";
const wchar_t kAddedToBoth[] = L"File type '%s' added to Thumbnail and Preview provider";
const wchar_t kAddedToThumbnail[] = L"File type '%s' added to Thumbnail provider";
const wchar_t kAddedToPreview[] = L"File type '%s' added to Preview provider";
const wchar_t kSelectType[] = L"Select a file type to remove.";
const wchar_t kCannotRemove[] = L"Can't remove file type.";
const wchar_t kProviderRegistered[] = L"Provider registrated OK\n%s";
const wchar_t kCannotAccessProvider[] = L"Can't access provider key in Windows regestry.";

// The server path is read into 260 characters: a longer path is reported as
// unreadable rather than cut short.
constexpr DWORD kServerPathCharacters = 260;

// Puts `argument` where the message has "%s"; the argument may be of any
// length and may itself hold a "%".
std::wstring FormatMessageText(const wchar_t* format, const std::wstring& argument) {
  std::wstring text = format;
  const size_t at = text.find(L"%s");
  if (at != std::wstring::npos) text.replace(at, 2, argument);
  return text;
}

// List entries are shown as the box's text in the system code page.
std::wstring FromSystemCodePage(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  }
  return wide;
}

// The message an addition to one list shows for its result, if any.
void ShowAdditionMessage(MessageSink& sink, TypeList list, int result) {
  switch (result) {
    case kAlreadyRegistered:
      sink.ShowMessage(GetTypeListInfo(list).alreadyRegisteredMessage, MB_OK);
      break;
    case kAlreadyListed:
      sink.ShowMessage(kAlreadyInList, MB_OK);
      break;
    case kListNotWritable: {
      std::string path;
      GetTypeListPath(list, path);
      sink.ShowMessage(FormatMessageText(kCannotWriteList, WidenText(path)), MB_OK);
      break;
    }
    case kKeyNotCreated:
      sink.ShowMessage(kCannotCreateKey, MB_OK);
      break;
    case kListNotReadable:
      sink.ShowMessage(kCannotReadList, MB_OK);
      break;
    default:  // kTypeAdded has the success report; kNotAType is silent
      break;
  }
}

}  // namespace

void PrepareSettingsFolder() { CreateMissingTypeLists(); }

std::string ToNarrowType(const std::wstring& text) {
  // The system code page, with a report of every character it cannot
  // represent: the C runtime's conversion would put "?" in its place under
  // some runtimes and so change the typed text without a word.
  if (text.empty()) return {};
  const int wideLength = static_cast<int>(text.size());
  BOOL unrepresentable = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), wideLength,
                                         nullptr, 0, nullptr, &unrepresentable);
  if (length <= 0 || unrepresentable) return {};
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), wideLength, &narrow[0], length,
                      nullptr, nullptr);
  return narrow;
}

void AddFileType(SettingsView& view, std::wstring text) {
  const std::string type = ToNarrowType(text);
  // A type longer than a registry key name can hold is refused like one
  // that is too short: it could never get its handler key.
  if (type.size() < 2 || type.size() > kMaxTypeLength) {
    view.ShowMessage(kNeedsDotAndCharacter, MB_OK);
    return;
  }
  std::wstring refusal;
  if (!ValidateFileType(type, refusal)) {
    view.ShowMessage(refusal, MB_OK);
    return;
  }

  // The lists are independent: the preview addition runs whatever the
  // thumbnail addition gave.
  const int thumbnailResult = AddTypeToList(TypeList::Thumbnail, type);
  ShowAdditionMessage(view, TypeList::Thumbnail, thumbnailResult);
  const int previewResult = AddTypeToList(TypeList::Preview, type);
  ShowAdditionMessage(view, TypeList::Preview, previewResult);

  if (thumbnailResult == kTypeAdded) {
    FillTypeLists(view);
    view.ShowMessage(FormatMessageText(previewResult == kTypeAdded ? kAddedToBoth : kAddedToThumbnail,
                                       text),
                     MB_ICONINFORMATION);
  } else if (previewResult == kTypeAdded) {
    FillTypeLists(view);
    view.ShowMessage(FormatMessageText(kAddedToPreview, text), MB_ICONINFORMATION);
  }
}

void RemoveSelectedType(SettingsView& view, TypeList list) {
  TypeListBox& box = view.GetTypeListBox(list);
  const int index = box.GetCurSel();
  if (index < 0) {
    view.ShowMessage(kSelectType, MB_OK);
    return;
  }
  if (!RemoveTypeFromList(list, ToNarrowType(box.GetText(index)))) {
    view.ShowMessage(kCannotRemove, MB_OK);
  }
  FillTypeLists(view);
}

void FillTypeLists(SettingsView& view) {
  for (const TypeList list : {TypeList::Thumbnail, TypeList::Preview}) {
    TypeListBox& box = view.GetTypeListBox(list);
    box.ResetContent();
    const int count = CountTypeListEntries(list);
    for (int i = 0; i < count; ++i) {
      std::string entry;
      if (GetTypeListEntry(list, i, entry)) box.AddString(FromSystemCodePage(entry));
    }
  }
}

bool ReadServerPath(const wchar_t* classId, std::wstring& path) {
  const std::wstring keyPath = std::wstring(L"CLSID\\") + classId + L"\\InprocServer32\\";
  std::wstring buffer(kServerPathCharacters, L'\0');
  DWORD valueType = 0;
  DWORD size = kServerPathCharacters * sizeof(wchar_t);
  if (SHGetValueW(HKEY_CLASSES_ROOT, keyPath.c_str(), L"", &valueType, &buffer[0], &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  // The value need not hold its terminator: take what lies before the first
  // zero or the end of the bytes read.
  const size_t characters = size / sizeof(wchar_t);
  path = buffer.substr(0, std::min<size_t>(buffer.find(L'\0'), characters));
  return true;
}

void CheckProvider(MessageSink& sink, const wchar_t* classId) {
  std::wstring path;
  if (ReadServerPath(classId, path)) {
    sink.ShowMessage(FormatMessageText(kProviderRegistered, path), MB_OK);
  } else {
    sink.ShowMessage(kCannotAccessProvider, MB_OK);
  }
}

void WriteOptionFromCheckState(DisplayOption option, LRESULT checkState) {
  WriteDisplayOption(option, checkState > 0);
}
