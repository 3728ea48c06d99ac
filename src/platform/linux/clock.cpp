// The wall clock (clock_gettime + localtime_r) and waits (clock_nanosleep on
// CLOCK_MONOTONIC to an absolute deadline, immune to wall-clock steps). Linux
// needs no call to raise the timer resolution; wake-ups come some tens of
// microseconds late, and a test can only bound that, not pin it.
//
// A message is a long chain of waits with a little work between them (sound
// made and started, a byte written, a port open attempted). Counted from now,
// every wait would add that work and its own wake-up lateness to the message:
// about 0.1 ms per wait, 0.2 % of a 50 ms dot element, and on a busy machine a
// wake-up is now and then 2 to 4 ms late. So a wait that starts right after the
// previous one returned (kWorkToleranceNs) is counted from that one's deadline:
// the chain keeps to its nominal schedule, and a late wake-up shortens only the
// next wait instead of delaying every later key edge. Longer work between two
// waits (a repaint, a message box) or falling further behind than
// kBehindToleranceNs starts a fresh schedule from now, so a wait is never cut
// by more than that to make up for time lost outside the chain.
#include "platform/linux/clock.h"

#include <time.h>

#include <cerrno>

namespace morsello::platform::linux_backend {

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;

std::int64_t monotonic_now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

}  // namespace

std::int64_t wait_deadline(std::optional<WaitMark> previous, std::int64_t now, std::int64_t ms) {
  const std::int64_t length = ms * kNsPerMs;
  if (previous && now >= previous->returned && now >= previous->deadline &&
      now - previous->returned < kWorkToleranceNs &&
      now - previous->deadline < kBehindToleranceNs) {
    return previous->deadline + length;
  }
  return now + length;
}

LocalTime LinuxClock::local_now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  const time_t seconds = ts.tv_sec;
  localtime_r(&seconds, &local);
  return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     local.tm_sec};
}

void LinuxClock::sleep_ms(std::int64_t ms) {
  if (ms <= 0) return;
  // Longer than any wait the program makes, and safe from overflow below.
  constexpr std::int64_t kMaxMs = std::int64_t{1} << 40;
  if (ms > kMaxMs) ms = kMaxMs;
  const std::int64_t deadline = wait_deadline(previous_, monotonic_now(), ms);
  if (before_wait_) before_wait_();
  timespec until{};
  until.tv_sec = static_cast<time_t>(deadline / kNsPerSecond);
  until.tv_nsec = static_cast<long>(deadline % kNsPerSecond);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
  previous_ = WaitMark{deadline, monotonic_now()};
}

}  // namespace morsello::platform::linux_backend
