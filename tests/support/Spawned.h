// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace plenar::test {

// A program started for one test while the test goes on (to signal it or talk to its terminal),
// its standard streams on the descriptors given (-1: /dev/null). wait() is bounded; the
// destructor kills (SIGKILL) and reaps a program that still runs.
// Threads: one thread.
class Spawned {
 public:
  struct Options {
    std::vector<std::string> argv;  // argv[0] is the program's path
    int in = -1, out = -1, err = -1;
    std::string cwd;             // empty: the test's own
    bool coreUnlimited = false;  // RLIMIT_CORE unlimited, as `ulimit -c unlimited`
  };

  explicit Spawned(const Options& o) {
    std::vector<char*> args;
    for (const std::string& a : o.argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    pid_ = ::fork();
    if (pid_ != 0) {
      ::close(null);
      return;
    }
    // The child: only calls that are safe after fork() in a threaded process.
    ::setsid();  // its own session: a terminal given to it may become its controlling one
    ::dup2(o.in >= 0 ? o.in : null, STDIN_FILENO);
    ::dup2(o.out >= 0 ? o.out : null, STDOUT_FILENO);
    ::dup2(o.err >= 0 ? o.err : null, STDERR_FILENO);
    if (!o.cwd.empty() && ::chdir(o.cwd.c_str()) != 0) ::_exit(127);
    if (o.coreUnlimited) {
      const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
      ::setrlimit(RLIMIT_CORE, &unlimited);
    }
    // The test may block signals in its threads; the program starts with none blocked.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGQUIT, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ~Spawned() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;

  pid_t pid() const { return pid_; }

  // The status as waitpid() gives it once the program ended; nullopt while it still runs after
  // `timeout`.
  std::optional<int> wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status_) {
      int status = 0;
      const pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        status_ = status;
      } else if (std::chrono::steady_clock::now() >= deadline) {
        break;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

}  // namespace plenar::test
