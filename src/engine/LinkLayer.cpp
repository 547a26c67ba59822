// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/LinkLayer.h"

#include <algorithm>
#include <cctype>

#include "engine/TCommThread.h"
#include "engine/transport/NetworkTransport.h"
#include "engine/transport/ParallelTransport.h"
#include "engine/transport/SerialTransport.h"
#include "engine/transport/UsbTransport.h"
#include "shared/Errors.h"
#include "shared/Frame.h"
#include "shared/RateCodes.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

using std::chrono::milliseconds;

constexpr std::size_t kIdentifyReply = 2049;

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

// A command in which the printer has not sent a byte never reached it: the link is at fault (a
// dead address, a printer switched off), as in the link test. Once it answered, a failed request
// is the printer's.
FailureKind LinkLayer::silenceKind() const {
  return worker_.trace().bytesReceived() == 0 ? FailureKind::Link : FailureKind::Printer;
}

LinkLayer::LinkLayer(TCommThread& worker, SerialChannel& serial, UdpSocket& udp, UsbChannel* usb,
                     ParallelChannel* parallel)
    : worker_(worker),
      receiver_(worker, state_),
      serial_(std::make_unique<SerialTransport>(worker, state_, serial)),
      usb_(std::make_unique<UsbTransport>(worker, state_, usb, *serial_)),
      network_(std::make_unique<NetworkTransport>(worker, state_, udp)),
      parallel_(std::make_unique<ParallelTransport>(worker, state_, parallel)) {
  transports_[static_cast<std::size_t>(LinkKind::Serial)] = serial_.get();
  transports_[static_cast<std::size_t>(LinkKind::Network)] = network_.get();
  transports_[static_cast<std::size_t>(LinkKind::Usb)] = usb_.get();
  transports_[static_cast<std::size_t>(LinkKind::Parallel)] = parallel_.get();
}

LinkLayer::~LinkLayer() = default;

Transport& LinkLayer::transport() {
  return *transports_.at(static_cast<std::size_t>(worker_.request().link.kind));
}

// ---------------------------------------------------------------- link operations

void LinkLayer::openLink() {
  const Transport::Opened opened = transport().open();
  if (opened.atDeviceRate) switchBaudRate(worker_.transferBaud());
  if (opened.answers) identifyRequest();
}

void LinkLayer::closeLink() {
  transport().close();
}

void LinkLayer::sendRaw(std::span<const std::uint8_t> bytes) {
  worker_.reply().reset();
  worker_.trace().addSend(bytes);
  if (bytes.empty()) return;
  transport().send(bytes);
}

void LinkLayer::openAndSendRaw(std::span<const std::uint8_t> bytes) {
  openLink();
  sendRaw(bytes);
  restoreDeviceRate();
}

void LinkLayer::switchBaudRate(std::optional<int> rate) {
  const std::string text = rate ? std::to_string(*rate) : worker_.request().link.transferBaudText;
  const int checked = checkedRate(rate, text);
  if (static_cast<std::uint32_t>(checked) == serial_->rate()) return;
  worker_.pause(milliseconds(30));
  try {
    framedRequest(kSwitchRateCommand, *rateToCode(checked), 0, {}, 1);
  } catch (...) {
    throw ESetBaudRateException("Set Baudrate Failed", "switching to " + std::to_string(checked) +
                                                           " bit/s: " + currentFailure());
  }
  serial_->setRate(static_cast<std::uint32_t>(checked));
  worker_.pause(milliseconds(30));
}

void LinkLayer::restoreDeviceRate() {
  switchBaudRate(checkedRate(worker_.deviceBaud(), worker_.request().link.deviceBaudText));
}

void LinkLayer::connectHandshake() {
  try {
    worker_.reportProgress(text(TextId::Connecting));
    framedRequest(kBootConnectCommand, 0, 0, {}, 3);
    worker_.reportProgress(text(TextId::Connected));
  } catch (...) {
    throw ESetBaudRateException("Connecting Failed",
                                "the boot connect request: " + currentFailure());
  }
  worker_.pause(milliseconds(300));
}

void LinkLayer::suspendLink() {
  transport().suspend();
}

void LinkLayer::resumeLink() {
  transport().resume();
}

// ---------------------------------------------------------------- the serial port

void LinkLayer::reopenSerialPort(const std::string& name) {
  serial_->reopenAtDeviceRate(name);
}

void LinkLayer::closeSerialPort() {
  serial_->closePort();
}

void LinkLayer::dropSerialPort() {
  serial_->dropPort();
}

void LinkLayer::refreshSerialPort() {
  serial_->refresh();
}

void LinkLayer::releaseSerialPort() {
  serial_->release();
}

// ---------------------------------------------------------------- framed protocol

int LinkLayer::framedRequest(std::uint16_t command, std::uint32_t value1, std::uint32_t value2,
                             std::span<const std::uint8_t> data, int attempts) {
  const auto frame = buildChecked(command, value1, value2, data, kMaxRequestData);
  Transport& link = transport();
  bool answered = false;
  for (int attempt = 0; attempt < attempts && !answered; ++attempt) {
    sendRaw(frame);
    answered = link.awaitAck(command);
  }
  if (!answered && !state_.bootQuiet()) {
    throw ECommunicationException("Download Data Failed", {}, silenceKind());
  }
  return worker_.reply().length();
}

LinkLayer::ReadOutcome LinkLayer::framedReadOnce(std::uint16_t command, std::uint32_t value1,
                                                 std::uint32_t value2,
                                                 std::span<const std::uint8_t> requestData,
                                                 std::span<std::uint8_t> reply, int attempts) {
  const auto frame = buildChecked(command, value1, value2, requestData, kMaxReadData);
  Transport& link = transport();
  ReadOutcome outcome;
  for (int attempt = 0; attempt < attempts && !outcome.answered; ++attempt) {
    sendRaw(frame);
    if (auto length = link.awaitRead(reply)) outcome = {true, *length};
  }
  if (!outcome.answered && !state_.bootQuiet()) {
    throw ECommunicationException("Received Failed", {}, silenceKind());
  }
  if (!outcome.answered) outcome.length = worker_.reply().length();
  return outcome;
}

int LinkLayer::framedRead(std::uint16_t command, std::uint32_t value1, std::uint32_t value2,
                          std::span<const std::uint8_t> requestData, std::span<std::uint8_t> reply,
                          int attempts) {
  return framedReadOnce(command, value1, value2, requestData, reply, attempts).length;
}

void LinkLayer::identifyRequest() {
  std::array<std::uint8_t, kIdentifyReply> reply{};
  auto outcome = framedReadOnce(kIdentifyCommand, 0, 0, kIdentifyData, reply, 1);
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

}  // namespace plenar
