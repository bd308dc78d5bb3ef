#include "app/note_record.h"
