// SPDX-License-Identifier: GPL-3.0-or-later
#include "UsbPrinters.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include "PrinterState.h"
#include "Recorder.h"
#include "SimOptions.h"
#include "StateJson.h"
#include "UsbLink.h"
#include "shared/RateCodes.h"

namespace plenar::sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Memory and firmware blocks are saved at most this often; every other change at once.
constexpr milliseconds kBulkSaveInterval{250};
// The answer that started a restart goes out before the device leaves.
constexpr milliseconds kRestartGrace{100};

int msUntil(Clock::time_point due, Clock::time_point now) {
  return static_cast<int>(
      std::max<long long>(0, std::chrono::ceil<milliseconds>(due - now).count()));
}

void soonest(int& timeout, int ms) {
  timeout = timeout < 0 ? ms : std::min(timeout, ms);
}

}  // namespace

struct UsbPrinters::Unit {
  int number = 0;
  PrinterState state;
  Recorder recorder;
  std::unique_ptr<Printer> printer;
  std::unique_ptr<UsbLink> link;
  std::string stateFile;
  bool talkedTo = false;  // a frame arrived
  bool left = false;      // gone for good
  bool loaderSeen = false;
  Clock::time_point lastInput{};
  Clock::time_point lastSave{};
  std::optional<Clock::time_point> unplugAt;  // restarting
  std::optional<Clock::time_point> plugAt;

  void event(const std::string& meaning) {
    Record r = arrivalRecord(Link::Usb, 0, "event");
    r.meaning = meaning;
    recorder.write(r);
  }
  void save(bool force) {
    if (stateFile.empty() || (!state.dirty && !force)) return;
    const auto now = Clock::now();
    if (!force && !state.urgent && now - lastSave < kBulkSaveInterval) return;
    if (!saveStateFile(stateFile, state)) {
      std::fprintf(stderr, "plenar-printer-sim: cannot write state file %s\n", stateFile.c_str());
    }
    state.dirty = false;
    state.urgent = false;
    lastSave = now;
  }
};

UsbPrintersSetup usbPrintersSetup(const SimOptions& o) {
  UsbPrintersSetup s;
  s.model = parseUsbVidPid(o.usb.value_or(kDefaultUsb));
  s.host = o.usbHost;
  s.statePattern = o.usbHost.statePattern.empty() ? o.stateFile : o.usbHost.statePattern;
  s.recordPattern = o.usbHost.recordPattern.empty() ? o.recordFile : o.usbHost.recordPattern;
  s.printer.bootEnabled = o.boot;
  s.printer.readChunk = o.readChunk;
  s.modelTag = o.model;
  s.replugMs = o.usbReplugMs;
  return s;
}

UsbPrinters::UsbPrinters(Testbed& testbed, UsbPrintersSetup setup)
    : testbed_(testbed), setup_(std::move(setup)) {
  stopFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  startFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (stopFd_ < 0 || startFd_ < 0) {
    if (stopFd_ >= 0) ::close(stopFd_);
    if (startFd_ >= 0) ::close(startFd_);
    throw std::runtime_error("eventfd failed");
  }
  try {
    const int atOnce = setup_.host.stream > 0 ? 0 : setup_.host.count;
    for (int n = 1; n <= atOnce; ++n) arrive(n);
    thread_ = std::thread(&UsbPrinters::serve, this);
  } catch (...) {
    units_.clear();
    ::close(stopFd_);
    ::close(startFd_);
    throw;
  }
}

void UsbPrinters::start() {
  const std::uint64_t one = 1;
  (void)!::write(startFd_, &one, sizeof one);
}

UsbPrinters::~UsbPrinters() {
  const std::uint64_t one = 1;
  (void)!::write(stopFd_, &one, sizeof one);
  if (thread_.joinable()) thread_.join();
  for (auto& u : units_) {
    u->save(true);
    u->link.reset();
  }
  ::close(stopFd_);
  ::close(startFd_);
}

void UsbPrinters::arrive(int number) {
  auto u = std::make_unique<Unit>();
  u->number = number;
  u->stateFile = numberedPath(setup_.statePattern, number);
  if (setup_.modelTag) u->state.modelTag = *setup_.modelTag;
  const std::string record = numberedPath(setup_.recordPattern, number);
  if (!record.empty() && !u->recorder.open(record)) {
    throw std::runtime_error("cannot create record file " + record);
  }
  const int rate = codeToRate(u->state.settings.baudCode).value_or(9600);
  u->printer = std::make_unique<Printer>(u->state, setup_.printer, u->recorder, rate);
  UsbPrinterIdentity id = setup_.model;
  id.serial = streamPath(setup_.host.serialPattern, number);
  // One printer of a stream is attached at a time, so ports come round again.
  id.port = 1 + (number - 1) % kMaxUsbPrintersAtOnce;
  u->link = std::make_unique<UsbLink>(testbed_, id);
  u->event("USB printer " + std::to_string(number) + " arrived on port 1-" +
           std::to_string(id.port) +
           (id.serial.empty() ? ", no serial number" : ", serial number " + id.serial));
  u->save(true);
  units_.push_back(std::move(u));
}

void UsbPrinters::leave(Unit& unit, const std::string& why) {
  unit.save(true);
  unit.event("USB printer " + std::to_string(unit.number) + " leaves: " + why);
  unit.link->unplug();
  unit.left = true;
  unit.unplugAt.reset();
  unit.plugAt.reset();
  if (setup_.host.stream > 0 && unit.number < setup_.host.stream) {
    nextArrival_ = Clock::now() + milliseconds(setup_.host.gapMs);
  }
}

void UsbPrinters::service(Unit& unit) {
  std::vector<std::uint8_t> bytes = unit.link->read();
  if (bytes.empty() || unit.left) return;
  unit.lastInput = Clock::now();
  std::vector<Output> outs = unit.printer->receive(Link::Usb, bytes);
  const std::uint64_t frames = unit.printer->framesReceived(Link::Usb);
  unit.talkedTo = frames > 0;
  unit.save(false);
  if (unit.number == setup_.host.pullPrinter &&
      frames >= static_cast<std::uint64_t>(setup_.host.pullFrames)) {
    leave(unit, "pulled after " + std::to_string(setup_.host.pullFrames) + " frames");
    return;
  }
  for (const auto& o : outs) {
    if (!unit.link->plugged()) {
      unit.event("answer lost: the USB device is unplugged");
      break;
    }
    unit.link->write(o.bytes);
  }
  if (unit.printer->inLoader() != unit.loaderSeen) {
    unit.loaderSeen = unit.printer->inLoader();
    unit.unplugAt = Clock::now() + kRestartGrace;
  }
}

int UsbPrinters::runTimers() {
  const auto now = Clock::now();
  int timeout = -1;
  if (nextArrival_) {
    if (now >= *nextArrival_) {
      nextArrival_.reset();
      arrive(units_.empty() ? 1 : units_.back()->number + 1);
    } else {
      soonest(timeout, msUntil(*nextArrival_, now));
    }
  }
  for (auto& up : units_) {
    Unit& u = *up;
    if (u.left) continue;
    if (u.unplugAt && now >= *u.unplugAt) {
      u.unplugAt.reset();
      u.event("USB device leaves: the printer restarts");
      u.link->unplug();
      u.plugAt = now + milliseconds(setup_.replugMs);
    }
    if (u.plugAt && now >= *u.plugAt) {
      u.plugAt.reset();
      u.event("USB device back after the restart");
      u.link->plug();
    }
    for (const auto& due : {u.unplugAt, u.plugAt}) {
      if (due) soonest(timeout, msUntil(*due, now));
    }
    const bool restarting = u.unplugAt || u.plugAt;
    if (setup_.host.stream > 0 && u.talkedTo && !restarting) {
      const auto idleEnd = u.lastInput + milliseconds(setup_.host.leaveIdleMs);
      if (now >= idleEnd) {
        leave(u, "idle after being set up");
        if (nextArrival_) soonest(timeout, msUntil(*nextArrival_, now));
        continue;
      }
      soonest(timeout, msUntil(idleEnd, now));
    }
    if (u.state.dirty && !u.stateFile.empty()) {
      u.save(now - u.lastSave >= kBulkSaveInterval);
      if (u.state.dirty) soonest(timeout, msUntil(u.lastSave + kBulkSaveInterval, now));
    }
  }
  return timeout;
}

void UsbPrinters::serve() {
  for (;;) {
    int timeout = -1;
    try {
      timeout = runTimers();
    } catch (const std::exception& e) {
      // A printer that cannot arrive (its record file, the testbed) ends the stream, not the
      // simulator.
      std::fprintf(stderr, "plenar-printer-sim: USB printers stop: %s\n", e.what());
      return;
    }
    std::vector<pollfd> fds{{stopFd_, POLLIN, 0}, {startFd_, POLLIN, 0}};
    std::vector<Unit*> polled;
    for (auto& u : units_) {
      if (u->left) continue;
      fds.push_back({u->link->fd(), POLLIN, 0});
      polled.push_back(u.get());
    }
    const int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno != EINTR) return;
    if (fds[0].revents != 0) return;
    if (fds[1].revents != 0) {
      std::uint64_t count;
      (void)!::read(startFd_, &count, sizeof count);
      if (setup_.host.stream > 0 && !started_) {
        started_ = true;
        nextArrival_ = Clock::now();
      }
    }
    for (std::size_t i = 0; i < polled.size(); ++i) {
      if (fds[i + 2].revents != 0) service(*polled[i]);
    }
  }
}

}  // namespace plenar::sim
