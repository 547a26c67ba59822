// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/CommandRequest.h"

namespace plenar {

// How the batch bench sees printers come and go on one kind of link. Each call takes one look
// and returns at once (a look that would come sooner than the link allows returns nothing), so
// the bench can check for a stop between looks.
// Threads: one thread.
class ArrivalWatch {
 public:
  virtual ~ArrivalWatch() = default;
  // The printers attached now, in a stable order (--present). They count as seen: only
  // printers that arrive later are reported by arrival().
  virtual std::vector<LinkSnapshot> attachedNow() = 0;
  // A printer that arrived since the last look, or nullopt.
  virtual std::optional<LinkSnapshot> arrival() = 0;
  // Whether the printer that was set up on `link` (where its apply left it) is gone.
  virtual bool gone(const LinkSnapshot& link) = 0;
  // Whether the printer that arrived on `link` has been taken away or replaced by another while
  // it is set up, as far as the link can tell (a serial port: its device). False where the link
  // cannot tell (two network printers of one model answer alike).
  virtual bool replaced(const LinkSnapshot&) const { return false; }
};

// Serial ports whose path matches a glob(3) pattern (a symlink to a port works too): a printer
// arrives when a path appears, or names another device than before; it is gone when its path
// does. Looks at most every 250 ms. `rates` gives the device and transfer rates.
std::unique_ptr<ArrivalWatch> serialGlobWatch(const std::string& pattern,
                                              const LinkSnapshot& rates);

// The factory address of network printers: a printer arrives when the address answers the
// identify request after a silence (the one before was taken away, or its profile moved it to
// another address); the same printer answering on is never reported twice. Asks at most every
// 500 ms.
std::unique_ptr<ArrivalWatch> factoryAddressWatch(const LinkSnapshot& factory);

// Whether a printer answers the identify request on `link` within `wait`.
bool answersIdentify(const LinkSnapshot& link, std::chrono::milliseconds wait);

}  // namespace plenar
