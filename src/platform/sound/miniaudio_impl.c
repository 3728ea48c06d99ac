// miniaudio's implementation, compiled once in this translation unit of its
// own (its warnings are silenced for this file only, in CMakeLists.txt). The
// library picks its backend at run time: PulseAudio, ALSA, JACK, then a null
// device that plays into nothing, so a machine without sound still starts.
#define MINIAUDIO_IMPLEMENTATION
#include "platform/sound/miniaudio_setup.h"
