// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Engine.h"

#include "channels/TComm.h"
#include "channels/TLptChannel.h"
#include "channels/TLptDeviceBox.h"
#include "channels/TUSBComm.h"
#include "commands/Routines.h"
#include "engine/LinkLayer.h"
#include "engine/transport/UsbTransport.h"
#include "platform/UdpSocket.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

std::unique_ptr<TUSBComm> makeUsb(UsbChannel* given, OwnerDispatcher& owner) {
  if (given != nullptr) return nullptr;
  try {
    return std::make_unique<TUSBComm>(owner);
  } catch (const ECommsError&) {
    return nullptr;  // no libusb here (no /dev/bus/usb): a USB link fails when it is used
  }
}

}  // namespace

Engine::Engine(std::string programDir, ReportWindow& reportWindow, OwnerDispatcher& owner,
               UsbChannel* usb)
    : programDir_(std::move(programDir)),
      serial_(std::make_unique<TComm>(owner)),
      udp_(std::make_unique<UdpSocket>()),
      parallel_(std::make_unique<TLptChannel>(&owner)),
      worker_(std::make_unique<TCommThread>(programDir_, reportWindow, owner)),
      ownUsb_(makeUsb(usb, owner)),
      link_(std::make_unique<LinkLayer>(*worker_, *serial_, *udp_, ownUsb_ ? ownUsb_.get() : usb,
                                        parallel_.get())) {
  TComm& serial = *serial_;
  SerialSettings line = serial.settings();
  line.xonXoffFlow = false;
  line.dtr = false;
  line.rts = false;
  line.readIntervalTimeout = 20;
  serial.setSettings(line);
  LinkReceiver& receiver = link_->receiver();
  serial.setDirectReceiver(
      [&receiver](std::span<const std::uint8_t> bytes) { return receiver.takeSerial(bytes); });
  serial.OnReceiveData = [&receiver](TComm&, const std::uint8_t* bytes, std::uint16_t count) {
    receiver.serialReceive(bytes, count);
  };
  // While a command runs, every byte is handed on as soon as it arrives: the reply assembler
  // collects a reply from any number of chunks and wakes the worker when it is complete, and a
  // wait for the line to go quiet would hold each reply back (at 230400 bit/s a 256-byte block
  // takes 12.5 ms on the line). Between commands the 20 ms interval keeps what a printer sends
  // on its own in readable pieces for the text area.
  worker_->setCommandHooks([&serial] { serial.setReadIntervalTimeout(TComm::kReadReturnAtOnce); },
                           [&serial] { serial.setReadIntervalTimeout(20); });
  if (ownUsb_) {
    TUSBComm& u = *ownUsb_;
    UsbTransport& usbLink = link_->usb();
    u.setDirectReceiver(
        [&receiver](std::span<const std::uint8_t> bytes) { return receiver.takeUsb(bytes); });
    u.OnReceiveData = [&receiver](TUSBComm&, const std::uint8_t* bytes, std::uint16_t count) {
      receiver.usbReceive(bytes, count);
    };
    u.OnUSBArrival = [&usbLink](TUSBComm&) { usbLink.deviceChanged(true); };
    u.OnUSBRemove = [&usbLink](TUSBComm&) { usbLink.deviceChanged(false); };
    u.OnSendDataEmpty = [&usbLink](TUSBComm&) { usbLink.sendQueueEmpty(); };
  }
  registerRoutines(*worker_, *link_);
}

Engine::~Engine() {
  worker_.reset();
  ownUsb_.reset();
  serial_->close();
  udp_->deactivate();
}

SerialChannel& Engine::serial() {
  return *serial_;
}

void Engine::forgetLink() {
  link_->state().setLinkOpen(false);
}

bool Engine::linkOpen() const {
  return link_->state().linkOpen();
}

void Engine::endQuietBootWait() {
  link_->state().setBootQuiet(false);
}

bool Engine::bootConfirmed() const {
  return link_->state().bootConfirmed();
}

bool Engine::takeBootConfirmation() {
  return link_->state().takeBootConfirmation();
}

void Engine::leaveBootMode() {
  link_->state().setBootFlag(false);
}

void Engine::closeAfterBoot() {
  serial_->close();
  forgetLink();
  takeBootConfirmation();
}

std::string Engine::printerModelTag() const {
  return link_->printerModelTag();
}

std::vector<std::string> Engine::usbDevicesAtStart(const std::vector<std::string>& filters) {
  return link_->usb().devicesAtStart(filters);
}

void Engine::setUsbListSink(
    std::function<void(const std::vector<std::string>& entries, bool selectFirst)> sink) {
  link_->usb().setListSink(std::move(sink));
}

void Engine::setTextAreaSink(std::function<void(const std::string&)> sink) {
  link_->receiver().setTextAreaSink(std::move(sink));
}

void Engine::prepareChannels(const LinkSnapshot& link) {
  if (link.kind == LinkKind::Serial) {
    serial_->setPortName(link.serialPort);
    if (auto rate = parseRateText(link.deviceBaudText)) {
      serial_->setRate(static_cast<std::uint32_t>(*rate));
    }
  }
  // The chosen USB printer open, as a link test in the connection window leaves it (the channel
  // stays open across commands): routines that only send, such as user data, need it so.
  if (link.kind == LinkKind::Usb && ownUsb_) {
    ownUsb_->select(link.usbDevice);
    ownUsb_->open();
  }
  // On the network the first send opens the socket itself; the parallel port opens on its send.
}

void Engine::showParallelPorts(TLptDeviceBox& box) {
  // The ports come from udev and follow ports that appear or disappear while the window is open.
  parallel_->ports().watch();
  box.setChannel(parallel_.get());
}

}  // namespace plenar
