// Saves of one file by several processes at once, and whether any was lost: every
// process logs each save it was told is done as "<state it started from> <state it
// wrote>". Without a lost save these form one chain from the first state to the last,
// and no two saves start from the same state. A state must name one state of the file:
// a file that comes back to a state it held before reads as a lost save.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

struct TSaveChain {
  bool ChildrenOk = true;  // every process ended with 0
  int Saves = 0;           // saves reported done
  int SameStart = 0;       // saves that started from a state another save started from
  int Chain = 0;           // saves on the chain from the first state
  std::string Last;        // the state the chain ends in
};

// Runs saver(k) for k = 0 .. processes - 1, each in a process of its own that is killed
// after 50 s; saver gives the log (its lines as above). logDir: a directory (system path)
// for the logs. The processes start their saves together, once all of them are there.
inline TSaveChain RunSavers(int processes, const std::string& first, const std::string& logDir,
                            const std::function<std::string(int)>& saver) {
  TSaveChain r;
  std::vector<pid_t> children;
  int start[2];
  if (::pipe2(start, O_CLOEXEC) != 0) {
    r.ChildrenOk = false;
    return r;
  }
  for (int k = 0; k < processes; ++k) {
    const pid_t child = ::fork();
    if (child < 0) {
      r.ChildrenOk = false;
      break;
    }
    if (child == 0) {
      // Bounded whatever the test process did with the alarm signal.
      ::signal(SIGALRM, SIG_DFL);
      sigset_t alarmOnly;
      sigemptyset(&alarmOnly);
      sigaddset(&alarmOnly, SIGALRM);
      ::sigprocmask(SIG_UNBLOCK, &alarmOnly, nullptr);
      ::alarm(50);
      // The start: the end of the pipe, when the test process closes its end.
      ::close(start[1]);
      char none;
      while (::read(start[0], &none, 1) < 0 && errno == EINTR) {
      }
      ::close(start[0]);
      const std::string log = saver(k);
      std::ofstream(logDir + "/log" + std::to_string(k)) << log;
      ::_exit(0);
    }
    children.push_back(child);
  }
  ::close(start[0]);
  ::close(start[1]);
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    r.ChildrenOk = r.ChildrenOk && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  std::map<std::string, std::string> next;
  for (int k = 0; k < processes; ++k) {
    std::ifstream in(logDir + "/log" + std::to_string(k));
    for (std::string from, to; in >> from >> to; ++r.Saves)
      if (!next.emplace(from, to).second) ++r.SameStart;
  }
  r.Last = first;
  // A save that logged the state it started from as the one it wrote would close a cycle:
  // the walk stops after as many steps as there were saves.
  for (auto it = next.find(r.Last); it != next.end() && r.Chain <= r.Saves; it = next.find(r.Last))
    r.Last = it->second, ++r.Chain;
  return r;
}
