#include "engine/LinkLayer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "channels/ParallelChannel.h"
#include "channels/SerialChannel.h"
#include "channels/UsbChannel.h"
#include "engine/TCommThread.h"
#include "engine/UsbDeviceList.h"
#include "platform/UdpSocket.h"
#include "shared/Errors.h"
#include "shared/Frame.h"
#include "shared/RateCodes.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

using std::chrono::milliseconds;

constexpr int kParallelIoBase = 0x378;
constexpr std::size_t kDatagramMax = 2049;
constexpr std::array<std::uint8_t, 8> kIdentifyData{0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};

std::vector<std::uint8_t> buildChecked(std::uint16_t command, std::uint32_t value1,
                                       std::uint32_t value2, std::span<const std::uint8_t> data,
                                       std::size_t maxData) {
  if (data.size() > maxData) {
    // Refused before anything is built or sent: a larger frame does not fit the printer's area.
    throw EPrinterError("Request of " + std::to_string(data.size()) +
                        " data bytes exceeds the frame limit of " + std::to_string(maxData));
  }
  return buildFrame(command, value1, value2, data, maxData);
}

}  // namespace

LinkLayer::LinkLayer(TCommThread& worker, SerialChannel& serial, UdpSocket& udp, UsbChannel* usb,
                     ParallelChannel* parallel)
    : worker_(worker), serial_(serial), udp_(udp), usb_(usb), parallel_(parallel) {}

bool LinkLayer::serialChosen() const {
  return worker_.request().link.kind == LinkKind::Serial;
}

int LinkLayer::checkedRate(std::optional<int> rate, const std::string& boxText) const {
  if (!rate) throw EPrinterError("Invalid baud rate '" + boxText + "': not a number");
  if (!rateToCode(*rate)) {
    throw EPrinterError("Invalid baud rate " + std::to_string(*rate) +
                        ": the printer supports 1200 to 230400");
  }
  return *rate;
}

// ---------------------------------------------------------------- link operations

void LinkLayer::openLink() {
  const auto& link = worker_.request().link;
  openLink(link.serialPort, worker_.transferBaud());
}

void LinkLayer::openLink(const std::string& serialPort, std::optional<int> transferRate) {
  const LinkSnapshot& link = worker_.request().link;
  switch (link.kind) {
    case LinkKind::Network:
      worker_.linkOpen = true;
      udp_.activate(link.ipAddress, link.udpPort);
      identifyRequest();
      return;
    case LinkKind::Parallel:
      worker_.linkOpen = true;
      activateParallel();
      return;
    case LinkKind::Usb:
      if (!worker_.linkOpen) {
        if (!usb_) throw ECommsError("The USB channel is not available");
        usb_->select(link.usbDevice);
        usb_->open();
      }
      worker_.linkOpen = true;
      worker_.pause(milliseconds(100));
      identifyRequest();
      return;
    case LinkKind::Serial:
      break;
  }
  int deviceRate = checkedRate(worker_.deviceBaud(), link.deviceBaudText);
  // Both rates are checked before the port opens, so nothing undefined reaches the printer.
  if (!transferRate) {
    throw EPrinterError("Invalid baud rate '" + link.transferBaudText + "': not a number");
  }
  checkedRate(transferRate, link.transferBaudText);
  serial_.setPortName(serialPort);
  serial_.setRate(static_cast<std::uint32_t>(deviceRate));
  if (worker_.linkOpen) closeSerialPort();
  serial_.open();
  worker_.linkOpen = true;
  if (worker_.commandCode() != 0) {
    worker_.trace().addLine("Open" + serialPort + traceTimestamp());
  }
  worker_.pause(milliseconds(30));
  switchBaudRate(transferRate);
  identifyRequest();
}

void LinkLayer::activateParallel() {
  if (!parallel_) throw ECommsError("The parallel port channel is not available");
  // Always the plain printer port at the standard address, never direct port access.
  parallel_->setPortNumber(worker_.request().link.lptNumber);
  parallel_->setDirectMode(false);
  parallel_->setIoBase(kParallelIoBase);
  parallel_->open();
  worker_.pause(milliseconds(100));
}

void LinkLayer::closeLink() {
  const LinkSnapshot& link = worker_.request().link;
  switch (link.kind) {
    case LinkKind::Network:
      udp_.deactivate();
      break;
    case LinkKind::Parallel:
      if (parallel_) parallel_->close();
      break;
    case LinkKind::Usb:
    case LinkKind::Serial:
      closeSerialPort();
      if (worker_.linkOpen && worker_.commandCode() != 0) {
        worker_.trace().addLine("Close" + link.serialPort + traceTimestamp());
      }
      break;
  }
  // The USB channel stays open across commands until a device arrives or leaves.
  if (link.kind != LinkKind::Usb) worker_.linkOpen = false;
}

void LinkLayer::sendRaw(std::span<const std::uint8_t> bytes) {
  {
    std::lock_guard lock(worker_.replyMutex);
    worker_.replyLength = 0;
    worker_.receivePosition = 0;
    worker_.replyEvent.reset();
  }
  worker_.trace().addSend(bytes);
  if (bytes.empty()) return;
  switch (worker_.request().link.kind) {
    case LinkKind::Network:
      // Commands that do not open the link (user data, port refresh) find the socket closed
      // after a link test; a datagram into a closed socket would vanish without a word.
      if (!udp_.isActive()) {
        const LinkSnapshot& link = worker_.request().link;
        udp_.activate(link.ipAddress, link.udpPort);
      }
      udp_.send(bytes);
      return;
    case LinkKind::Parallel:
      // The port has no return channel, but the lp driver does refuse a write (port gone,
      // printer out of paper, offline or faulted) and the channel a byte the printer never
      // took: the command fails with that text instead of being reported done.
      if (!parallel_) throw ECommsError("The parallel port channel is not available");
      // Commands that do not open the link (user data) find the port closed after a link test;
      // a closed port drops what is written without a word.
      if (!parallel_->isOpen()) activateParallel();
      parallel_->send(bytes);
      return;
    case LinkKind::Usb:
      if (!usb_ || !usb_->send(bytes)) {
        throw ECommunicationException("USB write failed: the device is not open");
      }
      return;
    case LinkKind::Serial:
      break;
  }
  // A write on a closed port would be lost without a word; say so instead.
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::size_t n = std::min<std::size_t>(bytes.size() - pos, 0xFFFF);
    if (!serial_.send(bytes.subspan(pos, n))) {
      throw ECommunicationException("Serial write failed: the port is not open");
    }
    pos += n;
  }
}

void LinkLayer::closeSerialPort() {
  // Closing discards what the driver has not sent yet; a raw sequence at a low rate may still be
  // on its way. A closing program does not wait for it.
  serial_.waitSendComplete(std::chrono::milliseconds(1000), [this] { return worker_.stopping(); });
  serial_.close();
}

void LinkLayer::openAndSendRaw(std::span<const std::uint8_t> bytes) {
  openLink();
  sendRaw(bytes);
  restoreDeviceRate();
}

void LinkLayer::switchBaudRate(std::optional<int> rate) {
  const std::string text = rate ? std::to_string(*rate) : worker_.request().link.transferBaudText;
  int checked = checkedRate(rate, text);
  if (static_cast<std::uint32_t>(checked) == serial_.rate()) return;
  worker_.pause(milliseconds(30));
  try {
    framedRequest(0x31, *rateToCode(checked), 0, {}, 1);
  } catch (...) {
    throw ESetBaudRateException("Set Baudrate Failed");
  }
  serial_.setRate(static_cast<std::uint32_t>(checked));
  worker_.pause(milliseconds(30));
}

void LinkLayer::restoreDeviceRate() {
  auto device = worker_.deviceBaud();
  if (!device) {
    throw EPrinterError("Invalid baud rate '" + worker_.request().link.deviceBaudText +
                        "': not a number");
  }
  switchBaudRate(device);
}

void LinkLayer::reopenSerialPort(const std::string& name) {
  int deviceRate = checkedRate(worker_.deviceBaud(), worker_.request().link.deviceBaudText);
  serial_.setPortName(name);
  serial_.setRate(static_cast<std::uint32_t>(deviceRate));
  // Closed first in any case: a port left open by an earlier command is reopened at the device
  // rate instead of failing with "already opened".
  closeSerialPort();
  serial_.open();
  worker_.linkOpen = true;
  if (worker_.commandCode() != 0) worker_.pause(milliseconds(30));
}

void LinkLayer::connectHandshake() {
  try {
    worker_.reportProgress(text(TextId::sMsg3));
    framedRequest(0x32, 0, 0, {}, 3);
    worker_.reportProgress(text(TextId::sMsg4));
  } catch (...) {
    throw ESetBaudRateException("Connecting Failed");
  }
  worker_.pause(milliseconds(300));
}

void LinkLayer::suspendLink() {
  switch (worker_.request().link.kind) {
    case LinkKind::Network:
      udp_.deactivate();
      break;
    case LinkKind::Parallel:
      if (parallel_) parallel_->close();
      break;
    case LinkKind::Usb:
      if (usb_) usb_->close();
      break;
    case LinkKind::Serial:
      closeSerialPort();
      break;
  }
}

void LinkLayer::resumeLink() {
  const LinkSnapshot& link = worker_.request().link;
  switch (link.kind) {
    case LinkKind::Network:
      udp_.activate(link.ipAddress, link.udpPort);
      break;
    case LinkKind::Parallel:
      activateParallel();
      break;
    case LinkKind::Usb:
      if (!usb_) throw ECommsError("The USB channel is not available");
      usb_->open();
      break;
    case LinkKind::Serial:
      serial_.open();
      break;
  }
}

std::size_t LinkLayer::receiveDatagram(std::span<std::uint8_t> buffer, milliseconds timeout) {
  // In slices, so that a closing program does not wait out a silent printer.
  constexpr milliseconds kSlice(100);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    worker_.checkStopping();
    auto left =
        std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left <= milliseconds::zero()) return 0;
    const milliseconds slice = std::min(left, kSlice);
    const auto sliceStart = std::chrono::steady_clock::now();
    if (std::size_t n = udp_.receive(buffer, slice); n > 0) return n;
    // A closed socket or a socket error ends the receive well before its time, as it always did
    // (the socket's own poll rounds its time-out down to whole milliseconds).
    if (std::chrono::steady_clock::now() - sliceStart < slice / 2) return 0;
  }
}

std::uint8_t LinkLayer::replyFirstByte() const {
  std::lock_guard lock(worker_.replyMutex);
  return worker_.replyBuffer[0];
}

void LinkLayer::fillReplyBuffer(std::uint8_t value) {
  std::lock_guard lock(worker_.replyMutex);
  worker_.replyBuffer.fill(value);
}

// ---------------------------------------------------------------- framed protocol

int LinkLayer::framedRequest(std::uint16_t command, std::uint32_t value1, std::uint32_t value2,
                             std::span<const std::uint8_t> data, int attempts) {
  auto frame = buildChecked(command, value1, value2, data, kMaxRequestData);
  const LinkKind kind = worker_.request().link.kind;
  bool answered = false;
  for (int attempt = 0; attempt < attempts && !answered; ++attempt) {
    sendRaw(frame);
    if (kind == LinkKind::Network) {
      std::array<std::uint8_t, kDatagramMax> datagram{};
      std::size_t n = receiveDatagram(datagram, milliseconds(1000));
      if (n > 0) worker_.trace().addReceive(std::span(datagram).first(n));
      // Only the start of an acknowledgement is looked at on the network.
      answered = n >= kFrameHeaderSize && datagram[0] == 0x02 && datagram[1] == 0x00;
    } else if (kind == LinkKind::Parallel) {
      worker_.pause(milliseconds(100));  // no return channel
      answered = true;
    } else if (command == 0x92) {
      worker_.pause(milliseconds(30));  // user data gets no answer on serial and USB
      answered = true;
    } else {
      answered = worker_.waitReply(milliseconds(3000));
    }
  }
  if (!answered && !worker_.bootQuiet) throw ECommunicationException("Download Data Failed");
  return worker_.replyLength;
}

LinkLayer::ReadOutcome LinkLayer::framedReadOnce(std::uint16_t command, std::uint32_t value1,
                                                 std::uint32_t value2,
                                                 std::span<const std::uint8_t> requestData,
                                                 std::span<std::uint8_t> reply, int attempts) {
  auto frame = buildChecked(command, value1, value2, requestData, kMaxReadData);
  const LinkKind kind = worker_.request().link.kind;
  ReadOutcome outcome;
  for (int attempt = 0; attempt < attempts && !outcome.answered; ++attempt) {
    sendRaw(frame);
    if (kind == LinkKind::Network) {
      std::array<std::uint8_t, kDatagramMax> datagram{};
      std::size_t n = receiveDatagram(datagram, milliseconds(3000));
      if (n == 0) continue;
      worker_.trace().addReceive(std::span(datagram).first(n));
      if (n >= kFrameHeaderSize && datagram[0] == 0x02 && datagram[1] == 0x00) {
        int length = datagram[12] | (datagram[13] << 8);
        worker_.replyLength = length;
        // The data, its check byte and what follows, as far as the datagram and the caller's
        // buffer reach; nothing stale is left behind the copied bytes.
        std::size_t available = std::min<std::size_t>(n - kFrameHeaderSize, length + 16);
        std::size_t copy = std::min(available, reply.size());
        std::copy_n(datagram.begin() + kFrameHeaderSize, copy, reply.begin());
        std::fill(reply.begin() + copy, reply.end(), 0);
        outcome = {true, length};
      }
    } else if (kind == LinkKind::Parallel) {
      worker_.pause(milliseconds(100));
      outcome = {true, 0};
    } else if (worker_.waitReply(milliseconds(600))) {
      std::lock_guard lock(worker_.replyMutex);
      int length = worker_.replyLength;
      std::size_t available =
          std::min<std::size_t>(kReplyBufferSize - kFrameHeaderSize, length + 16);
      std::size_t copy = std::min(available, reply.size());
      std::copy_n(worker_.replyBuffer.begin() + kFrameHeaderSize, copy, reply.begin());
      outcome = {true, length};
    }
  }
  if (!outcome.answered && !worker_.bootQuiet) throw ECommunicationException("Received Failed");
  if (!outcome.answered) outcome.length = worker_.replyLength;
  return outcome;
}

int LinkLayer::framedRead(std::uint16_t command, std::uint32_t value1, std::uint32_t value2,
                          std::span<const std::uint8_t> requestData, std::span<std::uint8_t> reply,
                          int attempts) {
  return framedReadOnce(command, value1, value2, requestData, reply, attempts).length;
}

void LinkLayer::identifyRequest() {
  std::array<std::uint8_t, kDatagramMax> reply{};
  auto outcome = framedReadOnce(0x30, 0, 0, kIdentifyData, reply, 1);
  if (!outcome.answered) return;  // only with BootQuiet: the tag keeps its value
  // Only the reply's own data bytes count, up to the first zero.
  std::size_t n = std::min<std::size_t>(std::max(outcome.length, 0), 8);
  std::string tag;
  for (std::size_t i = 0; i < n && reply[i] != 0; ++i) {
    tag += static_cast<char>(std::toupper(reply[i]));
  }
  std::lock_guard lock(tagMutex_);
  modelTag_ = tag;
}

std::string LinkLayer::printerModelTag() const {
  std::lock_guard lock(tagMutex_);
  return modelTag_;
}

// ---------------------------------------------------------------- receive side (owner thread)

void LinkLayer::serialReceive(const std::uint8_t* bytes, std::uint16_t count) {
  if (worker_.bootFlag == 1) {
    worker_.trace().addReceive(std::span(bytes, count));
    std::lock_guard lock(worker_.replyMutex);
    // The raw copy of boot mode stops at the end of the buffer; excess bytes are dropped.
    for (std::uint16_t i = 0; i < count; ++i) {
      if (worker_.receivePosition >= static_cast<int>(kReplyBufferSize)) break;
      worker_.replyBuffer[worker_.receivePosition++] = bytes[i];
    }
  } else if (worker_.commandCode() == 0) {
    showInTextArea(bytes, count);
    return;
  }
  replyAssembler(bytes, count);
}

void LinkLayer::usbReceive(const std::uint8_t* bytes, std::uint16_t count) {
  if (worker_.commandCode() != 0) {
    replyAssembler(bytes, count);
  } else {
    showInTextArea(bytes, count);
  }
}

void LinkLayer::replyAssembler(const std::uint8_t* bytes, std::size_t count) {
  worker_.trace().addReceive(std::span(bytes, count));
  std::lock_guard lock(worker_.replyMutex);
  auto& buf = worker_.replyBuffer;
  int& pos = worker_.receivePosition;
  if (worker_.replyLength == 0) {
    for (std::size_t i = 0; i < count; ++i) {
      if (pos > 4095) pos = 0;
      if (pos != 0) {
        buf[pos++] = bytes[i];
      } else if (bytes[i] == 0x02) {
        buf[0] = bytes[i];
        pos = 1;
      }
    }
  }
  if (pos <= 15) return;
  const int length = buf[12] | (buf[13] << 8);
  const bool headerOk = xorOf(std::span(buf).first(15)) == buf[15];
  if (length >= 1) {
    if (pos <= length + 16) return;  // header, data and check byte not all here yet
    if (!headerOk) {
      pos = 0;
    } else if (xorOf(std::span(buf).subspan(16, length + 1)) == 0) {
      worker_.replyLength = length;
      worker_.replyEvent.set();
    } else {
      pos = 0;
    }
  } else if (headerOk) {
    worker_.replyLength = 0;
    worker_.replyEvent.set();
  } else {
    pos = 0;
  }
}

std::vector<std::string> LinkLayer::usbDevicesAtStart(const std::vector<std::string>& filters) {
  if (!usb_) return {};
  return plenar::usbDevicesAtStart(usb_->devices(), filters);
}

void LinkLayer::usbDeviceChanged(bool arrival) {
  if (!usb_) return;
  usb_->close();
  auto entries = usbDevicesAfterChange(usb_->devices());
  if (usbListSink_) usbListSink_(entries, arrival && !entries.empty());
}

void LinkLayer::usbArrival() {
  usbDeviceChanged(true);
}

void LinkLayer::usbRemoval() {
  usbDeviceChanged(false);
}

void LinkLayer::usbSendEmpty() {
  if (usb_) usb_->setSendDataEmpty(true);
}

void LinkLayer::setUsbListSink(std::function<void(const std::vector<std::string>&, bool)> sink) {
  usbListSink_ = std::move(sink);
}

void LinkLayer::setTextAreaSink(std::function<void(const std::string&)> sink) {
  textAreaSink_ = std::move(sink);
}

void LinkLayer::showInTextArea(const std::uint8_t* bytes, std::size_t count) {
  if (!textAreaSink_) return;
  std::string line;
  for (std::size_t i = 0; i < count; ++i) {
    char c = static_cast<char>(bytes[i]);
    if (c == '\r') continue;
    if (c == '\n') {
      textAreaSink_(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) textAreaSink_(line);
}

}  // namespace plenar
