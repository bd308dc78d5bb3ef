#include "platform/quillet_application.h"
