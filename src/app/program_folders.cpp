#include "app/program_folders.h"
