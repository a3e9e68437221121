// What the settings dialog's buttons and boxes do, apart from the window
// code: the dialog hands in itself through the small interfaces below, and
// the tests hand in recorders instead.
#pragma once
#include <windows.h>

#include <string>

#include "DisplayOptions.h"
#include "TypeLists.h"

// Shows one message to the user; `style` is MB_OK for refusals and failures,
// MB_ICONINFORMATION for success reports.
class MessageSink {
 public:
  virtual void ShowMessage(const std::wstring& text, UINT style) = 0;

 protected:
  ~MessageSink() = default;
};

// The list-box operations the type lists need.
class TypeListBox {
 public:
  virtual void ResetContent() = 0;
  virtual void AddString(const std::wstring& text) = 0;
  virtual int GetCurSel() const = 0;  // negative when nothing is selected
  virtual std::wstring GetText(int index) const = 0;

 protected:
  ~TypeListBox() = default;
};

// The dialog as the type-list operations see it.
class SettingsView : public MessageSink {
 public:
  virtual TypeListBox& GetTypeListBox(TypeList list) = 0;

 protected:
  ~SettingsView() = default;
};

// Prepares the settings folder at program start: creates it and each list
// file that is missing, so that the first addition can succeed.
void PrepareSettingsFolder();

// Converts typed text to the narrow type in the system code page; a text
// with a character the code page cannot represent gives the empty text.
std::string ToNarrowType(const std::wstring& text);

// The whole addition of a typed file type to both lists, with its messages.
void AddFileType(SettingsView& view, std::wstring text);

// Removes the type selected in the list's box (the remove buttons).
void RemoveSelectedType(SettingsView& view, TypeList list);

// Refills both list boxes from the list files.
void FillTypeLists(SettingsView& view);

// The module path that the class key names in its InprocServer32 key
// (at most 259 characters); false when it cannot be read.
bool ReadServerPath(const wchar_t* classId, std::wstring& path);

// Reports which module the registry names for the class (the two "Check
// provider" buttons).
void CheckProvider(MessageSink& sink, const wchar_t* classId);

// Writes an option from a check box's state; a state above 0 means on. A
// failed write is not reported: the box keeps what the user gave it.
void WriteOptionFromCheckState(DisplayOption option, LRESULT checkState);
