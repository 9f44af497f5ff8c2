// A directory that this test process cannot write into, for as long as the object
// lives. Without root the write permission of the directory and of every file in it is
// taken away (and given back afterwards). Root writes whatever the permissions say, so
// for root the directory is bound read-only onto itself inside a mount namespace of the
// calling thread's own (nothing shows outside the test). Available() is false, with Why(),
// when neither can be done here.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

class TReadOnlyDir {
 public:
  explicit TReadOnlyDir(std::string dir) : dir_(std::move(dir)) {
    if (::geteuid() != 0) {
      TakeAway(dir_);
      for (const auto& e : std::filesystem::directory_iterator(dir_))
        if (e.is_regular_file()) TakeAway(e.path().string());
      available_ = true;
      return;
    }
    static bool ownNamespace = false;
    if (!ownNamespace) {
      if (::unshare(CLONE_NEWNS) != 0) {
        Fail("unshare(CLONE_NEWNS)");
        return;
      }
      // Mounts made here must not reach the namespace the test was started in.
      if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        Fail("mount private /");
        return;
      }
      ownNamespace = true;
    }
    if (::mount(dir_.c_str(), dir_.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      Fail("bind mount");
      return;
    }
    mounted_ = true;
    if (::mount(nullptr, dir_.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      Fail("read-only remount");
      return;
    }
    available_ = true;
  }
  ~TReadOnlyDir() {
    if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    for (auto it = modes_.rbegin(); it != modes_.rend(); ++it) ::chmod(it->first.c_str(), it->second);
  }
  TReadOnlyDir(const TReadOnlyDir&) = delete;
  TReadOnlyDir& operator=(const TReadOnlyDir&) = delete;

  bool Available() const { return available_; }
  const std::string& Why() const { return why_; }

 private:
  void TakeAway(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return;
    modes_.emplace_back(path, st.st_mode & 07777);
    ::chmod(path.c_str(), st.st_mode & 07555);
  }
  void Fail(const char* what) {
    why_ = std::string("no read-only directory for root here: ") + what + ": " + std::strerror(errno);
  }

  std::string dir_;
  bool available_ = false;
  bool mounted_ = false;
  std::string why_;
  std::vector<std::pair<std::string, mode_t>> modes_;
};

}  // namespace test_support
