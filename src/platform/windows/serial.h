// Serial ports on Win32: "COM1" and the like through the comm API.
// Cannot: list ports beyond the COM names (extra_port_names() is empty).
// Tests cannot check under Wine: the exclusive open against other programs and
// the queue sizes (Wine enforces neither) or a real UART's modem lines.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace morsello::platform::windows_backend {

class Win32Serial final : public Serial {
 public:
  std::unique_ptr<SerialConnection> open(const std::string& name,
                                         const SerialSettings& settings) override;
  std::vector<std::string> extra_port_names() override { return {}; }

  // The device paths (in capitals) of the ports this process holds open.
  using HeldPorts = std::set<std::wstring>;

 private:
  std::shared_ptr<HeldPorts> held_ = std::make_shared<HeldPorts>();
};

// The device path of a port name: "COM12" is \\.\COM12; a name already in
// that form stays. Empty for names that are not a bare device name.
std::wstring device_path(const std::string& name);

}  // namespace morsello::platform::windows_backend
