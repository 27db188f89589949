// The program's files are read and written below the subsystems.
#include "video/TestPatternSource.h"
