#pragma once
// The preview pane's window: a child of the host's window holding the
// picture of one program. The picture is drawn at the window's size when
// the program is shown and again at the first paint after a resize, so the
// host's thread waits on one render at a time and a drag that resizes the
// pane many times costs a render per paint, not per step.
#include <windows.h>
#include <objidl.h>

#include "PreviewRender.h"

class PreviewPane {
 public:
  PreviewPane() = default;
  ~PreviewPane() { Destroy(); }
  PreviewPane(const PreviewPane&) = delete;
  PreviewPane& operator=(const PreviewPane&) = delete;

  // Puts the window into `parent` at `rect` (parent coordinates), making it
  // at the first call. False when the window cannot be made.
  bool Place(HWND parent, const RECT& rect);
  // Moves the window, if there is one; the next paint re-fits the picture.
  void Move(const RECT& rect);
  // Draws `stream`'s program at the window's size and shows it. The stream
  // stays the caller's and must outlive the pane's use of it (until
  // Destroy). S_OK, or the stream's failure.
  HRESULT Show(IStream* stream);
  // New colours and overlays, drawn at the next paint.
  void SetLook(const PreviewColours& colours, const ThumbnailOptions& overlays);
  // The window goes, with the picture; the stream is forgotten.
  void Destroy();

  HWND Window() const { return window_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  // Draws the picture at the window's present size.
  HRESULT Render();

  HWND window_ = nullptr;
  IStream* stream_ = nullptr;  // borrowed from the handler
  DibSection picture_;
  bool stale_ = false;         // the picture no longer shows the present look
  PreviewColours colours_;
  ThumbnailOptions overlays_;
};
