// Keyboard polling on Win32: the Escape key's state at the moment of asking.
// Cannot: see a press and release that both fall between two examinations
// (only the "down now" bit counts). Tests cannot check under Wine: that the
// state is read while the thread is blocked and pumps no messages.
#pragma once

#include <optional>

#include "platform/platform.h"
#include "platform/windows/gui.h"

namespace morsello::platform::windows_backend {

class Win32Keyboard final : public Keyboard {
 public:
  explicit Win32Keyboard(const Win32Gui& gui) : gui_(gui) {}
  bool init() override { return true; }  // nothing to open on Windows
  std::optional<bool> escape_down(int main_window) override;

 private:
  const Win32Gui& gui_;
};

}  // namespace morsello::platform::windows_backend
