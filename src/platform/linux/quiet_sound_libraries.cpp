// Silences the message hooks of ALSA and JACK on Linux. Cannot: quiet a
// library miniaudio would load under another name. Tests cannot check: the
// hooks of libraries this machine lacks.
#include "platform/linux/quiet_sound_libraries.h"

#include <dlfcn.h>

#include <initializer_list>

namespace morsello::platform::linux_backend {

namespace {

void no_alsa_message(const char*, int, const char*, int, const char*, ...) {}
void no_jack_message(const char*) {}

}  // namespace

// miniaudio loads these libraries itself, so ours are the same handles and
// their message hooks apply to it.
void quiet_sound_libraries() {
  if (void* alsa = dlopen("libasound.so.2", RTLD_NOW)) {
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    if (auto set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler"))) {
      set(no_alsa_message);
    }
  }
  if (void* jack = dlopen("libjack.so.0", RTLD_NOW)) {
    using Hook = void (*)(void (*)(const char*));
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
      if (auto set = reinterpret_cast<Hook>(dlsym(jack, name))) set(no_jack_message);
    }
  }
}

}  // namespace morsello::platform::linux_backend
