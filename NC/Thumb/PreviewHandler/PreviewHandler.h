#pragma once
// The Shell's preview handler for NC programs: the preview host hands it
// the file's stream and a window, and it shows the program's picture in a
// child window of its own, fitted to the pane.
#include <windows.h>
#include <ocidl.h>
#include <propsys.h>
#include <shobjidl.h>

#include "ComPtr.h"
#include "ComServer.h"
#include "PreviewPane.h"

class CPreviewHandler final : public IPreviewHandler,
                              public IPreviewHandlerVisuals,
                              public IInitializeWithStream,
                              public IObjectWithSite,
                              public IOleWindow {
 public:
  CPreviewHandler() = default;

  // IUnknown, one count for all five interfaces
  IFACEMETHODIMP QueryInterface(REFIID interfaceId, void** object) override;
  IFACEMETHODIMP_(ULONG) AddRef() override;
  IFACEMETHODIMP_(ULONG) Release() override;

  // IPreviewHandler
  IFACEMETHODIMP SetWindow(HWND parent, const RECT* rect) override;
  IFACEMETHODIMP SetRect(const RECT* rect) override;
  IFACEMETHODIMP DoPreview() override;
  IFACEMETHODIMP Unload() override;
  IFACEMETHODIMP SetFocus() override;
  IFACEMETHODIMP QueryFocus(HWND* focus) override;
  IFACEMETHODIMP TranslateAccelerator(MSG* message) override;

  // IPreviewHandlerVisuals: the host's theme (a dark one, say)
  IFACEMETHODIMP SetBackgroundColor(COLORREF colour) override;
  IFACEMETHODIMP SetFont(const LOGFONTW* font) override;
  IFACEMETHODIMP SetTextColor(COLORREF colour) override;

  // IInitializeWithStream
  IFACEMETHODIMP Initialize(IStream* newStream, DWORD accessMode) override;

  // IObjectWithSite
  IFACEMETHODIMP SetSite(IUnknown* newSite) override;
  IFACEMETHODIMP GetSite(REFIID interfaceId, void** object) override;

  // IOleWindow
  IFACEMETHODIMP GetWindow(HWND* window) override;
  IFACEMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;

 private:
  ~CPreviewHandler();  // only Release destroys it

  // Hands the colours and the display options to the pane.
  void UpdateLook();

  LONG refCount = 1;
  ModuleObjectCount counted;
  ComPtr<IUnknown> site;   // the object last passed to SetSite, or null
  ComPtr<IStream> stream;  // the file's stream, from Initialize to Unload
  HWND parent = nullptr;   // the host's window, from SetWindow
  RECT rect = {};          // where the pane goes in it
  PreviewColours colours;
  bool hostColours = false;  // the host gave a background or text colour
  PreviewPane pane;
};
