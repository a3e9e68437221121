#pragma once
// Owning handles for the Cairo objects: each one is destroyed by its own
// destroy function when the handle goes out of scope.
#include <cairo.h>

#include <memory>

struct CairoSurfaceDestroy {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoContextDestroy {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoFontOptionsDestroy {
  void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};

using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceDestroy>;
using CairoContext = std::unique_ptr<cairo_t, CairoContextDestroy>;
using CairoFontOptions = std::unique_ptr<cairo_font_options_t, CairoFontOptionsDestroy>;
