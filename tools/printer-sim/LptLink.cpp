// SPDX-License-Identifier: GPL-3.0-or-later
#include "LptLink.h"

#include <charconv>

#include "devices/LptPortDevice.h"
#include "devices/Testbed.h"

namespace plenar::sim {
namespace {

std::optional<std::size_t> countAfter(const std::string& text, const std::string& prefix) {
  if (text.rfind(prefix, 0) != 0) return std::nullopt;
  std::size_t n = 0;
  const char* first = text.data() + prefix.size();
  const char* last = text.data() + text.size();
  auto [end, ec] = std::from_chars(first, last, n);
  if (ec != std::errc() || end != last || first == last) return std::nullopt;
  return n;
}

}  // namespace

std::optional<std::string> parseLptFault(const std::string& text, LptFaults& faults) {
  if (text == "busy") {
    faults.busy = true;
  } else if (text == "offline") {
    faults.offline = true;
  } else if (text == "paper-out") {
    faults.paperOut = true;
  } else if (text == "claim-refused") {
    faults.claimRefused = true;
  } else if (auto n = countAfter(text, "busy-reads:")) {
    faults.busyReads = static_cast<int>(*n);
  } else if (auto n = countAfter(text, "write-error-after:")) {
    faults.writeErrorAfter = *n;
  } else if (auto n = countAfter(text, "vanish-after:")) {
    faults.vanishAfter = *n;
  } else {
    return "--lpt-fault: unknown or malformed '" + text +
           "' (busy, offline, paper-out, busy-reads:N, claim-refused, write-error-after:N, "
           "vanish-after:N)";
  }
  return std::nullopt;
}

LptLink::LptLink(Testbed& testbed, int number, const LptFaults& faults)
    : device_(std::make_unique<LptPortDevice>(testbed, LptPortIdentity{.number = number})) {
  LptPortDevice& d = *device_;
  d.setBusy(faults.busy);
  d.setOnline(!faults.offline);
  d.setPaperOut(faults.paperOut);
  d.setBusyForReads(faults.busyReads);
  d.setClaimRefused(faults.claimRefused);
  if (faults.vanishAfter) {
    d.failAfter(*faults.vanishAfter, true);
  } else if (faults.writeErrorAfter) {
    d.failAfter(*faults.writeErrorAfter, false);
  }
}

LptLink::~LptLink() = default;

int LptLink::fd() const {
  return device_->receivedFd();
}

std::vector<std::uint8_t> LptLink::read(bool& vanished) {
  vanished = false;
  std::vector<std::uint8_t> bytes = device_->takeReceived();
  if (device_->vanishDue()) {
    device_->vanish();
    vanished = true;
  }
  return bytes;
}

std::string LptLink::nodes() const {
  return device_->lpNode() + " " + device_->parportNode();
}

}  // namespace plenar::sim
