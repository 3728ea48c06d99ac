// Serial ports through termios. "COMn" is <device dir>/ttyS{n-1}; a device
// path is opened as given or, failing that, matched case-insensitively. Linux
// has no per-port queue sizes (the driver's buffers are fixed), so those two
// settings are not applied; a pseudo-terminal in a test takes no RTS either.
#include "platform/linux/serial.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

namespace morsello::platform::linux_backend {

namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// "COM1" to "COM255" (decimal, no leading zero) as the number, else empty.
std::optional<int> com_number(const std::string& name) {
  if (name.size() < 4 || name.size() > 6 || strncasecmp(name.c_str(), "COM", 3) != 0) {
    return std::nullopt;
  }
  if (name[3] == '0') return std::nullopt;
  int n = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    n = n * 10 + (name[i] - '0');
  }
  if (n < 1 || n > 255) return std::nullopt;
  return n;
}

// The entry of `dir` whose name equals `component` ignoring ASCII case; empty
// when there is none, or several (the name would be ambiguous).
std::optional<std::string> match_entry(const std::string& dir, const std::string& component) {
  DIR* d = ::opendir(dir.empty() ? "/" : dir.c_str());
  if (d == nullptr) return std::nullopt;
  std::optional<std::string> found;
  bool ambiguous = false;
  while (const dirent* e = ::readdir(d)) {
    if (strcasecmp(e->d_name, component.c_str()) != 0) continue;
    if (found) ambiguous = true;
    found = e->d_name;
  }
  ::closedir(d);
  if (ambiguous) return std::nullopt;
  return found;
}

// An absolute path that does not exist as written, looked up one component
// at a time: an exact entry first, else the one entry that differs only in
// case. The port field turns /dev/ttyACM0 into /DEV/TTYACM0.
std::optional<std::string> resolve_ignoring_case(const std::string& path) {
  std::string resolved;
  std::size_t pos = 1;
  while (pos <= path.size()) {
    const std::size_t slash = std::min(path.find('/', pos), path.size());
    const std::string component = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (component.empty()) continue;
    const std::string exact = resolved + "/" + component;
    if (component == "." || component == ".." || exists(exact)) {
      resolved = exact;
      continue;
    }
    const auto entry = match_entry(resolved, component);
    if (!entry) return std::nullopt;
    resolved += "/" + *entry;
  }
  return resolved.empty() ? "/" : resolved;
}

speed_t speed_of(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
  }
}

tcflag_t size_of(int data_bits) {
  switch (data_bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    case 8: return CS8;
    default: return 0;
  }
}

// Raw mode without handshake; the XON/XOFF flags and DTR stay as the port
// reports them. False when the port refuses the settings.
bool apply(int fd, const SerialSettings& s) {
  const speed_t speed = speed_of(s.baud);
  const tcflag_t size = size_of(s.data_bits);
  if (speed == B0 || size == 0 || (s.stop_bits != 1 && s.stop_bits != 2)) return false;
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return false;
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= size | CLOCAL | CREAD;
  if (s.stop_bits == 2) t.c_cflag |= CSTOPB;
  if (s.rts_cts_flow) t.c_cflag |= CRTSCTS;
  t.c_cc[VMIN] = 0;  // nothing is ever read
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return false;
  if (::tcsetattr(fd, TCSANOW, &t) != 0) return false;
  // tcsetattr succeeds when any part is taken; check the parts that matter.
  termios now{};
  if (::tcgetattr(fd, &now) != 0) return false;
  if (::cfgetospeed(&now) != speed || (now.c_cflag & CSIZE) != size ||
      (now.c_cflag & PARENB) != 0) {
    return false;
  }
  // Ports without modem lines (pseudo-terminals) refuse this; that is fine.
  int rts = TIOCM_RTS;
  (void)::ioctl(fd, s.rts_on ? TIOCMBIS : TIOCMBIC, &rts);
  return true;
}

std::int64_t monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

class TermiosConnection final : public SerialConnection {
 public:
  TermiosConnection(int fd, const SerialSettings& s, std::shared_ptr<std::set<dev_t>> held,
                    dev_t device)
      : fd_(fd),
        timeout_constant_ms_(s.write_timeout_constant_ms),
        timeout_per_byte_ms_(s.write_timeout_per_byte_ms),
        held_(std::move(held)),
        device_(device) {
    held_->insert(device_);
  }
  ~TermiosConnection() override {
    held_->erase(device_);
    (void)::ioctl(fd_, TIOCNXCL);  // the exclusive mode would outlive us otherwise
    ::close(fd_);                  // also drops the lock
  }
  TermiosConnection(const TermiosConnection&) = delete;
  TermiosConnection& operator=(const TermiosConnection&) = delete;

  bool write(std::span<const std::uint8_t> bytes) override {
    const std::int64_t deadline = monotonic_ms() + timeout_constant_ms_ +
                                  timeout_per_byte_ms_ * static_cast<std::int64_t>(bytes.size());
    std::size_t done = 0;
    while (done < bytes.size()) {
      const std::int64_t left = deadline - monotonic_ms();
      if (left <= 0) return false;
      pollfd p{fd_, POLLOUT, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left, 1 << 30)));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
  std::int64_t timeout_constant_ms_;
  std::int64_t timeout_per_byte_ms_;
  std::shared_ptr<std::set<dev_t>> held_;
  dev_t device_;
};

}  // namespace

std::optional<std::string> TermiosSerial::device_path(const std::string& name) const {
  if (const auto n = com_number(name)) return dev_dir_ + "/ttyS" + std::to_string(*n - 1);
  if (name.empty() || name[0] != '/') return std::nullopt;
  if (exists(name)) return name;
  return resolve_ignoring_case(name);
}

std::unique_ptr<SerialConnection> TermiosSerial::open(const std::string& name,
                                                      const SerialSettings& settings) {
  const auto path = device_path(name);
  if (!path) return nullptr;
  // The keying line asks for its port before every byte; a port this process
  // already holds is refused without touching the device, which costs a few
  // milliseconds of the element's timing otherwise. The lock below still
  // refuses it should two names lead to one device unseen here.
  struct stat st {};
  if (::stat(path->c_str(), &st) == 0 && held_->count(st.st_rdev) != 0) return nullptr;
  const int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // TIOCEXCL keeps other programs out, but not root; the lock keeps out every
  // other opener that asks for it, this process included.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
    ::close(fd);
    return nullptr;
  }
  if (!apply(fd, settings)) {
    (void)::ioctl(fd, TIOCNXCL);
    ::close(fd);
    return nullptr;
  }
  struct stat opened {};
  const dev_t device = ::fstat(fd, &opened) == 0 ? opened.st_rdev : 0;
  return std::make_unique<TermiosConnection>(fd, settings, held_, device);
}

std::vector<std::string> TermiosSerial::extra_port_names() {
  std::vector<std::string> names;
  for (const char* stem : {"ttyACM", "ttyUSB"}) {
    for (int i = 0; i < 10; ++i) names.push_back(dev_dir_ + "/" + stem + std::to_string(i));
  }
  return names;
}

}  // namespace morsello::platform::linux_backend
