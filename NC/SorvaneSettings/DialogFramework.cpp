#include "DialogFramework.h"

namespace {

const CDialogEx* g_mainWindow = nullptr;

std::wstring ProgramName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return name;
}

}  // namespace

CDialogEx::CDialogEx(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CDialogEx::DoModal() {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), m_parent,
                         &CDialogEx::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogEx::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The object arrives with WM_INITDIALOG and is kept in the window; earlier
  // messages (WM_SETFONT) go to the default handling.
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<CDialogEx*>(lParam)->m_hWnd = window;
  }
  auto* dialog = reinterpret_cast<CDialogEx*>(GetWindowLongPtrW(window, DWLP_USER));
  return dialog ? dialog->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CDialogEx::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK: OnOK(); return TRUE;
        case IDCANCEL: OnCancel(); return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void CDialogEx::DoDataExchange(bool /*saveAndValidate*/) {}

BOOL CDialogEx::OnInitDialog() {
  DoDataExchange(false);
  return TRUE;
}

void CDialogEx::OnOK() {
  DoDataExchange(true);
  EndDialog(m_hWnd, IDOK);
}

void CDialogEx::OnCancel() { EndDialog(m_hWnd, IDCANCEL); }

const std::wstring& AfxGetAppName() {
  static const std::wstring name = ProgramName();
  return name;
}

void AfxSetMainWnd(const CDialogEx* dialog) { g_mainWindow = dialog; }

int AfxMessageBox(const std::wstring& text, UINT type) {
  if ((type & MB_ICONMASK) == 0 && (type & MB_TYPEMASK) <= MB_OKCANCEL) {
    type |= MB_ICONEXCLAMATION;
  }
  HWND owner = g_mainWindow ? g_mainWindow->GetSafeHwnd() : nullptr;
  return MessageBoxW(owner, text.c_str(), AfxGetAppName().c_str(), type);
}
