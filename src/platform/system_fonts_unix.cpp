#include "platform/system_fonts.h"

#include <fontconfig/fontconfig.h>

namespace SystemFonts {

// Qt asks fontconfig for its configuration when the first text is laid out. Loading it reads every
// configuration file and the font caches, a few milliseconds of a start that a second core can spend while
// the user-interface thread is still connecting to the display.
void prepare()
{
    FcInit();
}

} // namespace SystemFonts
