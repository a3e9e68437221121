#include "PreviewHandler.h"

#include <shlwapi.h>

#include "DisplayOptions.h"

namespace {

uint32_t OpaqueArgb(COLORREF colour) {
  return 0xFF000000u | (static_cast<uint32_t>(GetRValue(colour)) << 16) |
         (static_cast<uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}

// One part in ten of `over` on `under`, per channel: a band that stands out
// a little from the background in light and dark themes alike.
uint32_t Tint(uint32_t under, uint32_t over) {
  uint32_t mixed = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t a = (under >> shift) & 0xFF;
    const uint32_t b = (over >> shift) & 0xFF;
    mixed |= ((a * 9 + b) / 10) << shift;
  }
  return mixed;
}

}  // namespace

CPreviewHandler::~CPreviewHandler() {
  pane.Destroy();
  site.Reset();
  stream.Reset();
}

IFACEMETHODIMP CPreviewHandler::QueryInterface(REFIID interfaceId, void** object) {
  // The first row also answers IUnknown: the object's identity is its
  // IPreviewHandler pointer.
  static const QITAB interfaces[] = {
      QITABENT(CPreviewHandler, IPreviewHandler),
      QITABENT(CPreviewHandler, IInitializeWithStream),
      QITABENT(CPreviewHandler, IPreviewHandlerVisuals),
      QITABENT(CPreviewHandler, IObjectWithSite),
      QITABENT(CPreviewHandler, IOleWindow),
      {nullptr, 0},
  };
  return QISearch(this, interfaces, interfaceId, object);
}

IFACEMETHODIMP_(ULONG) CPreviewHandler::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refCount));
}

IFACEMETHODIMP_(ULONG) CPreviewHandler::Release() {
  const LONG count = InterlockedDecrement(&refCount);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

IFACEMETHODIMP CPreviewHandler::Initialize(IStream* newStream, DWORD /*accessMode*/) {
  // The host hands over the next file after Unload, which lets the stream go.
  return KeepStream(stream, newStream);
}

IFACEMETHODIMP CPreviewHandler::SetWindow(HWND newParent, const RECT* newRect) {
  if (newParent == nullptr || newRect == nullptr) return E_INVALIDARG;
  parent = newParent;
  rect = *newRect;
  if (pane.Window() != nullptr) pane.Place(parent, rect);
  return S_OK;
}

IFACEMETHODIMP CPreviewHandler::SetRect(const RECT* newRect) {
  if (newRect == nullptr) return E_INVALIDARG;
  rect = *newRect;
  pane.Move(rect);
  return S_OK;
}

void CPreviewHandler::UpdateLook() {
  // The display options are read for each file shown, so a change in the
  // settings program shows with the next file.
  ThumbnailOptions overlays;
  overlays.showAxis = ReadDisplayOption(DisplayOption::ShowAxis);
  overlays.showType = ReadDisplayOption(DisplayOption::ShowType);
  overlays.showComment = ReadDisplayOption(DisplayOption::ShowComment);
  PreviewColours look = colours;
  if (hostColours) look.band = Tint(colours.background, colours.text);
  pane.SetLook(look, overlays);
}

IFACEMETHODIMP CPreviewHandler::DoPreview() {
  if (!stream) return E_UNEXPECTED;  // the host initialises first
  if (parent == nullptr) return E_UNEXPECTED;
  if (!pane.Place(parent, rect)) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  UpdateLook();
  return pane.Show(stream.Get());
}

IFACEMETHODIMP CPreviewHandler::Unload() {
  pane.Destroy();
  stream.Reset();
  return S_OK;
}

IFACEMETHODIMP CPreviewHandler::SetFocus() {
  if (pane.Window() != nullptr) ::SetFocus(pane.Window());
  return S_OK;
}

IFACEMETHODIMP CPreviewHandler::QueryFocus(HWND* focus) {
  if (focus == nullptr) return E_INVALIDARG;
  *focus = ::GetFocus();
  return *focus != nullptr ? S_OK : S_FALSE;
}

IFACEMETHODIMP CPreviewHandler::TranslateAccelerator(MSG* message) {
  // The pane has no keys of its own: the host's frame gets them all.
  if (!site) return S_FALSE;
  ComPtr<IPreviewHandlerFrame> frame;
  if (FAILED(site->QueryInterface(IID_IPreviewHandlerFrame, frame.PutVoid()))) return S_FALSE;
  return frame->TranslateAccelerator(message);
}

IFACEMETHODIMP CPreviewHandler::SetBackgroundColor(COLORREF colour) {
  colours.background = OpaqueArgb(colour);
  hostColours = true;
  if (pane.Window() != nullptr) UpdateLook();
  return S_OK;
}

// The picture's texts keep the thumbnail's label font, so pane and
// thumbnail read alike.
IFACEMETHODIMP CPreviewHandler::SetFont(const LOGFONTW* /*font*/) { return S_OK; }

IFACEMETHODIMP CPreviewHandler::SetTextColor(COLORREF colour) {
  colours.text = OpaqueArgb(colour);
  hostColours = true;
  if (pane.Window() != nullptr) UpdateLook();
  return S_OK;
}

IFACEMETHODIMP CPreviewHandler::SetSite(IUnknown* newSite) {
  site.Share(newSite);  // a null site drops the one held
  return S_OK;
}

IFACEMETHODIMP CPreviewHandler::GetSite(REFIID interfaceId, void** object) {
  return QuerySite(site, interfaceId, object);
}

IFACEMETHODIMP CPreviewHandler::GetWindow(HWND* window) {
  if (window == nullptr) return E_INVALIDARG;
  *window = parent;
  return parent != nullptr ? S_OK : E_FAIL;
}

IFACEMETHODIMP CPreviewHandler::ContextSensitiveHelp(BOOL /*enterMode*/) { return E_NOTIMPL; }
