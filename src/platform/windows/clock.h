// The wall clock and millisecond waits on Win32.
// Cannot: wait more exactly than the 1 ms timer period that the first wait
// raises. Tests cannot check under Wine: the period itself (Wine's timers are
// fine-grained whatever is asked).
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace morsello::platform::windows_backend {

class Win32Clock final : public Clock {
 public:
  LocalTime local_now() override;
  void sleep_ms(std::int64_t ms) override;

 private:
  bool period_raised_ = false;
};

}  // namespace morsello::platform::windows_backend
