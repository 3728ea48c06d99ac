// The clock against real time: bounds are loose enough for a busy machine,
// tight enough that a wait counted from the wrong start fails them.
#include "platform/linux/clock.h"

#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <optional>

namespace morsello::platform::linux_backend {
namespace {

using Steady = std::chrono::steady_clock;
constexpr std::int64_t kMs = 1'000'000;

double ms_since(Steady::time_point t0) {
  return std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
}

void busy_for(std::chrono::microseconds d) {
  const auto until = Steady::now() + d;
  while (Steady::now() < until) {
  }
}

TEST(WaitDeadline, KeepsTheScheduleOnlyRightAfterThePreviousWait) {
  constexpr std::int64_t t = 1000 * kMs;  // the previous wait's deadline
  struct Row {
    const char* what;
    std::optional<WaitMark> previous;
    std::int64_t now, want;  // for a wait of 5 ms
  } const rows[] = {
      {"first wait", std::nullopt, t, t + 5 * kMs},
      {"small work", WaitMark{t, t + 100'000}, t + 300'000, t + 5 * kMs},
      {"work just inside", WaitMark{t, t}, t + 1'999'999, t + 5 * kMs},
      {"late wake-up made up", WaitMark{t, t + 3 * kMs}, t + 3 * kMs + 200'000, t + 5 * kMs},
      {"long work", WaitMark{t, t + 100'000}, t + 2'100'000, t + 7'100'000},
      {"a pause", WaitMark{t, t}, t + 500 * kMs, t + 505 * kMs},
      {"too far behind", WaitMark{t, t + 4'900'000}, t + 5 * kMs, t + 10 * kMs},
      {"clock before deadline", WaitMark{t, t}, t - kMs, t + 4 * kMs},
  };
  for (const Row& r : rows) EXPECT_EQ(wait_deadline(r.previous, r.now, 5), r.want) << r.what;
}

TEST(LinuxClock, ZeroAndNegativeWaitsReturnAtOnce) {
  LinuxClock clock;
  const auto t0 = Steady::now();
  for (int i = 0; i < 100; ++i) {
    clock.sleep_ms(0);
    clock.sleep_ms(-5);
  }
  EXPECT_LT(ms_since(t0), 1.0);
}

TEST(LinuxClock, AWaitLastsItsLength) {
  LinuxClock clock;
  for (const std::int64_t ms : {1, 20, 55}) {
    const auto t0 = Steady::now();
    clock.sleep_ms(ms);
    const double took = ms_since(t0);
    EXPECT_GE(took, ms - 0.01) << ms;
    EXPECT_LT(took, ms + 3.0) << ms;
    busy_for(std::chrono::milliseconds(3));  // a fresh start for the next one
  }
}

// 100 waits of 5 ms with 0.2 ms of work between them: counted from now, the
// work and the wake-ups would add up to about 530 ms.
TEST(LinuxClock, AChainOfWaitsKeepsItsNominalLength) {
  LinuxClock clock;
  const auto t0 = Steady::now();
  for (int i = 0; i < 100; ++i) {
    clock.sleep_ms(5);
    busy_for(std::chrono::microseconds(200));
  }
  clock.sleep_ms(5);
  const double took = ms_since(t0);
  EXPECT_NEAR(took, 505.0, 2.0);
}

// Time lost outside the chain (here 10 ms of work) is not made up for by
// shortening the next wait.
TEST(LinuxClock, AWaitAfterAPauseIsNotShortened) {
  LinuxClock clock;
  clock.sleep_ms(5);
  busy_for(std::chrono::milliseconds(10));
  const auto t0 = Steady::now();
  clock.sleep_ms(20);
  EXPECT_GE(ms_since(t0), 19.99);
}

TEST(LinuxClock, LocalNowIsTheLocalWallClock) {
  LinuxClock clock;
  // Retry only if a second boundary fell between the two readings.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const time_t before = time(nullptr);
    const LocalTime now = clock.local_now();
    const time_t after = time(nullptr);
    if (before != after) continue;
    tm want{};
    localtime_r(&before, &want);
    EXPECT_EQ(now.year, want.tm_year + 1900);
    EXPECT_EQ(now.month, want.tm_mon + 1);
    EXPECT_EQ(now.day, want.tm_mday);
    EXPECT_EQ(now.hour, want.tm_hour);
    EXPECT_EQ(now.minute, want.tm_min);
    EXPECT_EQ(now.second, want.tm_sec);
    return;
  }
  FAIL() << "the clock kept crossing second boundaries";
}

}  // namespace
}  // namespace morsello::platform::linux_backend
