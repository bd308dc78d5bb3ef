#include "platform/error_dialog.h"
