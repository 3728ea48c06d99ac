#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/platform.h"

namespace morsello::platform::linux_backend {

// Where the previous wait stood: the deadline it waited for and the moment it
// actually returned (a little later: wake-ups are late).
struct WaitMark {
  std::int64_t deadline = 0;
  std::int64_t returned = 0;
};

// A wait that begins less than this after the previous one returned is counted
// from that one's deadline, so that the short work between the waits of a
// message does not add up...
inline constexpr std::int64_t kWorkToleranceNs = 2'000'000;
// ...as long as that leaves it less than this behind its schedule.
inline constexpr std::int64_t kBehindToleranceNs = 5'000'000;

// The absolute CLOCK_MONOTONIC deadline of a wait of `ms` that begins at `now`,
// given the previous wait (empty before the first).
std::int64_t wait_deadline(std::optional<WaitMark> previous, std::int64_t now, std::int64_t ms);

// Local wall-clock time and millisecond waits.
class LinuxClock final : public Clock {
 public:
  LocalTime local_now() override;
  void sleep_ms(std::int64_t ms) override;
  // Work done at the start of every wait, once its deadline is fixed, so that
  // it takes its time from the wait (the repaint of changed labels).
  void set_before_wait(std::function<void()> f) { before_wait_ = std::move(f); }

 private:
  std::optional<WaitMark> previous_;
  std::function<void()> before_wait_;
};

}  // namespace morsello::platform::linux_backend
