// Whole-file operations on Win32, names relative to the working directory.
// Cannot: replace a file that another program holds open (Windows refuses the
// rename). Tests cannot check under Wine: sharing violations (Wine maps share
// modes onto its own locks, not onto what other Windows programs do).
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace morsello::platform::windows_backend {

class Win32Files final : public Files {
 public:
  std::optional<std::string> read(const std::string& name) override;
  bool append(const std::string& name, const std::string& bytes) override;
  bool replace(const std::string& name, const std::string& bytes) override;
};

}  // namespace morsello::platform::windows_backend
