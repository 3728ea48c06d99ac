// The two commands that prepare a run: which serial ports can be opened, and
// the current minute into the start and stop fields.
#include "core/morse/keying.h"
#include "core/runs/runs.h"
#include "core/shell/form.h"
#include "core/shell/shell.h"
#include "core/text.h"

namespace morsello::runs {

namespace {

constexpr int kLastComPort = 20;

// Opens the port into the keying slot and, when it opened, tells the operator
// and closes it again, which leaves the slot empty.
void probe(App& app, const std::string& name) {
  auto connection = app.platform.serial.open(name, morse::keying_line_settings());
  if (!connection) return;
  app.keying_slot = std::move(connection);
  app.platform.gui.message_box("Hittade port ", name);
  app.keying_slot.reset();
}

}  // namespace

void port_discovery(App& app) {
  for (int n = 1; n <= kLastComPort; ++n) probe(app, "COM" + decimal(n));
  for (const std::string& name : app.platform.serial.extra_port_names()) probe(app, name);
}

void clock_fill(App& app) {
  const std::string stamp = minute_stamp(app);
  place_field(app, wid::kStartField, 320, 550, 100, 20, stamp);
  place_field(app, wid::kStopField, 320, 580, 100, 20, stamp);
}

}  // namespace morsello::runs
