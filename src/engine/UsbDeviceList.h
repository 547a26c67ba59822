// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace plenar {

// Which USB entries (VID_xxxx&PID_yyyy&<serial number or bus port>) the connection window lists.
// Filter texts are looked for in the entry's VID_xxxx&PID_yyyy only.

// At start-up: with filter texts, an entry is listed once for every filter text found in its
// upper-case codes (so twice when two filters match; an empty filter matches nothing; filters
// compare as written, so lower-case ones never match). Without filters, entries with "811E".
std::vector<std::string> usbDevicesAtStart(const std::vector<std::string>& entries,
                                           const std::vector<std::string>& filters);
// The printers a bench sets up: the entries usbDevicesAtStart lists, each once, in order.
std::vector<std::string> usbPrintersForBench(const std::vector<std::string>& entries,
                                             const std::vector<std::string>& filters);
// After a device arrived or left: the entries with "811E"; the filter list is not used.
std::vector<std::string> usbDevicesAfterChange(const std::vector<std::string>& entries);

}  // namespace plenar
