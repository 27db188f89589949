// What a logic file may see: its own layer and the ones below.
#include "config/AvSettings.h"
#include "formats/WaveFormat.h"
#include "media/MediaSocket.h"
#include "platform/UdpSocket.h"
