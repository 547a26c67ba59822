// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "channels/ParallelPortList.h"

namespace plenar {

class OwnerDispatcher;
class UdevWatch;

// The parallel ports the connection window lists: listed the first time they are needed, listed
// again whenever udev reports a port added or removed (once watch() ran), and every subscriber
// told of each change.
// Threads: the list may be read and changed() called from any thread; refresh, watch,
// subscriptions and the notices belong to the owner (UI) thread. Without an owner the notices
// run on the thread that made the change.
class LptPortList {
 public:
  explicit LptPortList(OwnerDispatcher* owner = nullptr);
  // Tells the subscribers the list is gone.
  ~LptPortList();
  LptPortList(const LptPortList&) = delete;
  LptPortList& operator=(const LptPortList&) = delete;

  // Lists the ports present again, then tells the subscribers.
  void refresh();
  // The kept list.
  std::vector<LptPortEntry> ports();
  // The I/O base of port `number` in the kept list; nullopt when it is not listed (or nothing
  // was listed yet: asking lists nothing).
  std::optional<std::uint16_t> listedIoBase(int number);
  // Refreshes the list whenever udev reports a parallel port added or removed. Needs an owner.
  void watch();

  // A subscriber: `changed` runs after every change, `gone` when the list is destroyed. Returns
  // the id to unsubscribe with.
  int subscribe(std::function<void()> changed, std::function<void()> gone);
  void unsubscribe(int id);
  // Tells the subscribers (on the owner thread).
  void changed();

  // Where each parport's I/O base is read (tests point it at a root of their own).
  void setProcRoot(std::string root) { procRoot_ = std::move(root); }

 private:
  struct Subscriber {
    std::function<void()> changed;
    std::function<void()> gone;
  };

  OwnerDispatcher* owner_;
  std::string procRoot_ = "/proc";

  std::mutex mutex_;
  bool listed_ = false;
  std::vector<LptPortEntry> ports_;

  // Owner thread only.
  std::map<int, Subscriber> subscribers_;
  int nextSubscriber_ = 1;
  std::unique_ptr<UdevWatch> watch_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace plenar
