// The operator's commands that start transmissions, and the two that
// prepare them.
#pragma once

#include "core/app.h"

namespace morsello::runs {

// Takes the run parameters from the form as it stands now.
void parameter_read(App& app);

Flow test_run(App& app);     // "Testa slingan": the message once
Flow counted_run(App& app);  // "Kör n antal TX": the message n times
Flow timed_run(App& app);    // "Tid start/stopp": from the start to the stop minute

void port_discovery(App& app);  // "Hämta anslutna portar"
void clock_fill(App& app);      // "Hämta aktuell dag/tid"

// Sets the sent count text from the transmission counter and shows it.
void show_sent_count(App& app);

}  // namespace morsello::runs
