#pragma once

// The system's list of fonts, which the first text laid out in the program waits for.
namespace SystemFonts {

// Loads the system's font configuration and font list where the system keeps them in a library of its own
// (fontconfig), so that the first text laid out finds them ready; nothing where the window system has them
// loaded already. Safe on any thread, also while the user-interface thread lays out text: the first load to
// finish is the one kept.
void prepare();

} // namespace SystemFonts
