// The platform adapters know nothing of the subsystems they serve.
#include "audio/AudioPlayer.h"
