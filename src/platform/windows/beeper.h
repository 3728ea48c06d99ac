// The system beep on Win32: "Beep" of kernel32.dll, looked up at every call.
// Cannot: sound on machines without a beep device (Beep then fails silently).
// Tests cannot check under Wine: the tone (Wine's Beep returns at once, silent).
#pragma once

#include "platform/platform.h"

namespace morsello::platform::windows_backend {

class Kernel32Beeper final : public Beeper {
 public:
  void beep(int hz, int ms) override;
};

}  // namespace morsello::platform::windows_backend
