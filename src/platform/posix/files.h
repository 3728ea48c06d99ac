#pragma once

#include <string>

#include "platform/platform.h"

namespace morsello::platform::posix {

// Files relative to a directory (the working directory by default). Opens are
// exclusive through flock(), the nearest Linux has to an unshared open.
class PosixFiles final : public Files {
 public:
  explicit PosixFiles(std::string directory = ".") : dir_(std::move(directory)) {}
  std::optional<std::string> read(const std::string& name) override;
  bool append(const std::string& name, const std::string& bytes) override;
  bool replace(const std::string& name, const std::string& bytes) override;

 private:
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::string dir_;
};

}  // namespace morsello::platform::posix
