#include "ui/st_tray_icon.h"
