// Keying elements and the keying line: the dot and the dash, the keyed tone
// they share with the carrier lead-in, and the serial line to the keying
// device, which takes "1" for key down and "0" for key up.
#pragma once

#include <cstdint>

#include "core/app.h"

namespace morsello::morse {

enum class ToneOutcome { NotStarted, NoSound, Done };

// The line settings of the keying device.
platform::SerialSettings keying_line_settings();

// Every duration of a message follows from the element length U.
Timing timing_for(std::int64_t element_ms);

// Keying is enabled when the port name is greater than " ".
bool keying_enabled(const App& app);

// Sounds the tone and holds the key down for `key_down_ms`.
ToneOutcome keyed_tone(App& app, std::int64_t key_down_ms);

// Escape released check, then a dot; asks for a rebuild on Escape.
Flow dot_element(App& app);
// A dash; never looks at the keyboard.
void dash_element(App& app);

// Opens the keying port into the slot; a failure leaves the slot as it was.
void request_keying_connection(App& app);

// Waits `ms` milliseconds; 0 or less returns at once.
void wait(App& app, std::int64_t ms);

}  // namespace morsello::morse
