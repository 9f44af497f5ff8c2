// A full disk for this process: files cannot grow beyond `bytes` while the object lives
// (writes fail as on a full disk instead of raising SIGXFSZ).
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace test_support {

class DiskFullAt {
 public:
  explicit DiskFullAt(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~DiskFullAt() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, oldHandler_);
  }
  DiskFullAt(const DiskFullAt&) = delete;
  DiskFullAt& operator=(const DiskFullAt&) = delete;

 private:
  rlimit saved_{};
  sighandler_t oldHandler_ = SIG_DFL;
};

}  // namespace test_support
