// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TerminationSignals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace plenar {

namespace {

std::atomic<int> receivedSignal{0};

// The last words and their lock are never destroyed: the watcher may still read them while the
// main thread, done with its run, is already running the program's exit.
std::mutex& lastWordsMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
std::function<void(int)>& lastWords() {  // under lastWordsMutex()
  static auto* words = new std::function<void(int)>;
  return *words;
}

sigset_t terminationSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

void installTerminationHandler(std::function<void(int)> onSignal, int graceMs) {
  sigset_t set = terminationSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set, onSignal = std::move(onSignal), graceMs] {
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    receivedSignal.store(signal);
    onSignal(signal);
    // The orderly close has `graceMs`; a second signal cuts it short.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      timespec wait{static_cast<time_t>(left.count() / 1000000000),
                    static_cast<long>(left.count() % 1000000000)};
      if (sigtimedwait(&set, nullptr, &wait) > 0) break;
    }
    std::function<void(int)> words;
    {
      std::lock_guard lock(lastWordsMutex());
      words = lastWords();
    }
    if (words) words(signal);
    _exit(128 + signal);
  }).detach();
}

void setLastWords(std::function<void(int)> words) {
  std::lock_guard lock(lastWordsMutex());
  lastWords() = std::move(words);
}

int terminationSignal() {
  return receivedSignal.load();
}

std::string signalName(int signal) {
  switch (signal) {
    case SIGTERM:
      return "SIGTERM";
    case SIGINT:
      return "SIGINT";
    case SIGHUP:
      return "SIGHUP";
  }
  return "signal " + std::to_string(signal);
}

}  // namespace plenar
