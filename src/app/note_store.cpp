#include "app/note_store.h"
