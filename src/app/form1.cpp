#include "app/form1.h"
