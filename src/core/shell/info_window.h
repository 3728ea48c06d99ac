// The information window: the Morse table and operating notes. It has its
// own small loop and always ends in a rebuild of the main window.
#pragma once

#include "core/app.h"

namespace morsello {

Flow info_window(App& app);

}  // namespace morsello
