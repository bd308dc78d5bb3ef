#include "platform/single_instance.h"
