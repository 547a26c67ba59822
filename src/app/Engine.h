// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/TCommThread.h"

namespace plenar {

class ReportWindow;
class OwnerDispatcher;
class TComm;
class UdpSocket;
class LinkLayer;
class SerialChannel;
class UsbChannel;
class TUSBComm;
class TLptChannel;
class TLptDeviceBox;
struct LinkSnapshot;

// The engine as the windows and the CLI use it: the worker, the four channels (serial, network,
// USB, parallel) and the link layer, with every printer routine registered. The windows and
// plenar only post requests and show results; the channels are the engine's alone.
// Created on the owner (UI) thread, which must keep running its dispatcher while commands run.
// Threads: construct and destroy on the owner thread; worker() may be used from any thread; the
// other operations belong to the owner thread.
class Engine {
 public:
  // `programDir` receives debug.log: ProgramPaths::stateDir. Without `usb` the engine makes
  // its own USB channel on libusb (none when libusb cannot start: USB links then fail).
  Engine(std::string programDir, ReportWindow& reportWindow, OwnerDispatcher& owner,
         UsbChannel* usb = nullptr);
  // Stops the worker first (a running command ends at its next wait), then the channels.
  ~Engine();

  TCommThread& worker() { return *worker_; }
  LinkLayer& link() { return *link_; }
  SerialChannel& serial();
  const std::string& programDir() const { return programDir_; }

  // ---- what the windows and plenar ask of the link, between commands ----
  // The next link test opens the link afresh (a USB device is opened again).
  void forgetLink();
  bool linkOpen() const;
  // The boot handshake's waits without an answer end: a later command to a printer that does
  // not answer fails instead of reporting success.
  void endQuietBootWait();
  // The printer confirmed boot mode (the boot handshake's echo); take...() forgets it.
  bool bootConfirmed() const;
  bool takeBootConfirmation();
  // Received serial bytes are no longer copied raw for the boot handshake.
  void leaveBootMode();
  // Boot mode confirmed and left: the serial port is closed, the link and the confirmation
  // forgotten. Only while no command runs.
  void closeAfterBoot();
  // The printer's model tag from the last identify request; empty when none answered.
  std::string printerModelTag() const;
  // The USB entries the connection window lists at start-up, and the sink that receives the
  // list again whenever a USB device arrives or leaves.
  std::vector<std::string> usbDevicesAtStart(const std::vector<std::string>& filters);
  void setUsbListSink(
      std::function<void(const std::vector<std::string>& entries, bool selectFirst)> sink);
  // Receives the text lines of bytes that arrive while no command runs.
  void setTextAreaSink(std::function<void(const std::string&)> sink);

  // Leaves the channels as the connection window's link test would have left them, for the
  // routines that do not open the link themselves (port refresh, user data): the serial channel
  // named by `link` at its device rate (closed), the USB printer of `link` open. Throws
  // ECommsError when the USB printer cannot be opened. No command may run.
  void prepareChannels(const LinkSnapshot& link);
  // Binds the connection window's parallel port list to the parallel channel; the list then
  // follows ports that appear or disappear.
  void showParallelPorts(TLptDeviceBox& box);

 private:
  std::string programDir_;
  std::unique_ptr<TComm> serial_;
  std::unique_ptr<UdpSocket> udp_;
  std::unique_ptr<TLptChannel> parallel_;
  std::unique_ptr<TCommThread> worker_;
  std::unique_ptr<TUSBComm> ownUsb_;
  std::unique_ptr<LinkLayer> link_;
};

}  // namespace plenar
