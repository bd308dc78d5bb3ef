#include "note/form_sticky.h"
