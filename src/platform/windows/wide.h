// UTF-8 (the program's texts) to and from UTF-16 (every W function of Win32).
// Cannot: keep malformed UTF-8 or lone surrogates; both become U+FFFD.
// Tests cannot check under Wine: code pages of a real Windows installation.
#pragma once

#include <string>

namespace morsello::platform::windows_backend {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);

}  // namespace morsello::platform::windows_backend
