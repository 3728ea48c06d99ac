// The unattended beacon: wait for the saved start minute, then send until the
// saved stop minute. Minute stamps are compared as texts.
#include "core/morse/keying.h"
#include "core/morse/sender.h"
#include "core/runs/runs.h"
#include "core/settings/settings.h"
#include "core/shell/form.h"
#include "core/shell/shell.h"
#include "core/text.h"

namespace morsello::runs {

namespace {

// A wait may last days: sleeping this long between polls keeps the CPU idle
// while the start is still seen within a few milliseconds.
constexpr std::int64_t kPollPauseMs = 1;

}  // namespace

Flow timed_run(App& app) {
  app.platform.beeper.beep(800, 500);
  parameter_read(app);
  app.counter = 0;
  place_label(app, wid::kStatus, 515, 680, 200, 20, "Inväntar starttid");

  const std::string& start = app.model[settings::kStart];
  for (;;) {
    if (escape_released(app)) return Flow::Rebuild;
    clock_refresh(app);
    if (!text_greater(start, minute_stamp(app))) break;
    morse::wait(app, kPollPauseMs);
  }
  place_label(app, wid::kStatus, 515, 680, 200, 20, std::string(17, ' '));

  const std::string& stop = app.model[settings::kStop];
  for (;;) {
    const std::string began = minute_stamp(app);
    pump_step(app);
    if (morse::send_message(app) == Flow::Rebuild) return Flow::Rebuild;
    ++app.counter;
    show_sent_count(app);
    if (!text_greater(stop, began)) break;
  }
  place_label(app, wid::kStatus, 390, 520, 200, 20, "Klart");
  return Flow::Go;
}

}  // namespace morsello::runs
