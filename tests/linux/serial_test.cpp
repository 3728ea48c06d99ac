// Serial ports against real pseudo-terminal pairs made by socat: one end is
// linked into a temporary device directory as the port, the test reads the
// other end. Every wait is for a condition, with a time limit.
#include "platform/linux/serial.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace morsello::platform::linux_backend {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool wait_for(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
  const auto until = Steady::now() + limit;
  while (!condition()) {
    if (Steady::now() > until) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

bool is_terminal_link(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// A socat process joining two new pseudo-terminals, linked as `port` and
// `peer`; stopped by its PID.
class PtyPair {
 public:
  PtyPair(std::string port, std::string peer) : port_(std::move(port)), peer_(std::move(peer)) {
    const std::string a = "pty,raw,echo=0,link=" + port_;
    const std::string b = "pty,raw,echo=0,link=" + peer_;
    const char* argv[] = {"socat", a.c_str(), b.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc =
        posix_spawnp(&pid_, "socat", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) pid_ = -1;
  }
  ~PtyPair() {
    if (peer_fd_ >= 0) ::close(peer_fd_);
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // True once both links are there and the peer end is open for reading.
  bool ready() {
    if (pid_ <= 0) return false;
    if (!wait_for([&] { return is_terminal_link(port_) && is_terminal_link(peer_); })) return false;
    peer_fd_ = ::open(peer_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return peer_fd_ >= 0;
  }

  // The bytes that arrive at the peer within `limit`, up to `count` of them.
  std::string read_peer(std::size_t count, std::chrono::milliseconds limit = 3s) {
    std::string got;
    const auto until = Steady::now() + limit;
    while (got.size() < count && Steady::now() < until) {
      pollfd p{peer_fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      char buf[256];
      const ssize_t n = ::read(peer_fd_, buf, std::min(sizeof buf, count - got.size()));
      if (n > 0) got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }

 private:
  std::string port_, peer_;
  pid_t pid_ = -1;
  int peer_fd_ = -1;
};

bool write_text(SerialConnection& c, const std::string& s) {
  return c.write(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
}

class SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/morsello-serial-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string dir_;
  SerialSettings settings_;
};

TEST_F(SerialTest, BytesWrittenToACOMPortArriveInOrder) {
  PtyPair pair(dir_ + "/ttyS2", dir_ + "/peer");
  ASSERT_TRUE(pair.ready());
  TermiosSerial serial(dir_);
  auto port = serial.open("COM3", settings_);
  ASSERT_NE(port, nullptr);
  for (const char* b : {"1", "0", "1", "0"}) EXPECT_TRUE(write_text(*port, b));
  EXPECT_TRUE(write_text(*port, "\x01\xff\n\r\x11\x13 end"));  // no byte is translated
  const std::string want = "1010\x01\xff\n\r\x11\x13 end";
  EXPECT_EQ(pair.read_peer(want.size() + 1, 500ms), want);
}

// Raw 9600 8N1 without RTS/CTS; the XON/XOFF flags stay as the port had them.
TEST_F(SerialTest, TheLineSettingsAreAppliedAndXonXoffLeftAsFound) {
  PtyPair pair(dir_ + "/ttyS0", dir_ + "/peer");
  ASSERT_TRUE(pair.ready());
  // A descriptor opened before ours (exclusive mode keeps later ones out).
  const int watch = ::open((dir_ + "/ttyS0").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(watch, 0);
  TermiosSerial serial(dir_);
  for (const tcflag_t xon_xoff : {tcflag_t{0}, tcflag_t{IXON | IXOFF}}) {
    termios before{};
    ASSERT_EQ(::tcgetattr(watch, &before), 0);
    before.c_iflag = (before.c_iflag & ~static_cast<tcflag_t>(IXON | IXOFF)) | xon_xoff;
    before.c_cflag |= PARENB | CSTOPB | CRTSCTS;
    before.c_lflag |= ICANON | ECHO;
    ::cfsetospeed(&before, B115200);
    ASSERT_EQ(::tcsetattr(watch, TCSANOW, &before), 0);

    auto port = serial.open("COM1", settings_);
    ASSERT_NE(port, nullptr);
    termios t{};
    ASSERT_EQ(::tcgetattr(watch, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), B9600);
    EXPECT_EQ(::cfgetispeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), xon_xoff);
  }
  ::close(watch);
}

// The lock refuses a second opener of the same device, root and this very
// process included, under any name for it; the release lets the next one in.
TEST_F(SerialTest, APortIsHeldExclusivelyUntilReleased) {
  PtyPair pair(dir_ + "/ttyS2", dir_ + "/peer");
  ASSERT_TRUE(pair.ready());
  TermiosSerial serial(dir_);
  auto first = serial.open("COM3", settings_);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(serial.open("COM3", settings_), nullptr);
  EXPECT_EQ(serial.open(dir_ + "/ttyS2", settings_), nullptr);
  EXPECT_EQ(TermiosSerial(dir_).open("COM3", settings_), nullptr);
  first.reset();
  auto second = serial.open("COM3", settings_);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(write_text(*second, "1"));
  EXPECT_EQ(pair.read_peer(1), "1");
}

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

TEST_F(SerialTest, PortNames) {
  PtyPair pair(dir_ + "/ttyS2", dir_ + "/peer");
  ASSERT_TRUE(pair.ready());
  fs::create_directory(dir_ + "/sub");
  fs::create_symlink(dir_ + "/ttyS2", dir_ + "/sub/ttyacm0");
  fs::create_symlink(dir_ + "/ttyS2", dir_ + "/sub/dual");
  fs::create_symlink(dir_ + "/ttyS2", dir_ + "/sub/DUAL");
  struct Row {
    std::string name;
    bool opens;
  } const rows[] = {
      {"COM3", true},
      {"com3", true},
      {"COM03", false},  // no leading zero
      {"COM0", false},
      {"COM256", false},
      {"COM99", false},  // nothing there
      {"COM3 ", false},
      {"COM", false},
      {"", false},
      {"ttyS2", false},  // not a path, not a COM name
      {dir_ + "/ttyS2", true},
      {upper(dir_ + "/sub/ttyacm0"), true},  // as the upper-case port field holds it
      {dir_ + "/sub/DUAL", true},            // exact
      {dir_ + "/sub/Dual", false},           // two entries match: ambiguous
      {dir_ + "/sub/missing", false},
      {"/dev/null", false},  // not a terminal
  };
  TermiosSerial serial(dir_);
  for (const Row& r : rows) {
    auto port = serial.open(r.name, settings_);
    EXPECT_EQ(port != nullptr, r.opens) << "'" << r.name << "'";
  }
}

// A keying device plugged in later is found by the next open.
TEST_F(SerialTest, ADeviceAppearingLaterIsOpenedByALaterOpen) {
  TermiosSerial serial(dir_);
  EXPECT_EQ(serial.open("COM5", settings_), nullptr);
  PtyPair pair(dir_ + "/ttyS4", dir_ + "/peer");
  ASSERT_TRUE(pair.ready());
  auto port = serial.open("COM5", settings_);
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(write_text(*port, "1"));
  EXPECT_EQ(pair.read_peer(1), "1");
}

// Nobody reads the peer: once the buffers are full a write gives up after
// its time-out instead of blocking.
TEST_F(SerialTest, AWriteThatCannotGoOutTimesOut) {
  PtyPair pair(dir_ + "/ttyS2", dir_ + "/peer");
  ASSERT_TRUE(pair.ready());
  settings_.write_timeout_constant_ms = 50;
  settings_.write_timeout_per_byte_ms = 0;
  auto port = TermiosSerial(dir_).open("COM3", settings_);
  ASSERT_NE(port, nullptr);
  const std::vector<std::uint8_t> chunk(1024, 'x');
  bool refused = false;
  for (int i = 0; i < 4096 && !refused; ++i) {
    const auto t0 = Steady::now();
    refused = !port->write(chunk);
    EXPECT_LT(Steady::now() - t0, 1s);
  }
  EXPECT_TRUE(refused);
}

TEST(TermiosSerialNames, ExtraPortsAreTheUsbAdaptersInTheDeviceDirectory) {
  const auto names = TermiosSerial("/d").extra_port_names();
  ASSERT_EQ(names.size(), 20u);
  EXPECT_EQ(names.front(), "/d/ttyACM0");
  EXPECT_EQ(names[9], "/d/ttyACM9");
  EXPECT_EQ(names[10], "/d/ttyUSB0");
  EXPECT_EQ(names.back(), "/d/ttyUSB9");
}

}  // namespace
}  // namespace morsello::platform::linux_backend
