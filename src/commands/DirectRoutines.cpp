// SPDX-License-Identifier: GPL-3.0-or-later
// Direct control sequences: short vendor and ESC/POS byte sequences sent raw, outside the frame
// protocol, and the user's own data in 0x92 frames. None of them waits for an answer (except
// 0x92 on the network) and none closes the link. A failure is reported like any other command's:
// failure code 1 with its message.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "commands/RequestBytes.h"
#include "commands/Routines.h"
#include "engine/LinkLayer.h"
#include "engine/TCommThread.h"
#include "shared/Errors.h"
#include "shared/Frame.h"

namespace plenar {
namespace {

using Bytes = std::vector<std::uint8_t>;

void sleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool serialChosen(TCommThread& worker) {
  return worker.request().link.kind == LinkKind::Serial;
}

// Open the link (switching to the transfer rate), send, back to the device rate; left open.
void openAndSend(TCommThread& worker, LinkLayer& link, const Bytes& bytes) {
  worker.runGuarded([&] { link.openAndSendRaw(bytes); });
}

// The Ethernet and Bluetooth-hiding sequences do not open the link: on serial they refresh the
// port with its current settings (the device rate the last command left), elsewhere they go out
// over the link as the previous command left it.
void portRefreshSend(TCommThread& worker, LinkLayer& link, const Bytes& sequence) {
  worker.runGuarded([&] {
    // The port stays open after the sequence, with LinkOpen set.
    if (serialChosen(worker)) link.refreshSerialPort();
    worker.pause(std::chrono::milliseconds(10));
    link.sendRaw(sequence);
    worker.pause(std::chrono::milliseconds(10));
  });
}

// Code 17: 1C 70 n 00 (FS p, print NV image n, normal size) for each logo number; the link
// is left open.
void printStoredLogos(TCommThread& worker, LinkLayer& link) {
  worker.runGuarded([&] {
    std::string_view numbers = worker.request().logoNumbers;
    // Every number is read before anything is sent, so a malformed list prints nothing.
    std::vector<std::uint8_t> logos;
    if (!numbers.empty()) {
      std::size_t start = 0;
      while (true) {
        std::size_t comma = numbers.find(',', start);
        std::string_view part = numbers.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        long long value = 0;
        bool digits = !part.empty() && part.size() <= 18;
        for (char c : part) {
          if (c < '0' || c > '9') {
            digits = false;
            break;
          }
          value = value * 10 + (c - '0');
        }
        if (!digits) {
          throw EPrinterError("'" + std::string(part) + "' is not a valid integer value");
        }
        logos.push_back(static_cast<std::uint8_t>(value & 0xFF));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
      }
    }
    link.openLink();
    for (std::uint8_t n : logos) link.sendRaw(Bytes{0x1C, 0x70, n, 0x00});
    // Back to the device rate like every other command: a printer left at the transfer rate
    // would not hear the next command's open step.
    link.restoreDeviceRate();
  });
}

// Code 23: USB device type, paper type or print order by Value1; the choice by Value2.
void setDeviceOption(TCommThread& worker, LinkLayer& link) {
  const CommandRequest& r = worker.request();
  auto sequence = directSequence(r);
  if (!sequence) {
    worker.setFailure(1, "Unknown device option " + std::to_string(r.value1));
    return;
  }
  openAndSend(worker, link, *sequence);
}

// Code 49: the user's data in 0x92 frames of at most one frame's data each, so that nothing is
// dropped; an empty stream still sends one frame without data. The printer does not answer on
// serial and USB; on the network each frame waits for an answer.
void sendUserData(TCommThread& worker, LinkLayer& link) {
  const bool serial = serialChosen(worker);
  worker.runGuarded([&] {
    if (serial) {
      link.refreshSerialPort();
      worker.pause(std::chrono::milliseconds(10));
    }
    const std::vector<std::uint8_t>& data = worker.request().dataStream;
    std::size_t pos = 0;
    do {
      std::size_t n = std::min(data.size() - pos, kMaxRequestData);
      link.framedRequest(kUserDataCommand, 0, 0, std::span(data).subspan(pos, n), 1);
      pos += n;
    } while (pos < data.size());
  });
  // The port is released whether or not the data went out.
  if (serial) {
    link.releaseSerialPort();
    sleepMs(10);
  }
}

// Sequences sent after opening the link (the transfer rate), left open afterwards: black mark
// on, off, distance, width and cut position, find the mark (and cut), the test page.
constexpr int kOpenAndSendCodes[] = {
    kBlackMarkOnCode,    kBlackMarkOffCode,  kBlackMarkDistanceCode,   kBlackMarkWidthCode,
    kCutterPositionCode, kFindBlackMarkCode, kFindBlackMarkAndCutCode, kTestPrintCode};
// Ethernet address, mask, gateway, port and MAC, and Bluetooth hiding on and off: sent over the
// port as the last command left it.
constexpr int kPortRefreshCodes[] = {kNetAddressCode,        kNetMaskCode, kNetGatewayCode,
                                     kNetPortCode,           kNetMacCode,  kBluetoothHidingOnCode,
                                     kBluetoothHidingOffCode};

}  // namespace

bool printerConfirms(const CommandRequest& request) {
  const auto in = [&](const auto& codes) {
    return std::find(std::begin(codes), std::end(codes), request.code) != std::end(codes);
  };
  if (in(kOpenAndSendCodes) || in(kPortRefreshCodes)) return false;
  if (request.code == kDeviceOptionCode || request.code == kPrintLogosCode) return false;
  // User data waits for the printer's frame on the network only.
  if (request.code == kUserDataCode) return request.link.kind == LinkKind::Network;
  return true;
}

void registerDirectRoutines(TCommThread& worker, LinkLayer& link) {
  LinkLayer* l = &link;
  for (int code : kOpenAndSendCodes) {
    worker.setRoutine(code,
                      [l](TCommThread& w) { openAndSend(w, *l, *directSequence(w.request())); });
  }
  for (int code : kPortRefreshCodes) {
    worker.setRoutine(
        code, [l](TCommThread& w) { portRefreshSend(w, *l, *directSequence(w.request())); });
  }
  worker.setRoutine(kDeviceOptionCode, [l](TCommThread& w) { setDeviceOption(w, *l); });
  worker.setRoutine(kPrintLogosCode, [l](TCommThread& w) { printStoredLogos(w, *l); });
  worker.setRoutine(kUserDataCode, [l](TCommThread& w) { sendUserData(w, *l); });
}

}  // namespace plenar
