// The message sender: the optional carrier lead-in, then the message text as
// Morse, then the pause between transmissions, with progress in the form.
#pragma once

#include <string_view>

#include "core/app.h"

namespace morsello::morse {

// The elements of a character ("." dot, "-" dash); empty when it has none.
std::string_view morse_code(char32_t c);

// Sends the message text once from the run parameters; asks for a rebuild
// when Escape aborts it.
Flow send_message(App& app);

}  // namespace morsello::morse
