// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "app/BatchArrivals.h"

namespace plenar {

// Takes an ArrivalWatch's looks on a thread of its own, so that a window waiting for a printer
// never waits itself (a look at a network address waits for the identify answer). One wait at a
// time: for the next arrival, or for the printer on a link to be gone; the callback runs on the
// looker's thread, once, unless the wait was cancelled first.
// Threads: await*, cancel and the destructor on the owner thread.
class ArrivalLooker {
 public:
  // `attached` runs on the looker's thread, once, with the printers attached before the first
  // look: they count as seen (the last one of an earlier bench may still be there), and only
  // printers that arrive later are reported.
  ArrivalLooker(std::unique_ptr<ArrivalWatch> watch,
                std::function<void(std::size_t attached)> attached = nullptr);
  ~ArrivalLooker();
  ArrivalLooker(const ArrivalLooker&) = delete;
  ArrivalLooker& operator=(const ArrivalLooker&) = delete;

  void awaitArrival(std::function<void(const LinkSnapshot&)> arrived);
  void awaitDeparture(const LinkSnapshot& link, std::function<void()> gone);
  void cancel();

 private:
  void loop();

  std::unique_ptr<ArrivalWatch> watch_;
  std::function<void(std::size_t)> attached_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool quit_ = false;
  std::function<void(const LinkSnapshot&)> arrived_;
  std::optional<LinkSnapshot> leaving_;
  std::function<void()> gone_;
  std::thread thread_;
};

}  // namespace plenar
