// The ten settings, their defaults and the settings file "taktell.cnf".
#pragma once

#include <string>
#include <string_view>

#include "core/app.h"

namespace morsello::settings {

// Indexes into the settings model; key TK001 is index 0.
inline constexpr int kTone = 0;          // TK001
inline constexpr int kDot = 1;           // TK002
inline constexpr int kText = 2;          // TK003
inline constexpr int kCarrier = 3;       // TK004
inline constexpr int kRepeatPause = 4;   // TK005
inline constexpr int kCount = 5;         // TK006
inline constexpr int kCarrierPause = 6;  // TK007
inline constexpr int kPort = 7;          // TK008
inline constexpr int kStart = 8;         // TK009
inline constexpr int kStop = 9;          // TK010

inline constexpr const char* kFileName = "taktell.cnf";

// "TK001" .. "TK010".
std::string key_of(int index);

// The ten lines of the table as the file holds them (CR LF after each).
std::string write_step(const SettingsTable& table);

// The value the file's text gives for `key`: the last matching line wins;
// empty when no line carries the key.
std::string value_in(std::string_view file, std::string_view key);

// Fills the settings model from the file, writing the defaults first when the
// file cannot be read. Runs at every build of the main window.
void load(App& app);

// The action of "Spara": the form into the model and the file, confirmation,
// then a rebuild.
Flow save(App& app);

}  // namespace morsello::settings
