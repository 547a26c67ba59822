#pragma once

#include <memory>
#include <string>

#include "engine/TCommThread.h"

namespace plenar {

class ReportWindow;
class OwnerDispatcher;
class TComm;
class UdpSocket;
class LinkLayer;
class UsbChannel;
class TUSBComm;
class ParallelChannel;

// The engine as the windows and the CLI use it: the worker, the serial channel, the network
// socket and the link layer, with every printer routine registered. Created on the owner (UI)
// thread, which must keep running its dispatcher while commands run.
// Threads: construct and destroy on the owner thread; worker() may be used from any thread.
class Engine {
 public:
  // `programDir` receives debug.log: ProgramPaths::stateDir. Without `usb` the engine makes
  // its own USB channel on libusb (none when libusb cannot start: USB links then fail).
  Engine(std::string programDir, ReportWindow& reportWindow, OwnerDispatcher& owner,
         UsbChannel* usb = nullptr, ParallelChannel* parallel = nullptr);
  // Stops the worker first (a running command ends at its next wait), then the channels.
  ~Engine();

  TCommThread& worker() { return *worker_; }
  LinkLayer& link() { return *link_; }
  TComm& serial() { return *serial_; }
  const std::string& programDir() const { return programDir_; }
  // The USB channel the engine made itself; null when one was passed in or libusb failed.
  TUSBComm* ownUsb() { return ownUsb_.get(); }

 private:
  std::string programDir_;
  std::unique_ptr<TComm> serial_;
  std::unique_ptr<UdpSocket> udp_;
  std::unique_ptr<TCommThread> worker_;
  std::unique_ptr<TUSBComm> ownUsb_;
  std::unique_ptr<LinkLayer> link_;
};

}  // namespace plenar
