// Subsystem logic never reaches up into a window class.
#include "video/RecDlg.h"
