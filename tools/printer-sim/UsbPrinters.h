// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Printer.h"
#include "UsbOptions.h"
#include "devices/UsbPrinterDevice.h"

namespace plenar::sim {

class Testbed;
struct SimOptions;

struct UsbPrintersSetup {
  UsbPrinterIdentity model;  // the codes; serial number and port are set per printer
  UsbHostOptions host;
  std::string statePattern;   // numberedPath() gives printer n's state file; "" none
  std::string recordPattern;  // likewise for its record file
  PrinterConfig printer;
  std::optional<std::string> modelTag;
  int replugMs = 500;  // away this long when the printer restarts into or out of its loader
};

// From the simulator's options (--usb, --usb-count or --usb-stream, --state, --record, ...).
UsbPrintersSetup usbPrintersSetup(const SimOptions& options);

// Several virtual USB printers of one model in one testbed, each a printer of its own (state,
// state file, records, frame count): `count` of them attached at once on ports 1-1 .. 1-count,
// or a stream: printer 1 arrives, is talked to, leaves once idle (or when pulled after F frames),
// and after a gap printer 2 arrives with a fresh state, and so on. They are served on a thread of
// their own, so the simulator's own links are not slowed by them.
// Threads: construct and destroy on one thread; the printers live on the serving thread.
class UsbPrinters {
 public:
  // Plugs the printers in and starts serving; a stream waits for start(). Throws
  // std::runtime_error.
  UsbPrinters(Testbed& testbed, UsbPrintersSetup setup);
  // Stops serving, saves every printer's state and unplugs those still attached.
  ~UsbPrinters();
  UsbPrinters(const UsbPrinters&) = delete;
  UsbPrinters& operator=(const UsbPrinters&) = delete;

  // The stream's first printer arrives (nothing once the stream has started). Any thread.
  void start();

 private:
  struct Unit;
  void arrive(int number);
  void leave(Unit& unit, const std::string& why);
  void serve();
  void service(Unit& unit);
  // Runs what is due; returns the milliseconds until the next thing is due (-1: nothing).
  int runTimers();

  Testbed& testbed_;
  UsbPrintersSetup setup_;
  std::vector<std::unique_ptr<Unit>> units_;  // every printer so far, in order of arrival
  int stopFd_ = -1;
  int startFd_ = -1;
  bool started_ = false;  // the stream's first printer was sent on its way
  std::optional<std::chrono::steady_clock::time_point> nextArrival_;
  std::thread thread_;
};

}  // namespace plenar::sim
