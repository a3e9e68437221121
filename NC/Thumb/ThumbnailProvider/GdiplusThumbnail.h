#pragma once
// The whole thumbnail as a bitmap handle: GDI+ started for the call, the
// program composed on a square ARGB bitmap of options.size pixels, the
// handle made over white.
#include <windows.h>

#include "ComStreamSource.h"
#include "ThumbnailComposition.h"

// S_OK with the new handle in *bitmap (the caller's to delete). Otherwise
// *bitmap stays null and the result says why: the stream's own error when
// reading it failed (the picture would be truncated), E_OUTOFMEMORY or
// E_FAIL when GDI+ failed.
HRESULT MakeThumbnailBitmap(ComStreamSource& source, const ThumbnailOptions& options,
                            HBITMAP* bitmap);
