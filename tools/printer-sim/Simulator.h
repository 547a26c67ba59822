// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>

#include "Faults.h"
#include "LineModel.h"
#include "LptLink.h"
#include "Printer.h"
#include "PrinterState.h"
#include "Recorder.h"
#include "SerialLink.h"
#include "SimOptions.h"
#include "UdpLink.h"
#include "UsbLink.h"
#include "UsbPrinters.h"
#include "devices/Testbed.h"

namespace plenar::sim {

// The simulator process: the printer model behind its links, one event loop on one thread.
// Pacing, the delay fault and split answers sleep inside the loop (a printer answers one thing
// at a time); every sleep ends early when a stop signal arrives.
class Simulator {
 public:
  using Clock = std::chrono::steady_clock;
  // Memory and firmware blocks come in bursts; the state file is rewritten for them at most this
  // often (and when the burst ends). Every other change is saved before the answer goes out.
  static constexpr std::chrono::milliseconds kBulkSaveInterval{250};
  // Bytes that might begin a frame but stay incomplete this long were not a frame. A frame's
  // bytes follow each other closely (8.3 ms apart even at 1200 bit/s); the margin covers a tool
  // whose writer is descheduled between two writes of one frame on a loaded machine.
  static constexpr std::chrono::milliseconds kFrameGap{250};
  // A link closed by the close-after fault stays up this long after its last answer, so that
  // the tool normally reads the answer before the link goes.
  static constexpr std::chrono::milliseconds kCloseGrace{100};

  // Loads the state, opens the links. Throws std::runtime_error.
  explicit Simulator(SimOptions options);
  ~Simulator();

  // One line per link ("serial PATH", "udp ADDR:PORT", "usb UMOCKDEV_DIR=DIR",
  // "lpt UMOCKDEV_DIR=DIR"), then "ready"; flushed.
  void announce(std::FILE* out) const;
  // Serves the links until `signalFd` (a signalfd) delivers a stop signal; SIGUSR1 plugs the USB
  // device in, SIGUSR2 unplugs it. Returns the exit status.
  int run(int signalFd);
  // run() ended because the printer left the bench (SimOptions::leaveIdleMs, leaveAfterFrames).
  bool left() const { return left_; }

 private:
  int pollTimeout(bool serialPolled, bool lptPolled) const;
  void serviceSerial();
  void serviceUdp();
  // --udp-follows-ip: a new Ethernet address moves the UDP link there (same port).
  void followEthernetAddress();
  void serviceUsb();
  void serviceLpt();
  void sendUsb(const Output& out);
  // The printer restarted into or out of its boot loader: its USB device leaves and comes back,
  // as a real one re-enumerates.
  void noteRestart();
  void runUsbTimers();
  bool handleSignal();  // false: stop
  bool leaving();       // the printer leaves the bench now
  void sendSerial(const Output& out);
  void sendUdp(const Output& out, const sockaddr_in& to);
  bool writeSerial(std::span<const std::uint8_t> bytes, int rate);
  bool sleepFor(Clock::duration d);
  void saveState(bool force);
  void closeIfDue(Link link);
  void event(Link link, const std::string& meaning, std::span<const std::uint8_t> data = {});

  SimOptions options_;
  PrinterState state_;
  Recorder recorder_;
  std::unique_ptr<Printer> printer_;
  FaultInjector faults_;
  std::unique_ptr<SerialLink> serial_;
  std::unique_ptr<UdpLink> udp_;
  std::array<std::uint8_t, 4> followedIp_{};
  std::unique_ptr<Testbed> testbed_;  // the virtual devices' /dev and /sys
  std::unique_ptr<UsbLink> usb_;
  std::unique_ptr<UsbPrinters> usbPrinters_;  // --usb-count, --usb-stream: instead of usb_
  bool usbUnplugDone_ = false;                // --usb-unplug-after-frames fired
  bool loaderSeen_ = false;
  std::optional<Clock::time_point> usbUnplugAt_;
  std::optional<Clock::time_point> usbPlugAt_;
  std::unique_ptr<LptLink> lpt_;  // in the testbed, with the USB device when there is one
  Clock::time_point lastLptInput_{};
  bool serialClosedByTool_ = false;
  LinePacer rxPacer_;
  LinePacer txPacer_;
  // Set while the answers to a serial request go out: when the request's last byte arrived.
  std::optional<Clock::time_point> answering_;
  bool rxBacklog_ = false;  // the last paced read took a full slice: more may be waiting
  int signalFd_ = -1;
  bool stopping_ = false;
  Clock::time_point lastSave_{};
  Clock::time_point lastSerialInput_{};
  bool left_ = false;
  bool changed_ = false;  // its settings changed since it arrived
  std::uint64_t framesSeen_ = 0;
  Clock::time_point lastChange_{};  // of its settings, or its last frame when later
};

}  // namespace plenar::sim
