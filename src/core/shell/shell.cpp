#include "core/shell/shell.h"

#include <cstdio>
#include <string>

#include "core/runs/runs.h"
#include "core/settings/settings.h"
#include "core/shell/form.h"
#include "core/shell/info_window.h"

namespace morsello {

namespace {

std::string two(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

std::string date_text(const platform::LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  return buf;
}

enum class LoopEnd { Quit, Rebuild };

// The eight buttons of the main loop, tested in this order.
Flow dispatch(App& app, int number, bool& quit) {
  switch (number) {
    case wid::kSaveButton: return settings::save(app);
    case wid::kFindPortsButton: runs::port_discovery(app); return Flow::Go;
    case wid::kFetchTimeButton: runs::clock_fill(app); return Flow::Go;
    case wid::kTestButton: return runs::test_run(app);
    case wid::kCountedButton: return runs::counted_run(app);
    case wid::kTimedButton: return runs::timed_run(app);
    case wid::kInfoButton: return info_window(app);
    case wid::kQuitButton: quit = true; return Flow::Go;
    default: return Flow::Go;
  }
}

LoopEnd main_loop(App& app) {
  bool quit = false;
  for (;;) {
    clock_refresh(app);
    const platform::Event ev = app.platform.gui.wait_event();
    if (escape_released(app)) return LoopEnd::Quit;  // the event is not looked at
    if (ev.kind == platform::EventKind::Widget && dispatch(app, ev.number, quit) == Flow::Rebuild)
      return LoopEnd::Rebuild;
    if (quit) {
      app.platform.gui.close_window(win::kMain);
      return LoopEnd::Quit;
    }
  }
}

LoopEnd build_main_window(App& app) {
  auto& gui = app.platform.gui;
  gui.open_window(win::kMain, app.main_width, app.main_height, window_title(), kWhite);
  gui.start_timer(win::kMain, win::kMainTimer, win::kMainTimerPeriodMs);
  gui.surface_open(win::kMain);
  // Key states belong to one main window: the Escape that aborted a
  // transmission must not also end the program in the new one.
  app.keyboard_bound = false;
  app.escape_held = false;
  build_banner(app);
  settings::load(app);
  build_form(app);
  return main_loop(app);
}

void end_of_program(App& app) {
  app.platform.audio.shutdown();
  app.keying_slot.reset();
  app.platform.gui.shutdown();
}

bool fatal_check(App& app, bool ok, const char* text) {
  if (!ok) app.platform.gui.message_box("Error", text);
  return ok;
}

}  // namespace

int run_program(platform::Platform& platform) {
  App app(platform);
  app.main_width = 1280;
  app.main_height = 800;
  // The settings table is part of App and starts empty.
  if (fatal_check(app, platform.gui.init_surface_service(),
                  "Initialisation of the drawing surface service failed.") &&
      fatal_check(app, platform.keyboard.init(), "Initialisation of the keyboard service failed.")) {
    app.fonts.hint = platform.gui.create_font("Verdana", 10, true);
    app.fonts.title = platform.gui.create_font("Verdana", 14, true);
    app.fonts.banner = platform.gui.create_font("Verdana", 16, true);
    while (build_main_window(app) == LoopEnd::Rebuild) {
    }
  }
  end_of_program(app);
  return 0;
}

bool escape_released(App& app) {
  const auto down = app.platform.keyboard.escape_down(win::kMain);
  if (!down) {
    app.keyboard_bound = false;
    return false;
  }
  if (!app.keyboard_bound) {
    app.keyboard_bound = true;
    app.escape_held = false;
  }
  const bool released = app.escape_held && !*down;
  app.escape_held = *down;
  return released;
}

void clock_refresh(App& app) {
  const platform::LocalTime t = app.platform.clock.local_now();
  std::string time = two(t.hour) + ":" + two(t.minute) + ":" + two(t.second);
  if (time == app.last_shown_time) return;
  app.platform.gui.create_widget({win::kMain, wid::kClock, platform::WidgetKind::Label, 950, 30,
                                  300, 40, date_text(t) + " " + time, app.fonts.banner, kHintGrey});
  app.last_shown_time = std::move(time);
}

void pump_step(App& app) {
  app.platform.gui.surface_present();
  app.platform.gui.pump_one();
}

void event_pump(App& app) {
  pump_step(app);
  pump_step(app);
}

std::string minute_stamp(App& app) {
  const platform::LocalTime t = app.platform.clock.local_now();
  return date_text(t) + " " + two(t.hour) + ":" + two(t.minute);
}

}  // namespace morsello
