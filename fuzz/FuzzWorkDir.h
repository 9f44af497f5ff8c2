// The private directory of a fuzz target for the files it writes per input. It lies in
// memory (/dev/shm) when the system has it, so that the synchronous writes of the file
// code (fsync on every save) cost nothing, else in $TMPDIR or /tmp; it is removed when
// the process ends normally.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace fuzz_support {

inline std::string MakeWorkDir() {
  std::string base = "/dev/shm";
  if (::access(base.c_str(), W_OK | X_OK) != 0) {
    const char* tmp = std::getenv("TMPDIR");
    base = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
  }
  std::string tmpl = base + "/tarnwick-fuzz-XXXXXX";
  if (::mkdtemp(tmpl.data()) == nullptr) ::abort();
  return tmpl;
}

// The directory, made on the first call.
inline const std::string& WorkDir() {
  struct Holder {
    std::string path = MakeWorkDir();
    ~Holder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static const Holder holder;
  return holder.path;
}

// Writes the bytes as the whole file (created or emptied first), without the program's
// atomic save: an input is written thousands of times a second.
inline void WriteWholeFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) ::abort();
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n <= 0) ::abort();
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

}  // namespace fuzz_support
