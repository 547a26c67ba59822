// SPDX-License-Identifier: GPL-3.0-or-later
#include "Simulator.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "StateJson.h"
#include "shared/RateCodes.h"
#include "shared/Timespec.h"

namespace plenar::sim {

namespace {
PrinterConfig printerConfig(const SimOptions& o) {
  PrinterConfig c;
  c.bootEnabled = o.boot;
  c.readChunk = o.readChunk;
  c.refuseSettings = o.refuseSettings;
  return c;
}
}  // namespace

Simulator::Simulator(SimOptions options)
    : options_(std::move(options)),
      faults_(options_.faults, options_.seed),
      rxPacer_([this](Clock::duration d) { return sleepFor(d); }),
      txPacer_([this](Clock::duration d) { return sleepFor(d); }) {
  if (!options_.stateFile.empty()) loadStateFile(options_.stateFile, state_);
  if (options_.model) state_.modelTag = *options_.model;
  int rate = codeToRate(state_.settings.baudCode).value_or(9600);
  if (options_.baud) {
    rate = *options_.baud;
    state_.settings.baudCode = *rateToCode(rate);
  }
  if (!options_.recordFile.empty() && !recorder_.open(options_.recordFile)) {
    throw std::runtime_error("cannot create record file " + options_.recordFile);
  }
  printer_ = std::make_unique<Printer>(state_, printerConfig(options_), recorder_, rate);
  if (!options_.serialLink.empty()) serial_ = std::make_unique<SerialLink>(options_.serialLink);
  if (options_.udp) udp_ = std::make_unique<UdpLink>(*options_.udp);
  followedIp_ = state_.settings.ethernet.ip;
  // Last: the testbed sets UMOCKDEV_DIR, which the preload applies to every later /dev and /sys
  // access of this process.
  if (options_.usb || options_.lpt > 0) testbed_ = std::make_unique<Testbed>();
  if (options_.usb && options_.usbHost.several()) {
    usbPrinters_ = std::make_unique<UsbPrinters>(*testbed_, usbPrintersSetup(options_));
  } else if (options_.usb) {
    usb_ = std::make_unique<UsbLink>(*testbed_, *options_.usb);
  }
  if (options_.lpt > 0) {
    lpt_ = std::make_unique<LptLink>(*testbed_, options_.lpt, options_.lptFaults);
  }
  saveState(true);
}

Simulator::~Simulator() = default;

void Simulator::announce(std::FILE* out) const {
  if (serial_) std::fprintf(out, "serial %s\n", serial_->path().c_str());
  if (udp_) std::fprintf(out, "udp %s\n", udp_->address().c_str());
  if (usb_ || usbPrinters_) std::fprintf(out, "usb UMOCKDEV_DIR=%s\n", testbed_->root().c_str());
  if (lpt_) std::fprintf(out, "lpt UMOCKDEV_DIR=%s\n", testbed_->root().c_str());
  std::fprintf(out, "ready\n");
  std::fflush(out);
}

void Simulator::followEthernetAddress() {
  if (!options_.udpFollowsIp || !udp_ || !udp_->isOpen()) return;
  const auto& ip = state_.settings.ethernet.ip;
  if (ip == followedIp_) return;
  followedIp_ = ip;
  const std::string address = std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." +
                              std::to_string(ip[2]) + "." + std::to_string(ip[3]) + ":" +
                              std::to_string(udp_->port());
  try {
    // Bound before the old socket closes: the new address and the old one share the port.
    auto moved = std::make_unique<UdpLink>(address);
    udp_->close();
    udp_ = std::move(moved);
    event(Link::Udp, "udp moved to " + udp_->address());
  } catch (const std::exception& e) {
    event(Link::Udp, "udp stays: cannot serve " + address + ": " + e.what());
  }
}

void Simulator::event(Link link, const std::string& meaning, std::span<const std::uint8_t> data) {
  Record r = arrivalRecord(link, printer_->rate(), "event");
  r.data.assign(data.begin(), data.end());
  r.meaning = meaning;
  recorder_.write(r);
}

bool Simulator::sleepFor(Clock::duration d) {
  if (stopping_) return false;
  const auto until = Clock::now() + d;
  for (;;) {
    // To the microsecond: the line pacing sleeps once per frame and once per answer, and a
    // sleep rounded up to whole milliseconds made the printer answer up to 2 ms late.
    const auto left = until - Clock::now();
    if (left <= Clock::duration::zero()) return true;
    const timespec wait = waitFor(left, std::chrono::seconds(1));
    pollfd p{signalFd_, POLLIN, 0};
    int n = ppoll(&p, signalFd_ >= 0 ? 1 : 0, &wait, nullptr);
    if (n > 0 && (p.revents & POLLIN) && !handleSignal()) return false;
  }
}

void Simulator::saveState(bool force) {
  if (state_.dirty) {
    changed_ = true;
    lastChange_ = Clock::now();
  }
  if (options_.stateFile.empty() || (!state_.dirty && !force)) return;
  const auto now = Clock::now();
  if (!force && !state_.urgent && now - lastSave_ < kBulkSaveInterval) return;
  if (!saveStateFile(options_.stateFile, state_)) {
    std::fprintf(stderr, "plenar-printer-sim: cannot write state file %s\n",
                 options_.stateFile.c_str());
  }
  state_.dirty = false;
  state_.urgent = false;
  lastSave_ = now;
}

namespace {

// Milliseconds from now until `due` (0 when it has passed), as poll() takes them.
int msUntil(Simulator::Clock::time_point due) {
  return static_cast<int>(std::max<long long>(
      0, std::chrono::ceil<std::chrono::milliseconds>(due - Simulator::Clock::now()).count()));
}

}  // namespace

// How long the loop may wait for its descriptors: until the next USB plug or unplug, the end of
// a frame on a line that has input undecided, the next bulk save, or the moment a stream
// printer leaves; -1 when nothing is due.
int Simulator::pollTimeout(bool serialPolled, bool lptPolled) const {
  int timeout = -1;
  auto earliest = [&timeout](Clock::time_point due) {
    const int ms = msUntil(due);
    timeout = timeout < 0 ? ms : std::min(timeout, ms);
  };
  for (const auto& due : {usbUnplugAt_, usbPlugAt_}) {
    if (due) earliest(*due);
  }
  if (serialPolled && printer_->undecidedInput(Link::Serial))
    earliest(lastSerialInput_ + kFrameGap);
  if (lptPolled && printer_->undecidedInput(Link::Lpt)) earliest(lastLptInput_ + kFrameGap);
  if (state_.dirty && !options_.stateFile.empty()) earliest(lastSave_ + kBulkSaveInterval);
  if (options_.leaveIdleMs > 0 && (changed_ || framesSeen_ > 0)) {
    earliest(lastChange_ + std::chrono::milliseconds(options_.leaveIdleMs));
  }
  return timeout;
}

int Simulator::run(int signalFd) {
  signalFd_ = signalFd;
  while (!stopping_) {
    pollfd fds[5];
    nfds_t n = 0;
    fds[n++] = {signalFd_, POLLIN, 0};
    int serialSlot = -1;
    int udpSlot = -1;
    int usbSlot = -1;
    int lptSlot = -1;
    int closedSerialSlot = -1;
    if (serial_ && serial_->isOpen() && !serialClosedByTool_) {
      serialSlot = static_cast<int>(n);
      fds[n++] = {serial_->fd(), POLLIN, 0};
    } else if (serial_ && serial_->isOpen()) {
      closedSerialSlot = static_cast<int>(n);
      fds[n++] = {serial_->closedWatch(), POLLIN, 0};
    }
    if (udp_ && udp_->isOpen()) {
      udpSlot = static_cast<int>(n);
      fds[n++] = {udp_->fd(), POLLIN, 0};
    }
    if (usb_) {
      usbSlot = static_cast<int>(n);
      fds[n++] = {usb_->fd(), POLLIN, 0};
    }
    if (lpt_) {
      lptSlot = static_cast<int>(n);
      fds[n++] = {lpt_->fd(), POLLIN, 0};
    }
    const int timeout = pollTimeout(serialSlot >= 0, lptSlot >= 0);
    int ready = poll(fds, n, timeout);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && (fds[0].revents & POLLIN) && !handleSignal()) break;
    if (serialSlot >= 0 && fds[serialSlot].revents) serviceSerial();
    if (udpSlot >= 0 && fds[udpSlot].revents && !stopping_) serviceUdp();
    if (usbSlot >= 0 && fds[usbSlot].revents && !stopping_) serviceUsb();
    if (lptSlot >= 0 && fds[lptSlot].revents && !stopping_) serviceLpt();
    if (printer_->undecidedInput(Link::Lpt) && Clock::now() - lastLptInput_ >= kFrameGap) {
      printer_->lineIdle(Link::Lpt);
    }
    followEthernetAddress();
    noteRestart();
    runUsbTimers();
    if (printer_->undecidedInput(Link::Serial) && Clock::now() - lastSerialInput_ >= kFrameGap) {
      printer_->lineIdle(Link::Serial);
    }
    if (closedSerialSlot >= 0 && fds[closedSerialSlot].revents) {
      serial_->takeClosedWatch();
      if (serial_->peerOpen()) serialClosedByTool_ = false;
    }
    // Bulk changes not yet saved are saved once the burst pauses.
    if (state_.dirty) saveState(Clock::now() - lastSave_ >= kBulkSaveInterval);
    if (leaving()) break;
  }
  saveState(true);
  if (serial_) serial_->close();
  if (udp_) udp_->close();
  lpt_.reset();
  usb_.reset();
  usbPrinters_.reset();
  return 0;
}

void Simulator::serviceLpt() {
  bool vanished = false;
  std::vector<std::uint8_t> bytes = lpt_->read(vanished);
  if (!bytes.empty()) {
    lastLptInput_ = Clock::now();
    // The parallel port has no return channel: what the printer would answer goes nowhere.
    printer_->receive(Link::Lpt, bytes);
    saveState(false);
  }
  if (vanished) event(Link::Lpt, "fault: parallel port " + lpt_->nodes() + " vanished");
}

bool Simulator::handleSignal() {
  signalfd_siginfo info{};
  if (read(signalFd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return true;
  if (info.ssi_signo == SIGUSR1 && usbPrinters_) usbPrinters_->start();
  if (info.ssi_signo == SIGUSR1 || info.ssi_signo == SIGUSR2) {
    if (usb_) {
      const bool in = info.ssi_signo == SIGUSR1;
      event(Link::Usb, in ? "USB device plugged in" : "USB device unplugged");
      in ? usb_->plug() : usb_->unplug();
    }
    return true;
  }
  stopping_ = true;
  return false;
}

void Simulator::serviceUsb() {
  std::vector<std::uint8_t> bytes = usb_->read();
  if (bytes.empty()) return;
  std::vector<Output> outs = printer_->receive(Link::Usb, bytes);
  saveState(false);
  const int limit = options_.usbUnplugAfterFrames;
  if (limit > 0 && !usbUnplugDone_ &&
      printer_->framesReceived(Link::Usb) >= static_cast<std::uint64_t>(limit)) {
    usbUnplugDone_ = true;
    event(Link::Usb, "USB device unplugged after " + std::to_string(limit) + " frames");
    usb_->unplug();
    return;
  }
  for (const auto& o : outs) {
    if (stopping_) break;
    sendUsb(o);
  }
  closeIfDue(Link::Usb);
}

void Simulator::sendUsb(const Output& out) {
  WritePlan plan = faults_.plan(out.bytes, out.frame);
  if (!plan.fault.empty()) event(Link::Usb, "answer fault: " + plan.fault);
  if (plan.delayMs > 0 && !sleepFor(std::chrono::milliseconds(plan.delayMs))) return;
  for (std::size_t i = 0; i < plan.writes.size(); ++i) {
    if (i > 0 && !sleepFor(std::chrono::milliseconds(plan.pauseMs))) return;
    if (!usb_->plugged()) {
      event(Link::Usb, "answer lost: the USB device is unplugged", plan.writes[i]);
      return;
    }
    usb_->write(plan.writes[i]);
  }
}

void Simulator::noteRestart() {
  if (printer_->inLoader() == loaderSeen_) return;
  loaderSeen_ = printer_->inLoader();
  // The answer that started the restart goes out first.
  if (usb_ && usb_->plugged()) usbUnplugAt_ = Clock::now() + kCloseGrace;
}

void Simulator::runUsbTimers() {
  const auto now = Clock::now();
  if (usbUnplugAt_ && now >= *usbUnplugAt_) {
    usbUnplugAt_.reset();
    event(Link::Usb, "USB device leaves: the printer restarts");
    usb_->unplug();
    usbPlugAt_ = now + std::chrono::milliseconds(options_.usbReplugMs);
  }
  if (usbPlugAt_ && now >= *usbPlugAt_) {
    usbPlugAt_.reset();
    event(Link::Usb, "USB device back after the restart");
    usb_->plug();
  }
}

void Simulator::serviceSerial() {
  bool hungUp = false;
  auto tool = serial_->toolSettings().value_or(LineSettings{});
  // A paced line takes the tool's bytes as a UART does, about 10 ms of line time at a time, so the
  // tool sees its output drain at the line rate instead of vanishing in one gulp.
  const std::size_t slice =
      options_.pace ? std::max<std::size_t>(1, static_cast<std::size_t>(tool.sendRate) / 1000)
                    : SIZE_MAX;
  std::vector<std::uint8_t> bytes = serial_->read(hungUp, slice);
  if (!bytes.empty()) {
    lastSerialInput_ = Clock::now();
    if (options_.pace) {
      // Bytes that were already waiting follow the previous ones on the line without a gap.
      std::optional<Clock::time_point> from;
      if (rxBacklog_) from = rxPacer_.lineFreeAt();
      rxBacklog_ = bytes.size() == slice;
      rxPacer_.pass(bytes.size(), tool.sendRate, from);
      answering_ = rxPacer_.lineFreeAt();
    }
    if (!toolSendsMatch(tool, printer_->rate())) {
      printer_->lineNoise(Link::Serial, bytes,
                          describe(tool) + ", printer at " + std::to_string(printer_->rate()) +
                              " bit/s, 8 bits, no parity");
    } else {
      std::vector<Output> outs = printer_->receive(Link::Serial, bytes);
      saveState(false);
      for (const auto& o : outs) {
        if (stopping_) break;
        sendSerial(o);
      }
      closeIfDue(Link::Serial);
    }
    answering_.reset();
  }
  if (hungUp && serial_->isOpen()) {
    serialClosedByTool_ = true;
    printer_->lineDropped(Link::Serial);
    serial_->discardUnread();
  }
}

bool Simulator::writeSerial(std::span<const std::uint8_t> bytes, int rate) {
  constexpr int kWriteTimeoutMs = 2000;
  if (!options_.pace) return serial_->write(bytes, kWriteTimeoutMs);
  // About 10 ms of line time per write, so the tool sees the bytes trickle in.
  const std::size_t slice = std::max<std::size_t>(1, static_cast<std::size_t>(rate) / 1000);
  for (std::size_t i = 0; i < bytes.size(); i += slice) {
    auto part = bytes.subspan(i, std::min(slice, bytes.size() - i));
    if (!txPacer_.pass(part.size(), rate, std::exchange(answering_, std::nullopt))) return false;
    if (!serial_->write(part, kWriteTimeoutMs)) return false;
  }
  return true;
}

void Simulator::sendSerial(const Output& out) {
  WritePlan plan = faults_.plan(out.bytes, out.frame);
  if (!plan.fault.empty()) event(Link::Serial, "answer fault: " + plan.fault);
  // A late answer is late from when the simulator sends it, as the fault asks.
  if (plan.delayMs > 0) answering_.reset();
  if (plan.delayMs > 0 && !sleepFor(std::chrono::milliseconds(plan.delayMs))) return;
  for (std::size_t i = 0; i < plan.writes.size(); ++i) {
    if (i > 0 && !sleepFor(std::chrono::milliseconds(plan.pauseMs))) return;
    if (!serial_->isOpen() || !serial_->peerOpen()) {
      event(Link::Serial, "answer lost: the tool's port is closed", plan.writes[i]);
      return;
    }
    std::vector<std::uint8_t> bytes = plan.writes[i];
    auto tool = serial_->toolSettings().value_or(LineSettings{});
    if (!toolReceivesMatch(tool, out.rate)) {
      bytes = faults_.noise().bytes(garbledCount(bytes.size(), out.rate, tool.receiveRate));
      event(Link::Serial,
            "answer sent at " + std::to_string(out.rate) + " bit/s, " + describe(tool) +
                ": the tool receives noise",
            plan.writes[i]);
    }
    if (!writeSerial(bytes, out.rate)) {
      event(Link::Serial, "answer not fully written: the tool closed its port or stopped reading");
      return;
    }
  }
}

void Simulator::serviceUdp() {
  UdpLink::Datagram d;
  while (!stopping_ && udp_ && udp_->isOpen() && udp_->receive(d)) {
    Record r;
    r.link = "udp";
    r.kind = "datagram";
    r.data = d.bytes;
    r.peer = addressText(d.from);
    r.meaning = "datagram of " + std::to_string(d.bytes.size()) + " bytes";
    recorder_.write(r);
    std::vector<Output> outs = printer_->receive(Link::Udp, d.bytes);
    printer_->endOfDatagram(Link::Udp);
    saveState(false);
    for (const auto& o : outs) {
      if (stopping_) break;
      sendUdp(o, d.from);
    }
    closeIfDue(Link::Udp);
  }
}

void Simulator::sendUdp(const Output& out, const sockaddr_in& to) {
  WritePlan plan = faults_.plan(out.bytes, out.frame);
  if (!plan.fault.empty()) event(Link::Udp, "answer fault: " + plan.fault);
  if (plan.delayMs > 0 && !sleepFor(std::chrono::milliseconds(plan.delayMs))) return;
  for (std::size_t i = 0; i < plan.writes.size(); ++i) {
    if (i > 0 && !sleepFor(std::chrono::milliseconds(plan.pauseMs))) return;
    udp_->send(plan.writes[i], to);
  }
}

bool Simulator::leaving() {
  std::uint64_t frames = 0;
  for (Link link : kLinks) frames += printer_->framesReceived(link);
  if (frames != framesSeen_) lastChange_ = Clock::now();
  framesSeen_ = frames;
  const bool pulled = options_.leaveAfterFrames > 0 &&
                      frames >= static_cast<std::uint64_t>(options_.leaveAfterFrames);
  // Set up (or at least spoken to) and then left alone: no change and no frame for a while.
  const bool done = options_.leaveIdleMs > 0 && (changed_ || frames > 0) &&
                    Clock::now() - lastChange_ >= std::chrono::milliseconds(options_.leaveIdleMs);
  if (!pulled && !done) return false;
  left_ = true;
  std::fprintf(stderr, "plenar-printer-sim: %s\n",
               pulled ? "pulled out part-way" : "set up and quiet: leaving the bench");
  return true;
}

void Simulator::closeIfDue(Link link) {
  const int limit = options_.faults.closeAfter;
  if (limit <= 0 || printer_->framesReceived(link) < static_cast<std::uint64_t>(limit)) return;
  if (link == Link::Serial && serial_ && serial_->isOpen()) {
    // Closing the master hangs up the terminal side, which discards what the tool has not read.
    // Recorded once done: whoever waits for the record finds the link already gone.
    if (!sleepFor(kCloseGrace)) return;
    serial_->close();
    event(link, "fault: link closed after " + std::to_string(limit) + " frames");
  } else if (link == Link::Udp && udp_ && udp_->isOpen()) {
    udp_->close();
    event(link, "fault: link closed after " + std::to_string(limit) + " frames");
  } else if (link == Link::Usb && usb_ && usb_->plugged()) {
    if (!sleepFor(kCloseGrace)) return;
    usb_->unplug();
    event(link, "fault: USB device unplugged after " + std::to_string(limit) + " frames");
  }
}

}  // namespace plenar::sim
