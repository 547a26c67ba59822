// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/UdevWatch.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <cstring>

namespace plenar {
namespace {

// A descriptor that wakes the wait this often in a row with nothing to take is broken.
constexpr int kMaxEmptyWakes = 100;

}  // namespace

WatchEnd watchDescriptor(int watchedFd, int stopFd, const std::function<bool()>& readable) {
  int emptyWakes = 0;
  for (;;) {
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {watchedFd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return WatchEnd::Failed;
    }
    if (fds[0].revents != 0) return WatchEnd::Stopped;
    const short events = fds[1].revents;
    if ((events & (POLLNVAL | POLLHUP)) != 0) return WatchEnd::Failed;
    // An error is read like data: receiving is what clears a netlink socket's overrun.
    if ((events & (POLLIN | POLLERR)) == 0) continue;
    if (readable()) {
      emptyWakes = 0;
    } else if (++emptyWakes >= kMaxEmptyWakes) {
      return WatchEnd::Failed;
    }
  }
}

UdevWatch::UdevWatch(const std::vector<Match>& matches, std::function<void(bool added)> changed)
    : changed_(std::move(changed)) {
  udev_.reset(udev_new());
  if (!udev_) return;
  monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), "udev"));
  if (!monitor_) return;
  for (const Match& m : matches) {
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), m.subsystem, m.devtype) <
        0) {
      monitor_.reset();
      return;
    }
  }
  if (udev_monitor_enable_receiving(monitor_.get()) < 0) {
    monitor_.reset();
    return;
  }
  stop_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!stop_.valid()) {
    monitor_.reset();
    return;
  }
  watching_ = true;
  thread_ = std::thread(&UdevWatch::run, this);
}

UdevWatch::~UdevWatch() {
  if (!thread_.joinable()) return;
  const std::uint64_t one = 1;
  // A failed wake-up would leave join() waiting; eventfd only refuses on overflow.
  [[maybe_unused]] ssize_t n = ::write(stop_.get(), &one, sizeof one);
  thread_.join();
}

void UdevWatch::run() {
  watchDescriptor(udev_monitor_get_fd(monitor_.get()), stop_.get(), [this] {
    UdevDevicePtr device(udev_monitor_receive_device(monitor_.get()));
    if (!device) return false;
    const char* action = udev_device_get_action(device.get());
    if (action != nullptr && std::strcmp(action, "add") == 0) changed_(true);
    if (action != nullptr && std::strcmp(action, "remove") == 0) changed_(false);
    return true;
  });
  watching_ = false;
}

}  // namespace plenar
