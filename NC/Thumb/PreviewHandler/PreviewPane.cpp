#include "PreviewPane.h"

#include "ComServer.h"

namespace {

constexpr wchar_t kWindowClass[] = L"VantrelPreviewPane";

// The pane's client size, within what a picture may have.
void PictureSize(HWND window, int& width, int& height) {
  RECT client = {};
  GetClientRect(window, &client);
  const auto clamp = [](LONG side) {
    return side < 1 ? 1 : (side > PREVIEW_MAX_SIZE ? PREVIEW_MAX_SIZE : static_cast<int>(side));
  };
  width = clamp(client.right - client.left);
  height = clamp(client.bottom - client.top);
}

}  // namespace

bool PreviewPane::Place(HWND parent, const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (window_ != nullptr) {
    if (GetParent(window_) != parent) SetParent(window_, parent);
    MoveWindow(window_, rect.left, rect.top, width, height, TRUE);
    return true;
  }
  // The class lives as long as a window of it: a class left behind would
  // point at this module's code after the module was unloaded.
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  // Any change of size repaints the whole window: the picture is re-fitted.
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = moduleInstance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kWindowClass;
  // No background brush: the picture covers the whole window, so erasing
  // first would only flicker.
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }
  window_ = CreateWindowExW(0, kWindowClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                            rect.left, rect.top, width, height, parent, nullptr, moduleInstance,
                            this);
  return window_ != nullptr;
}

void PreviewPane::Move(const RECT& rect) {
  if (window_ == nullptr) return;
  MoveWindow(window_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

HRESULT PreviewPane::Show(IStream* stream) {
  stream_ = stream;
  const HRESULT result = Render();
  InvalidateRect(window_, nullptr, FALSE);
  return result;
}

void PreviewPane::SetLook(const PreviewColours& colours, const ThumbnailOptions& overlays) {
  colours_ = colours;
  overlays_ = overlays;
  stale_ = true;
  if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
}

void PreviewPane::Destroy() {
  if (window_ != nullptr) DestroyWindow(window_);
  window_ = nullptr;
  UnregisterClassW(kWindowClass, moduleInstance);  // fails while other panes live: fine
  stream_ = nullptr;
  picture_.Reset();
}

HRESULT PreviewPane::Render() {
  stale_ = false;
  if (window_ == nullptr || stream_ == nullptr) return S_OK;
  int width = 0, height = 0;
  PictureSize(window_, width, height);
  if (!picture_.Create(width, height)) return E_OUTOFMEMORY;
  return RenderPreview(stream_, overlays_, colours_, picture_);
}

void PreviewPane::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  int width = 0, height = 0;
  PictureSize(window_, width, height);
  // A resize since the last picture re-fits it: a new picture at the new
  // size, never the old one stretched.
  if (stream_ != nullptr && (stale_ || width != picture_.Width() || height != picture_.Height())) {
    Render();
  }
  RECT client = {};
  GetClientRect(window_, &client);
  if (picture_) BitBlt(dc, 0, 0, picture_.Width(), picture_.Height(), picture_.Dc(), 0, 0, SRCCOPY);
  // Beyond the picture (no program yet, or a pane larger than the largest
  // picture): the background.
  const COLORREF background = RGB((colours_.background >> 16) & 0xFF,
                                  (colours_.background >> 8) & 0xFF, colours_.background & 0xFF);
  HBRUSH brush = CreateSolidBrush(background);
  const RECT right = {picture_.Width(), 0, client.right, client.bottom};
  const RECT below = {0, picture_.Height(), picture_.Width(), client.bottom};
  FillRect(dc, &right, brush);
  FillRect(dc, &below, brush);
  DeleteObject(brush);
  EndPaint(window_, &paint);
}

LRESULT PreviewPane::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

LRESULT CALLBACK PreviewPane::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* pane = static_cast<PreviewPane*>(create->lpCreateParams);
    pane->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pane));
  }
  auto* pane = reinterpret_cast<PreviewPane*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (pane == nullptr || pane->window_ != window) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    // Also when the host destroys its window with ours in it.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    pane->window_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return pane->OnMessage(message, wParam, lParam);
}
