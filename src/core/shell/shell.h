// The spine of the program: start-up, the main loop, the rebuild and the
// mechanisms every activity shares (Escape released, clock refresh, pumps).
#pragma once

#include "core/app.h"

namespace morsello {

// Program entry: start-up, the main window, its loop; returns the exit code,
// which is always 0.
int run_program(platform::Platform& platform);

// One keyboard examination; true when it reports Escape released.
bool escape_released(App& app);

// Re-creates the clock label when the displayed second has changed.
void clock_refresh(App& app);

// Presents the drawing surface and lets at most one pending event be handled;
// a button press taken here runs nothing.
void pump_step(App& app);

// Two pump steps.
void event_pump(App& app);

// "%yyyy-%mm-%dd %hh:%ii" of the local time now.
std::string minute_stamp(App& app);

}  // namespace morsello
