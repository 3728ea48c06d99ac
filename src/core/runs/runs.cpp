#include "core/runs/runs.h"

#include "core/morse/sender.h"
#include "core/numbers.h"
#include "core/settings/settings.h"
#include "core/shell/form.h"
#include "core/shell/shell.h"
#include "core/text.h"

namespace morsello::runs {

namespace {

std::int64_t field_number(App& app, int field) {
  return form_number(app.platform.gui.field_text(field));
}

}  // namespace

void parameter_read(App& app) {
  auto& p = app.params;
  p.tone_hz = field_number(app, wid::kToneField);
  p.element_ms = field_number(app, wid::kDotField);
  app.model[settings::kText] = app.platform.gui.field_text(wid::kTextField);
  p.carrier_ms = field_number(app, wid::kCarrierField);
  p.carrier_pause_ms = field_number(app, wid::kCarrierPauseField);
  p.repeat_pause_ms = field_number(app, wid::kRepeatPauseField);
  p.count = field_number(app, wid::kCountField);
}

void show_sent_count(App& app) {
  app.sent_count_text = " " + decimal(app.counter);
  place_label(app, wid::kSentCount, 320, 520, 50, 20, app.sent_count_text, true);
}

Flow test_run(App& app) {
  place_label(app, wid::kTestNotice, 255, 680, 200, 20, "Testkörning pågår");
  parameter_read(app);
  app.counter = 1;
  if (morse::send_message(app) == Flow::Rebuild) return Flow::Rebuild;
  place_label(app, wid::kStatus, 390, 520, 200, 20, "Klart");
  place_label(app, wid::kTestNotice, 255, 680, 200, 20, " ");
  return Flow::Go;
}

Flow counted_run(App& app) {
  place_label(app, wid::kCountedNotice, 385, 680, 200, 20, "Nu körs n antal TX");
  parameter_read(app);
  for (app.counter = 1; app.counter <= app.params.count; ++app.counter) {
    pump_step(app);
    if (morse::send_message(app) == Flow::Rebuild) return Flow::Rebuild;
    show_sent_count(app);
  }
  place_label(app, wid::kStatus, 390, 520, 200, 20, "Klart");
  place_label(app, wid::kCountedNotice, 385, 680, 200, 20, " ");
  return Flow::Go;
}

}  // namespace morsello::runs
