#pragma once
// The whole thumbnail as a bitmap handle: GDI+ started for the call, the
// program composed on a 255 x 255 ARGB bitmap, the handle made over white.
#include <windows.h>

#include "ByteSource.h"
#include "ThumbnailComposition.h"

// S_OK with the new handle in *bitmap (the caller's to delete), or
// E_NOTIMPL with *bitmap null when GDI+ or the bitmap cannot be had.
HRESULT MakeThumbnailBitmap(ByteSource& source, const ThumbnailOptions& options, HBITMAP* bitmap);
