// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <mutex>

namespace plenar {

// What the link layer keeps between commands: LinkOpen (the chosen link is open), and the boot
// handshake's marks: BootFlag (received bytes are also copied raw), BootQuiet (a request that
// gets no answer ends quietly instead of failing) and the printer's confirmation that it is in
// boot mode ("151").
// Threads: any. The routines set the marks on the worker, the windows between commands; the
// worker and the receive path on the owner thread read them.
class LinkState {
 public:
  bool linkOpen() const { return linkOpen_.load(); }
  void setLinkOpen(bool open) { linkOpen_.store(open); }

  bool bootFlag() const { return bootFlag_.load(); }
  void setBootFlag(bool on) { bootFlag_.store(on); }

  bool bootQuiet() const { return bootQuiet_.load(); }
  void setBootQuiet(bool on) { bootQuiet_.store(on); }

  void confirmBoot() {
    std::lock_guard lock(mutex_);
    bootConfirmed_ = true;
  }
  bool bootConfirmed() const {
    std::lock_guard lock(mutex_);
    return bootConfirmed_;
  }
  // The confirmation, forgotten by this call.
  bool takeBootConfirmation() {
    std::lock_guard lock(mutex_);
    const bool confirmed = bootConfirmed_;
    bootConfirmed_ = false;
    return confirmed;
  }

 private:
  std::atomic<bool> linkOpen_{false};
  std::atomic<bool> bootFlag_{false};
  std::atomic<bool> bootQuiet_{false};
  mutable std::mutex mutex_;
  bool bootConfirmed_ = false;
};

}  // namespace plenar
