#include "app/color_text.h"
