// COM ports through CreateFileW on \\.\COMn with no sharing, SetupComm,
// Get/SetCommState and SetCommTimeouts; an open counts only when the line
// settings were taken. Cannot: open a port another program holds. Tests cannot
// check under Wine: that refusal (Wine lets a second open through).
//
// A port this process already holds is refused before CreateFileW: some
// virtual and redirected COM drivers (and Wine) let a second open through, and
// the keying line asks for an open before every byte. Taking that open would
// close and re-open the line between elements, re-apply its settings and delay
// the byte by however long the driver takes.
#include "platform/windows/serial.h"

#include <windows.h>

#include <utility>

#include "platform/windows/wide.h"

namespace morsello::platform::windows_backend {

namespace {

class Win32Connection final : public SerialConnection {
 public:
  Win32Connection(HANDLE port, std::shared_ptr<Win32Serial::HeldPorts> held, std::wstring path)
      : port_(port), held_(std::move(held)), path_(std::move(path)) {}
  ~Win32Connection() override {
    CloseHandle(port_);
    held_->erase(path_);
  }
  Win32Connection(const Win32Connection&) = delete;
  Win32Connection& operator=(const Win32Connection&) = delete;

  bool write(std::span<const std::uint8_t> bytes) override {
    DWORD written = 0;
    // Synchronous: the write time-outs end it after 10 ms + 100 ms per byte.
    const BOOL ok =
        WriteFile(port_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return ok && written == bytes.size();
  }

 private:
  HANDLE port_;
  std::shared_ptr<Win32Serial::HeldPorts> held_;
  std::wstring path_;
};

BYTE stop_bits_of(int n) { return n == 2 ? TWOSTOPBITS : ONESTOPBIT; }

// The line settings on top of what the port reports: DTR, DSR and XON/XOFF
// stay as they are. False when the port refuses them.
bool apply(HANDLE port, const SerialSettings& s) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) return false;
  dcb.BaudRate = static_cast<DWORD>(s.baud);
  dcb.ByteSize = static_cast<BYTE>(s.data_bits);
  dcb.Parity = NOPARITY;
  dcb.StopBits = stop_bits_of(s.stop_bits);
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = s.rts_cts_flow ? TRUE : FALSE;
  dcb.fRtsControl = s.rts_on ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  if (!SetCommState(port, &dcb)) return false;

  // Only the write time-outs; nothing is ever read.
  COMMTIMEOUTS t{};
  if (!GetCommTimeouts(port, &t)) t = COMMTIMEOUTS{};
  t.WriteTotalTimeoutConstant = static_cast<DWORD>(s.write_timeout_constant_ms);
  t.WriteTotalTimeoutMultiplier = static_cast<DWORD>(s.write_timeout_per_byte_ms);
  (void)SetCommTimeouts(port, &t);  // a driver without them still writes
  return true;
}

bool is_device_name(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!letter && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

}  // namespace

std::wstring device_path(const std::string& name) {
  static const std::string kPrefix = "\\\\.\\";
  if (name.rfind(kPrefix, 0) == 0 && is_device_name(name.substr(kPrefix.size()))) {
    return widen(name);
  }
  // A bare name only: no path, drive or file name ever reaches CreateFileW.
  if (!is_device_name(name)) return {};
  return widen(kPrefix + name);
}

std::unique_ptr<SerialConnection> Win32Serial::open(const std::string& name,
                                                    const SerialSettings& settings) {
  std::wstring path = device_path(name);
  if (path.empty()) return nullptr;
  CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));  // "com1" is COM1
  if (held_->contains(path)) return nullptr;
  HANDLE port = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (port == INVALID_HANDLE_VALUE) return nullptr;
  // Queue sizes are a request that drivers may round or ignore.
  (void)SetupComm(port, static_cast<DWORD>(settings.input_queue),
                  static_cast<DWORD>(settings.output_queue));
  if (!apply(port, settings)) {
    CloseHandle(port);
    return nullptr;
  }
  held_->insert(path);
  return std::make_unique<Win32Connection>(port, held_, std::move(path));
}

}  // namespace morsello::platform::windows_backend
