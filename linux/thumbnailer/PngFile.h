#pragma once
// Writes a Cairo image surface as a PNG file so that no reader ever sees half
// a picture. The PNG is encoded in memory first. An existing file gets it
// in place (the same file, not a new one under its name): a consumer
// that created the output itself may read it back through the descriptor it
// holds open. A new file is written beside the target under a temporary
// name and renamed into place when complete. On failure a new file is
// removed and an existing one left empty, never half written.
#include <cairo.h>

#include <string>

// False on failure, with a one-line reason in `error`.
bool WritePngFile(cairo_surface_t* surface, const std::string& path, std::string& error);
