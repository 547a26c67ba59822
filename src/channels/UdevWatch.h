// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "channels/UdevPtr.h"
#include "channels/UniqueFd.h"

namespace plenar {

// How a watch thread's wait ended: asked to stop, or the watched descriptor failed (closed,
// hung up, or ready again and again with nothing to read) and the watch gave up instead of
// waking without end.
enum class WatchEnd { Stopped, Failed };

// The wait of a watch thread: runs `readable` whenever `watchedFd` has something (or an error)
// to read, until `stopFd` becomes readable. `readable` returns whether it took anything from the
// descriptor; a descriptor that keeps waking the wait with nothing to take ends it after a
// hundred wakes in a row, a closed or hung-up one at once, as does a failing poll() (EINTR
// only repeats it).
WatchEnd watchDescriptor(int watchedFd, int stopFd, const std::function<bool()>& readable);

// Watches udev for devices of the given subsystems being added or removed, on a thread of its
// own.
// Threads: `changed` runs on the watch thread and must only queue; construct and destroy on one
// thread.
class UdevWatch {
 public:
  struct Match {
    const char* subsystem;
    const char* devtype;  // null: any
  };

  // Starts watching; without udev (no netlink socket, e.g. in a container) it watches nothing.
  // `changed(true)` for an added device, `changed(false)` for a removed one.
  UdevWatch(const std::vector<Match>& matches, std::function<void(bool added)> changed);
  ~UdevWatch();  // stops and joins the thread
  UdevWatch(const UdevWatch&) = delete;
  UdevWatch& operator=(const UdevWatch&) = delete;

  // True while the thread watches: false without udev, or once the wait has failed.
  bool watching() const { return watching_.load(); }

 private:
  void run();

  std::function<void(bool)> changed_;
  UdevPtr udev_;
  UdevMonitorPtr monitor_;
  UniqueFd stop_;  // eventfd: wakes the thread's wait to end it
  std::atomic<bool> watching_{false};
  std::thread thread_;
};

}  // namespace plenar
