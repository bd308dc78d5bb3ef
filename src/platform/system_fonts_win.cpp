#include "platform/system_fonts.h"

namespace SystemFonts {

// The system loads its fonts before any program starts.
void prepare() {}

} // namespace SystemFonts
