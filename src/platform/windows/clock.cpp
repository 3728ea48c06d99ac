// GetLocalTime for the clock label and the minute stamps; Sleep for the waits,
// with timeBeginPeriod(1) raised at the first wait and left there, so a wait
// lasts its milliseconds and not the default 15.6 ms ticks. Cannot: wake
// exactly on the millisecond; tests cannot check the period under Wine.
#include "platform/windows/clock.h"

#include <windows.h>
// Needs the types of windows.h.
#include <mmsystem.h>

#include <algorithm>

namespace morsello::platform::windows_backend {

LocalTime Win32Clock::local_now() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

void Win32Clock::sleep_ms(std::int64_t ms) {
  if (ms <= 0) return;
  if (!period_raised_) {
    timeBeginPeriod(1);
    period_raised_ = true;
  }
  // Sleep takes a DWORD and reads 0xFFFFFFFF as "forever": long waits (a timed
  // run may wait for days) go in slices of a day.
  constexpr std::int64_t kSliceMs = 24 * 60 * 60 * 1000;
  while (ms > 0) {
    const std::int64_t slice = std::min(ms, kSliceMs);
    Sleep(static_cast<DWORD>(slice));
    ms -= slice;
  }
}

}  // namespace morsello::platform::windows_backend
