#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace morsello::platform::linux_backend {

// When a wait begins this close to the end of the previous one, it is counted
// from that end rather than from now, so that the short work between the waits
// of a message does not add up.
inline constexpr std::int64_t kScheduleToleranceNs = 2'000'000;

// The absolute CLOCK_MONOTONIC deadline of a wait of `ms` that begins at `now`,
// given where the previous wait ended (empty before the first).
std::int64_t wait_deadline(std::optional<std::int64_t> previous_deadline, std::int64_t now,
                           std::int64_t ms);

// Local wall-clock time and millisecond waits.
class LinuxClock final : public Clock {
 public:
  LocalTime local_now() override;
  void sleep_ms(std::int64_t ms) override;

 private:
  std::optional<std::int64_t> previous_deadline_;
};

}  // namespace morsello::platform::linux_backend
