#include "platform/rtf_reader.h"
