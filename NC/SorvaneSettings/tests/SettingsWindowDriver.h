// Drives a running SorvaneSettings.exe from another process, as a user at
// the screen would: finds the dialog by its caption, types into the edit
// box, presses buttons, reads and closes message boxes, and reads the
// controls' texts, list entries and check states.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include <ostream>

// The icon of a message box, told apart by its colours on the screen: the
// blue "i" of a success report or the yellow exclamation mark of a refusal.
enum class MessageIcon { Information, Exclamation, Unknown };

// One message box as the user sees it.
struct SeenMessage {
  std::wstring text;
  MessageIcon icon = MessageIcon::Unknown;
  bool operator==(const SeenMessage& other) const {
    return text == other.text && icon == other.icon;
  }
};

// For test failure output.
void PrintTo(const SeenMessage& message, std::ostream* out);

class SettingsWindowDriver {
 public:
  explicit SettingsWindowDriver(std::wstring programPath);
  ~SettingsWindowDriver();
  SettingsWindowDriver(const SettingsWindowDriver&) = delete;
  SettingsWindowDriver& operator=(const SettingsWindowDriver&) = delete;

  // Starts the program and waits until its dialog is shown.
  bool Start();
  HWND dialog() const { return m_dialog; }
  HWND Item(int id) const { return GetDlgItem(m_dialog, id); }

  void SetText(int id, const std::wstring& text) const;
  std::wstring Text(int id) const;
  static std::wstring WindowText(HWND window);
  std::vector<std::wstring> ListEntries(int id) const;
  void SelectListEntry(int id, const std::wstring& text) const;
  LRESULT CheckState(int id) const;

  // Presses a button. The press is sent from a thread of its own, which the
  // press holds until the button's handler has returned, so that the driver
  // stays free to read and close the message boxes the handler shows.
  void Click(int id);
  // Sends the dialog a control's notification (WM_COMMAND), the same way.
  void Notify(int id, WORD code);
  // Reads and closes, in their order, the message boxes of the last press
  // until its handler has returned.
  std::vector<SeenMessage> CollectMessages();

  // Sends a key to a control as if typed while it has the focus.
  void PressKey(int id, WORD key) const;

  // Waits for the program to end; its exit code, or STILL_ACTIVE.
  DWORD WaitForExit(DWORD milliseconds);
  // Closes open message boxes and the dialog, ending the program.
  void Close();

  // Saves the part of the screen the dialog covers as a PNG file.
  bool SaveScreenshot(const std::wstring& path) const;
  // The screen's pixels (32-bit BGRX rows) where the caption's icon is.
  std::vector<BYTE> CaptureCaption() const;

  // Pixels of the screen within `area`, 32-bit BGRX, top row first.
  static std::vector<BYTE> CaptureScreen(const RECT& area);
  static int CountPixels(const std::vector<BYTE>& pixels, bool (*match)(int r, int g, int b));

 private:
  HWND FindMessageBox() const;
  static MessageIcon ReadIcon(HWND box);

  std::wstring m_programPath;
  PROCESS_INFORMATION m_process = {};
  HWND m_dialog = nullptr;
  // A message the press thread sends, holding the thread until it returns.
  struct Press {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  void StartPress(const Press& press);

  Press m_pressMessage = {};
  HANDLE m_press = nullptr;  // the thread of the last press
};
