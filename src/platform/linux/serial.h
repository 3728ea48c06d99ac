#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace morsello::platform::linux_backend {

// Serial ports through termios. "COMn" names <device dir>/ttyS{n-1}; a name
// beginning with "/" is a device path.
class TermiosSerial final : public Serial {
 public:
  explicit TermiosSerial(std::string device_dir = "/dev") : dev_dir_(std::move(device_dir)) {}
  std::unique_ptr<SerialConnection> open(const std::string& name,
                                         const SerialSettings& settings) override;
  std::vector<std::string> extra_port_names() override;

 private:
  // The device a port name stands for; empty when it names none.
  std::optional<std::string> device_path(const std::string& name) const;

  std::string dev_dir_;
  // The devices this process holds open; shared with the connections, which
  // may outlive this object.
  std::shared_ptr<std::set<dev_t>> held_ = std::make_shared<std::set<dev_t>>();
};

}  // namespace morsello::platform::linux_backend
