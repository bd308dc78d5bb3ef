#pragma once

#include "base/program_version.h"

#include <QtGlobal>

// What a note has before anything is chosen or stored, defined once for the store, the settings, the
// main form and the note window.
namespace Defaults {

// Pale yellow (0x00BBGGRR): the colour of new notes while the settings name none.
inline constexpr quint32 noteColor = 0x00C0FFFF;
// A new note window's client size, and what a stored note without "Width" or "Height" gets.
inline constexpr int noteWidth = 240;
inline constexpr int noteHeight = 180;
// Where a note window is put while no screen says better.
inline constexpr int noteLeft = 388;
inline constexpr int noteTop = 104;
inline constexpr int opacity = 255;

} // namespace Defaults
