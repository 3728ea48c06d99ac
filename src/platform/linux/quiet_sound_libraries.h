#pragma once

namespace morsello::platform::linux_backend {

// Keeps ALSA and JACK from printing to stderr while miniaudio looks for a
// working sound backend; sound failures are silent in this program.
void quiet_sound_libraries();

}  // namespace morsello::platform::linux_backend
