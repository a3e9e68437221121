#include "SettingsWindowDriver.h"

#include <gdiplus.h>

#include <utility>

namespace {

constexpr DWORD kStartTimeout = 30000;
constexpr DWORD kHandlerTimeout = 30000;
constexpr DWORD kCloseTimeout = 10000;
constexpr int kMessageTextId = 0xFFFF;


struct BoxSearch {
  HWND owner;
  HWND found;
};

// The icon of a message box is a static control of style SS_ICON (its id
// differs between Windows and Wine).
BOOL CALLBACK FindIconControl(HWND window, LPARAM parameter) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (lstrcmpiW(className, L"Static") != 0) return TRUE;
  if ((GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
  *reinterpret_cast<HWND*>(parameter) = window;
  return FALSE;
}

BOOL CALLBACK FindOwnedBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<BoxSearch*>(parameter);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  if (GetWindow(window, GW_OWNER) != search->owner) return TRUE;
  if (SettingsWindowDriver::WindowText(window) != L"SorvaneSettings") return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

SettingsWindowDriver::SettingsWindowDriver(std::wstring programPath)
    : m_programPath(std::move(programPath)) {}

SettingsWindowDriver::~SettingsWindowDriver() {
  Close();
  if (m_press) {
    WaitForSingleObject(m_press, kCloseTimeout);
    CloseHandle(m_press);
  }
  if (m_process.hProcess) {
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
  }
}

bool SettingsWindowDriver::Start() {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  std::wstring commandLine = L"\"" + m_programPath + L"\"";
  if (!CreateProcessW(m_programPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &m_process)) {
    return false;
  }
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kStartTimeout) {
    HWND window = FindWindowW(L"#32770", L"Sorvane Settings");
    DWORD processId = 0;
    if (window) GetWindowThreadProcessId(window, &processId);
    if (window && processId == m_process.dwProcessId && IsWindowVisible(window)) {
      m_dialog = window;
      return true;
    }
    if (WaitForSingleObject(m_process.hProcess, 50) == WAIT_OBJECT_0) return false;
  }
  return false;
}

void SettingsWindowDriver::SetText(int id, const std::wstring& text) const {
  SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring SettingsWindowDriver::WindowText(HWND window) {
  // WM_GETTEXT crosses process boundaries, GetWindowText does not.
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(copied));
  return text;
}

std::wstring SettingsWindowDriver::Text(int id) const { return WindowText(Item(id)); }

std::vector<std::wstring> SettingsWindowDriver::ListEntries(int id) const {
  std::vector<std::wstring> entries;
  const LRESULT count = SendMessageW(Item(id), LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(Item(id), LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(Item(id), LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    entries.push_back(text);
  }
  return entries;
}

void SettingsWindowDriver::SelectListEntry(int id, const std::wstring& text) const {
  const LRESULT index = SendMessageW(Item(id), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageW(Item(id), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

LRESULT SettingsWindowDriver::CheckState(int id) const {
  return SendMessageW(Item(id), BM_GETCHECK, 0, 0);
}

void SettingsWindowDriver::Click(int id) { StartPress({Item(id), BM_CLICK, 0, 0}); }

void SettingsWindowDriver::Notify(int id, WORD code) {
  StartPress({m_dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id))});
}

void SettingsWindowDriver::StartPress(const Press& press) {
  if (m_press) {
    WaitForSingleObject(m_press, kCloseTimeout);
    CloseHandle(m_press);
  }
  m_pressMessage = press;
  m_press = CreateThread(
      nullptr, 0,
      [](LPVOID parameter) -> DWORD {
        const auto* message = static_cast<const Press*>(parameter);
        SendMessageW(message->window, message->message, message->wParam, message->lParam);
        return 0;
      },
      &m_pressMessage, 0, nullptr);
}

void SettingsWindowDriver::PressKey(int id, WORD key) const {
  PostMessageW(Item(id), WM_KEYDOWN, key, 1);
  PostMessageW(Item(id), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

HWND SettingsWindowDriver::FindMessageBox() const {
  BoxSearch search = {m_dialog, nullptr};
  EnumWindows(FindOwnedBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<SeenMessage> SettingsWindowDriver::CollectMessages() {
  std::vector<SeenMessage> seen;
  if (!m_press) return seen;
  const DWORD start = GetTickCount();
  while (WaitForSingleObject(m_press, 20) == WAIT_TIMEOUT && GetTickCount() - start < kHandlerTimeout) {
    HWND box = FindMessageBox();
    if (!box) continue;
    SeenMessage message;
    message.text = WindowText(GetDlgItem(box, kMessageTextId));
    message.icon = ReadIcon(box);
    seen.push_back(message);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    const DWORD closing = GetTickCount();
    while (IsWindow(box) && GetTickCount() - closing < kCloseTimeout) Sleep(10);
  }
  return seen;
}

std::vector<BYTE> SettingsWindowDriver::CaptureScreen(const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  std::vector<BYTE> pixels;
  if (width <= 0 || height <= 0) return pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* data = static_cast<const BYTE*>(bits);
    pixels.assign(data, data + static_cast<size_t>(width) * height * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

int SettingsWindowDriver::CountPixels(const std::vector<BYTE>& pixels,
                                      bool (*match)(int r, int g, int b)) {
  int count = 0;
  for (size_t i = 0; i + 3 < pixels.size(); i += 4) {
    if (match(pixels[i + 2], pixels[i + 1], pixels[i])) ++count;
  }
  return count;
}

MessageIcon SettingsWindowDriver::ReadIcon(HWND box) {
  // The icon handle cannot be asked for across processes under Wine, so the
  // icon is read from the screen once the box has painted it.
  HWND iconControl = nullptr;
  EnumChildWindows(box, FindIconControl, reinterpret_cast<LPARAM>(&iconControl));
  RECT area;
  if (!iconControl || !GetWindowRect(iconControl, &area)) return MessageIcon::Unknown;
  for (int attempt = 0; attempt < 50; ++attempt) {
    const std::vector<BYTE> pixels = CaptureScreen(area);
    const int blue = CountPixels(pixels, [](int r, int g, int b) { return b > r + 60 && b > g + 20; });
    const int yellow = CountPixels(pixels, [](int r, int g, int b) { return r > 180 && g > 140 && b < 100; });
    if (blue > 20 && blue > 2 * yellow) return MessageIcon::Information;
    if (yellow > 20 && yellow > 2 * blue) return MessageIcon::Exclamation;
    Sleep(20);
  }
  return MessageIcon::Unknown;
}

void PrintTo(const SeenMessage& message, std::ostream* out) {
  static const char* const kIcons[] = {"information", "exclamation", "unknown icon"};
  std::string text;
  for (const wchar_t c : message.text) {
    text += c == L'\n' ? std::string("\\n") : std::string(1, c < 128 ? static_cast<char>(c) : '?');
  }
  *out << "(" << kIcons[static_cast<int>(message.icon)] << ") \"" << text << "\"";
}

DWORD SettingsWindowDriver::WaitForExit(DWORD milliseconds) {
  if (!m_process.hProcess) return 0;
  WaitForSingleObject(m_process.hProcess, milliseconds);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(m_process.hProcess, &code);
  return code;
}

void SettingsWindowDriver::Close() {
  if (!m_process.hProcess || WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0) return;
  // A failed test may leave message boxes open; a handler may show more.
  for (int i = 0; i < 50; ++i) {
    HWND box = FindMessageBox();
    if (!box) break;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Sleep(100);
  }
  if (m_dialog) PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (WaitForSingleObject(m_process.hProcess, kCloseTimeout) != WAIT_OBJECT_0) {
    TerminateProcess(m_process.hProcess, 1);
    WaitForSingleObject(m_process.hProcess, 5000);
  }
}

bool SettingsWindowDriver::SaveScreenshot(const std::wstring& path) const {
  RECT area;
  if (!GetWindowRect(m_dialog, &area)) return false;
  std::vector<BYTE> pixels = CaptureScreen(area);
  if (pixels.empty()) return false;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  bool saved = false;
  {
    Gdiplus::Bitmap image(width, height, width * 4, PixelFormat32bppRGB, pixels.data());
    // The PNG encoder of GDI+.
    const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
  }
  Gdiplus::GdiplusShutdown(token);
  return saved;
}

std::vector<BYTE> SettingsWindowDriver::CaptureCaption() const {
  RECT window;
  GetWindowRect(m_dialog, &window);
  POINT client = {0, 0};
  ClientToScreen(m_dialog, &client);
  // The strip above the client area, as wide as it is high from the left:
  // where the caption shows the window's small icon.
  const RECT strip = {window.left, window.top, window.left + (client.y - window.top),
                      client.y};
  return CaptureScreen(strip);
}
