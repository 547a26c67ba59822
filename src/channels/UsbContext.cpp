// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/UsbContext.h"

#include <libusb.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

#include "channels/UdevWatch.h"
#include "platform/OwnerDispatcher.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

// Changes seen by the watching thread, waiting for the owner. Shared with every queued drain, so
// a drain that runs after the context is gone finds `handler` cleared and does nothing.
struct ChangeQueue {
  std::mutex mutex;
  std::deque<bool> events;  // true: arrived
  bool drainPosted = false;
  // Held while the handler runs; the destructor takes it to clear the handler. Recursive: the
  // handler may destroy the context.
  std::recursive_mutex delivering;
  UsbContext::ChangeHandler handler;
};

void queueChange(const std::shared_ptr<ChangeQueue>& q, OwnerDispatcher& owner, bool arrived) {
  {
    std::lock_guard lock(q->mutex);
    q->events.push_back(arrived);
    if (q->drainPosted) return;
    q->drainPosted = true;
  }
  owner.post([q] {
    std::deque<bool> events;
    {
      std::lock_guard lock(q->mutex);
      events.swap(q->events);
      q->drainPosted = false;
    }
    std::lock_guard lock(q->delivering);
    for (bool arrived : events) {
      if (!q->handler) return;
      q->handler(arrived);
    }
  });
}

}  // namespace

struct UsbContext::Impl {
  Impl(OwnerDispatcher& owner) : owner(owner) {}

  // Runs on the event thread: only queues.
  static int LIBUSB_CALL onHotplug(libusb_context*, libusb_device*, libusb_hotplug_event event,
                                   void* self) {
    auto* impl = static_cast<Impl*>(self);
    queueChange(impl->changes, impl->owner, event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
    return 0;  // stay registered
  }

  void eventLoop() {
    while (running.load()) libusb_handle_events_completed(context, nullptr);
  }

  OwnerDispatcher& owner;
  libusb_context* context = nullptr;
  std::shared_ptr<ChangeQueue> changes = std::make_shared<ChangeQueue>();
  libusb_hotplug_callback_handle hotplug = 0;
  bool hotplugRegistered = false;
  std::unique_ptr<UdevWatch> udevWatch;
  std::atomic<bool> running{true};
  std::thread eventThread;
};

UsbContext::UsbContext(OwnerDispatcher& owner, ChangeHandler onChange)
    : impl_(std::make_unique<Impl>(owner)) {
  impl_->changes->handler = std::move(onChange);
  if (libusb_init(&impl_->context) != LIBUSB_SUCCESS) {
    throw ECommsError("Failed to open handle to HID device set");
  }
  // Events before the first enumeration are not wanted: no enumerate flag.
  if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) &&
      libusb_hotplug_register_callback(
          impl_->context,
          static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                            LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
          static_cast<libusb_hotplug_flag>(0), LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
          LIBUSB_HOTPLUG_MATCH_ANY, &Impl::onHotplug, impl_.get(),
          &impl_->hotplug) == LIBUSB_SUCCESS) {
    impl_->hotplugRegistered = true;
  } else {
    // A libusb without hot-plug support: libudev tells of USB devices instead.
    auto changes = impl_->changes;
    OwnerDispatcher* o = &owner;
    impl_->udevWatch = std::make_unique<UdevWatch>(
        std::vector<UdevWatch::Match>{{"usb", "usb_device"}},
        [changes, o](bool arrived) { queueChange(changes, *o, arrived); });
  }
  try {
    impl_->eventThread = std::thread(&Impl::eventLoop, impl_.get());
  } catch (...) {
    if (impl_->hotplugRegistered)
      libusb_hotplug_deregister_callback(impl_->context, impl_->hotplug);
    impl_->udevWatch.reset();
    libusb_exit(impl_->context);
    throw;
  }
}

UsbContext::~UsbContext() {
  {
    std::lock_guard lock(impl_->changes->delivering);
    impl_->changes->handler = nullptr;
  }
  impl_->udevWatch.reset();
  impl_->running = false;
  // Deregistering wakes the event thread; the interrupt covers a context without hot-plug.
  if (impl_->hotplugRegistered) libusb_hotplug_deregister_callback(impl_->context, impl_->hotplug);
  libusb_interrupt_event_handler(impl_->context);
  if (impl_->eventThread.joinable()) impl_->eventThread.join();
  libusb_exit(impl_->context);
}

libusb_context* UsbContext::get() const {
  return impl_->context;
}

}  // namespace plenar
