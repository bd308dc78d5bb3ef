#include "platform/rtf_writer.h"
