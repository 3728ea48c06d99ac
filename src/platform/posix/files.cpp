// Settings-file access on POSIX systems (the Linux backend and the simulated
// platform, which keeps real files). Exclusivity is advisory (flock): it keeps two
// copies of this program apart, not an editor that ignores locks.
#include "platform/posix/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace morsello::platform::posix {

namespace {

// An open descriptor holding an exclusive lock; closed on scope exit.
class LockedFd {
 public:
  LockedFd(const std::string& path, int flags, mode_t mode = 0644) {
    fd_ = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~LockedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  LockedFd(const LockedFd&) = delete;
  LockedFd& operator=(const LockedFd&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

bool write_all(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::optional<std::string> PosixFiles::read(const std::string& name) {
  LockedFd fd(path(name), O_RDONLY);
  if (!fd) return std::nullopt;
  std::string out;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

bool PosixFiles::append(const std::string& name, const std::string& bytes) {
  LockedFd fd(path(name), O_WRONLY | O_CREAT | O_APPEND);
  return fd && write_all(fd.get(), bytes) && ::fsync(fd.get()) == 0;
}

bool PosixFiles::replace(const std::string& name, const std::string& bytes) {
  const std::string target = path(name);
  mode_t mode = 0644;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    // A file the operator made read-only stays as it is, even for root, who
    // could otherwise rename over it.
    if ((st.st_mode & S_IWUSR) == 0) return false;
    mode = st.st_mode & 07777;
  }
  // Hold the old file's lock for the whole replacement, so that another copy
  // of the program never reads a half-made state, and give up while another
  // holds it.
  LockedFd old(target, O_RDONLY);
  if (!old && ::access(target.c_str(), F_OK) == 0) return false;

  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0 && write_all(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace morsello::platform::posix
