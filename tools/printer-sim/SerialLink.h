// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "LineModel.h"

namespace plenar::sim {

// The printer's serial port: a pseudo-terminal pair. The simulator keeps the master; `linkPath`
// is a symbolic link to the terminal side (/dev/pts/N), which the tool opens as its serial port.
//
// The simulator does not hold the terminal side open itself, so the tool can open it exclusively
// and a closed port behaves like a closed port. The price is that the master reports a hang-up
// (POLLHUP, reads fail with EIO) for as long as the tool has the port closed, so polling it then
// would spin. The event loop waits on closedWatch() instead: an edge-triggered epoll set on the
// master, which stays quiet through the lasting hang-up and turns readable when the tool writes
// after opening the port again (see peerOpen).
// Answers are never written while the port is closed, and bytes the tool left unread when it
// closed are flushed, as a real port's driver discards its buffers on close.
// Threads: one thread at a time.
class SerialLink {
 public:
  // Creates the pair and the link (replacing an old symbolic link there). Throws
  // std::runtime_error with the reason.
  explicit SerialLink(std::string linkPath);
  ~SerialLink();
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  const std::string& path() const { return linkPath_; }
  const std::string& terminalName() const { return terminal_; }
  int fd() const { return master_; }
  bool isOpen() const { return master_ >= 0; }

  // Whether the tool has the terminal side open now. Never-opened counts as open: the master
  // does not hang up before the first close.
  bool peerOpen() const;
  std::optional<LineSettings> toolSettings() const { return readLineSettings(master_); }
  // While the tool has the port closed: poll this for POLLIN instead of fd(); when it is
  // readable, call takeClosedWatch() and then ask peerOpen().
  int closedWatch() const { return closedWatch_; }
  void takeClosedWatch();

  // Reads what the tool sent. Empty when nothing is there; sets `hungUp` when the tool has
  // closed its side (after the remaining bytes were read).
  std::vector<std::uint8_t> read(bool& hungUp, std::size_t max = SIZE_MAX);
  // Writes all bytes unless the tool closes its side or does not read for `timeoutMs`.
  bool write(std::span<const std::uint8_t> bytes, int timeoutMs);
  // Discards bytes sent to the tool that it has not read (its port is closed).
  void discardUnread();
  // Closes the master and removes the link.
  void close();

 private:
  std::string linkPath_;
  std::string terminal_;
  int master_ = -1;
  int closedWatch_ = -1;
};

}  // namespace plenar::sim
