// The small part of a dialog framework that the settings program needs: a
// modal dialog from a template whose messages reach a C++ object, the OK and
// Cancel commands, and message boxes captioned with the application's name.
#pragma once
#include <windows.h>

#include <string>

class CDialogEx {
 public:
  CDialogEx(UINT templateId, HWND parent);
  virtual ~CDialogEx() = default;
  CDialogEx(const CDialogEx&) = delete;
  CDialogEx& operator=(const CDialogEx&) = delete;

  // Runs the dialog until EndDialog; the result of EndDialog, or -1.
  INT_PTR DoModal();

  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

 protected:
  // One message of the dialog; the result is the dialog procedure's. Derived
  // dialogs handle their messages and hand the rest to this one.
  virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Fills the controls (and would read them back when `saveAndValidate`).
  virtual void DoDataExchange(bool saveAndValidate);
  // Runs the data exchange before the dialog is first shown. True lets the
  // focus go to the first tab stop.
  virtual BOOL OnInitDialog();
  // Enter: the data exchange once more, then the end of the dialog.
  virtual void OnOK();
  // Close button, Escape and the close box.
  virtual void OnCancel();

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  UINT m_templateId;
  HWND m_parent;
};

// The program's name as the framework derives it: the program file's name
// without folder and extension ("SorvaneSettings").
const std::wstring& AfxGetAppName();

// The dialog whose window owns the program's message boxes.
void AfxSetMainWnd(const CDialogEx* dialog);

// A modal message box captioned with the application's name. A box of the
// MB_OK kind without an icon of its own gets the exclamation icon.
int AfxMessageBox(const std::wstring& text, UINT type);
