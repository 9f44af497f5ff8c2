// Helpers of the table-engine tests: a second process, error expectations, file bytes.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "tables/db_eror.h"
#include "test_support/DiskFull.h"
#include "test_support/TempDir.h"

namespace tables_test {

// Runs the helper program to its end; its exit status.
inline int RunHelper(std::initializer_list<std::string> args) {
  std::vector<std::string> a{TW_TABLES_HELPER};
  a.insert(a.end(), args);
  std::vector<char*> argv;
  for (auto& s : a) argv.push_back(s.data());
  argv.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::execv(argv[0], argv.data());
    ::_exit(201);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A helper that holds a file (and a region) until it is stopped.
class HeldByOtherProcess {
 public:
  explicit HeldByOtherProcess(std::initializer_list<std::string> args) {
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> a{TW_TABLES_HELPER, "hold"};
    a.insert(a.end(), args);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::close(in[1]);
      ::close(out[0]);
      std::vector<char*> argv;
      for (auto& s : a) argv.push_back(s.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(201);
    }
    ::close(in[0]);
    ::close(out[1]);
    toChild_ = in[1];
    char buf[16] = {};
    ready_ = ::read(out[0], buf, 6) == 6 && std::string(buf, 5) == "ready";
    ::close(out[0]);
  }
  ~HeldByOtherProcess() {
    ::close(toChild_);
    int status;
    ::waitpid(pid_, &status, 0);
  }
  bool Ready() const { return ready_; }

 private:
  pid_t pid_ = -1;
  int toChild_ = -1;
  bool ready_ = false;
};

using test_support::DiskFullAt;

inline std::string ReadBytes(const std::string& sysPath) {
  std::ifstream f(sysPath, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& sysPath, const std::string& bytes) {
  std::ofstream f(sysPath, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const EDbfError& e) {
    return e.Message();
  }
  return "<no EDbfError>";
}

// Bytes from hex text, "#" lines being comments.
inline std::string FromHex(const std::string& text) {
  std::string out;
  int high = -1;
  bool comment = false;
  for (char c : text) {
    if (c == '#') comment = true;
    if (c == '\n') comment = false;
    if (comment) continue;
    int v = c >= '0' && c <= '9' ? c - '0' : (c >= 'a' && c <= 'f' ? c - 'a' + 10 : (c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1));
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      out += static_cast<char>(high * 16 + v);
      high = -1;
    }
  }
  return out;
}

}  // namespace tables_test
