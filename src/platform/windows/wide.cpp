// UTF-8 and UTF-16 through MultiByteToWideChar and WideCharToMultiByte with
// CP_UTF8, which never depend on the user's code page. Malformed input is
// replaced, not refused: a settings value must always reach its field.
// Tests cannot check under Wine: the conversion tables of a real Windows.
#include "platform/windows/wide.h"

#include <windows.h>

namespace morsello::platform::windows_backend {

std::wstring widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  }
  return out;
}

std::string narrow(const std::wstring& utf16) {
  if (utf16.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n,
                        nullptr, nullptr);
  }
  return out;
}

}  // namespace morsello::platform::windows_backend
