// The process-wide values of the program. They are created at start-up, live
// until the end and survive every rebuild of the main window.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace morsello {

// What an activity tells its caller: carry on, or the main window must be
// built again. A rebuild travels up the call chain as this value to the one
// driver loop; nothing nests.
enum class [[nodiscard]] Flow { Go, Rebuild };

inline constexpr int kSettingsCount = 10;
using SettingsModel = std::array<std::string, kSettingsCount>;  // TK001..TK010

struct SettingsRow {
  std::string key, value;
};
using SettingsTable = std::array<SettingsRow, kSettingsCount>;

struct Fonts {
  platform::FontId banner = platform::kDefaultFont;
  platform::FontId title = platform::kDefaultFont;
  platform::FontId hint = platform::kDefaultFont;
};

struct RunParams {
  std::int64_t tone_hz = 0;
  std::int64_t element_ms = 0;  // U, the dot length
  std::int64_t carrier_ms = 0;
  std::int64_t carrier_pause_ms = 0;
  std::int64_t repeat_pause_ms = 0;
  std::int64_t count = 0;
};

struct Timing {
  std::int64_t dot = 0, dash = 0, element_gap = 0, char_gap = 0, word_gap = 0;
};

struct App {
  explicit App(platform::Platform& p) : platform(p) {}

  platform::Platform& platform;
  int main_width = 0;
  int main_height = 0;
  SettingsModel model;
  SettingsTable table;
  std::string sent_count_text;
  std::string last_shown_time;
  Fonts fonts;

  // Keyboard polling: bound to the current main window until a snapshot fails.
  bool keyboard_bound = false;
  bool escape_held = false;

  RunParams params;
  std::int64_t counter = 0;  // the transmission counter
  Timing timing;
  // The one serial connection shared by the keying line and port discovery.
  std::unique_ptr<platform::SerialConnection> keying_slot;
};

}  // namespace morsello
