#include "channels/UsbUdevMonitor.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "channels/UdevPtr.h"
#include "channels/UniqueFd.h"

namespace plenar {

struct UsbUdevMonitor::Impl {
  void run() {
    pollfd fds[2] = {{udev_monitor_get_fd(monitor.get()), POLLIN, 0}, {stop.get(), POLLIN, 0}};
    for (;;) {
      if (::poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents != 0) return;
      UdevDevicePtr d(udev_monitor_receive_device(monitor.get()));
      if (!d) continue;
      const char* action = udev_device_get_action(d.get());
      if (action == nullptr) continue;
      if (std::strcmp(action, "add") == 0) onChange(true);
      if (std::strcmp(action, "remove") == 0) onChange(false);
    }
  }

  std::function<void(bool)> onChange;
  UdevPtr context;
  UdevMonitorPtr monitor;
  UniqueFd stop;
  std::thread thread;
};

UsbUdevMonitor::UsbUdevMonitor(std::function<void(bool added)> onChange)
    : impl_(std::make_unique<Impl>()) {
  impl_->onChange = std::move(onChange);
  impl_->context.reset(udev_new());
  if (!impl_->context) return;
  impl_->monitor.reset(udev_monitor_new_from_netlink(impl_->context.get(), "udev"));
  if (!impl_->monitor) return;
  udev_monitor_filter_add_match_subsystem_devtype(impl_->monitor.get(), "usb", "usb_device");
  if (udev_monitor_enable_receiving(impl_->monitor.get()) < 0) return;
  impl_->stop.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!impl_->stop.valid()) return;
  impl_->thread = std::thread(&Impl::run, impl_.get());
}

UsbUdevMonitor::~UsbUdevMonitor() {
  if (!impl_->thread.joinable()) return;
  const std::uint64_t one = 1;
  (void)!::write(impl_->stop.get(), &one, sizeof one);
  impl_->thread.join();
}

}  // namespace plenar
