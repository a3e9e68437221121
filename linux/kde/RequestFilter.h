#pragma once
// Which thumbnail requests the KDE plugin reads at all.
//
// Dolphin types the files it shows by their names alone and asks for
// previews with that type. Every extension of ours belongs to someone else
// too, and the other owner's glob is the heavier one (so that GNOME's
// sniffing gives binary files back to it): by name, ".nc" is NetCDF, ".tap"
// ".cnc" ".mpf" ".spf" ".eia" are application/octet-stream, ".h" is a C
// header and ".ngc" a game cartridge image where LinuxCNC's text/ngc is not
// installed. So the plugin also serves application/octet-stream, which the
// thumbnail job reaches as the last ancestor of every type no other plugin
// serves. A request of such a foreign type is taken only for a file named
// as a program, and a ".h" file only when it starts as a TNC program; the
// rest is refused here, before anything is interpreted.
#include <string>

#include "ByteSource.h"

// The types that are ours whatever the name: the NC program type and
// LinuxCNC's text/ngc.
bool IsProgramType(const std::string& mimeType);

// True when the file name (the last part of `path`) ends in .nc, .ngc,
// .tap, .cnc, .mpf, .spf, .eia or .h, in any case.
bool HasProgramName(const std::string& path);

// True when the first line is a TNC program's first line: "BEGIN PGM "
// after an optional line number. The source is back at its start after.
bool StartsAsTncProgram(ByteSource& source);

// Whether a request for `path`, typed `mimeType`, is worth interpreting.
bool WorthReading(const std::string& path, const std::string& mimeType, ByteSource& source);
