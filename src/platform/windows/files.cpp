// The settings file on Win32: every open is CreateFileW with share mode 0, so
// no other program reads or writes it meanwhile, and a file another program
// holds open cannot be opened. A replacement is written beside the file and
// moved over it (MoveFileExW); tests cannot check under Wine a crash mid-move.
#include "platform/windows/files.h"

#include <windows.h>

#include <algorithm>

#include "platform/windows/wide.h"

namespace morsello::platform::windows_backend {

namespace {

// An open file handle, closed on scope exit.
class File {
 public:
  File(const std::wstring& path, DWORD access, DWORD disposition)
      : h_(CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr)) {}
  ~File() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  // Closes now; false when the close fails (the data may not have been kept).
  bool close() {
    const bool ok = CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE h_;
};

bool write_all(HANDLE h, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return FlushFileBuffers(h) != 0;
}

// The folder part of a relative or absolute name, "." when there is none.
std::wstring folder_of(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> Win32Files::read(const std::string& name) {
  File f(widen(name), GENERIC_READ, OPEN_EXISTING);
  if (!f) return std::nullopt;
  std::string out;
  char buf[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(f.get(), buf, sizeof buf, &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    out.append(buf, got);
  }
  return out;
}

bool Win32Files::append(const std::string& name, const std::string& bytes) {
  File f(widen(name), GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (!f) return false;
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(f.get(), zero, nullptr, FILE_END)) return false;
  return write_all(f.get(), bytes) && f.close();
}

bool Win32Files::replace(const std::string& name, const std::string& bytes) {
  const std::wstring target = widen(name);
  // A file the operator made read-only stays as it is.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return false;
  }
  // A name of its own in the same folder, so that the move is a rename on one
  // volume; GetTempFileNameW creates it, empty, and we hold it while writing.
  wchar_t temp[MAX_PATH];
  if (GetTempFileNameW(folder_of(target).c_str(), L"tkt", 0, temp) == 0) return false;
  bool ok = false;
  {
    File f(temp, GENERIC_WRITE, TRUNCATE_EXISTING);
    ok = f && write_all(f.get(), bytes) && f.close();
  }
  // MoveFileExW fails while another program holds the old file open; the old
  // file is then untouched.
  ok = ok && MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temp);
  return ok;
}

}  // namespace morsello::platform::windows_backend
