#pragma once
// Writes a Cairo image surface as a PNG file so that no reader ever sees half
// a picture: into a temporary file beside the target, renamed into place
// when complete. On failure nothing is left behind.
#include <cairo.h>

#include <string>

// False on failure, with a one-line reason in `error`.
bool WritePngFile(cairo_surface_t* surface, const std::string& path, std::string& error);
