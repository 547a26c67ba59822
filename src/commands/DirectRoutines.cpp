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

#include "channels/TComm.h"
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

// The request block's byte `i`; bytes the window did not set count as 0.
std::uint8_t blockByte(const CommandRequest& r, std::size_t i) {
  return i < r.paraBuf.size() ? r.paraBuf[i] : 0;
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
    if (link.serialChosen()) {
      TComm& serial = link.serialChannel();
      link.closeSerialPort();
      worker.pause(std::chrono::milliseconds(10));
      serial.OpenPort();
      // The port stays open after the sequence; the next command's open step must know, or it
      // would fail to open a port that is already open.
      worker.linkOpen = true;
    }
    worker.pause(std::chrono::milliseconds(10));
    link.sendRaw(sequence);
    worker.pause(std::chrono::milliseconds(10));
  });
}

// 1F <letter> followed by the request's block (address, mask, MAC carry a zero fifth byte).
Bytes ethernetSequence(const CommandRequest& r, std::uint8_t letter) {
  Bytes out;
  out.reserve(2 + r.paraBuf.size());
  out.push_back(0x1F);
  out.push_back(letter);
  for (std::uint8_t b : r.paraBuf) out.push_back(b);
  return out;
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
  const bool first = r.value2 == 0;
  Bytes sequence;
  switch (r.value1) {
    case 0:  // USB virtual serial port / USB printer port
      sequence = {0x12, 0x55, static_cast<std::uint8_t>(first ? 0x00 : 0x01)};
      break;
    case 1:  // thermal receipt paper / thermal label paper
      sequence = {0x1F, 0x41, static_cast<std::uint8_t>(first ? 0x00 : 0x01)};
      break;
    case 2:  // ESC { : upside-down printing prints the receipt in reverse order
      sequence = {0x1B, 0x7B, static_cast<std::uint8_t>(first ? 0xF1 : 0xF0)};
      break;
    default:
      worker.setFailure(1, "Unknown device option " + std::to_string(r.value1));
      return;
  }
  openAndSend(worker, link, sequence);
}

// Code 49: the user's data in 0x92 frames of at most one frame's data each, so that nothing is
// dropped; an empty stream still sends one frame without data. The printer does not answer on
// serial and USB; on the network each frame waits for an answer.
void sendUserData(TCommThread& worker, LinkLayer& link) {
  const bool serial = link.serialChosen();
  TComm& port = link.serialChannel();
  worker.runGuarded([&] {
    if (serial) {
      link.closeSerialPort();
      worker.pause(std::chrono::milliseconds(10));
      port.OpenPort();
      worker.pause(std::chrono::milliseconds(10));
    }
    const std::vector<std::uint8_t>& data = worker.request().dataStream;
    std::size_t pos = 0;
    do {
      std::size_t n = std::min(data.size() - pos, kMaxRequestData);
      link.framedRequest(0x92, 0, 0, std::span(data).subspan(pos, n), 1);
      pos += n;
    } while (pos < data.size());
  });
  // The port is released whether or not the data went out.
  if (serial) {
    link.closeSerialPort();
    worker.linkOpen = false;
    sleepMs(10);
  }
}

}  // namespace

void registerDirectRoutines(TCommThread& worker, LinkLayer& link) {
  LinkLayer* l = &link;
  auto fixed = [&worker, l](int code, Bytes sequence) {
    worker.setRoutine(code, [l, sequence](TCommThread& w) { openAndSend(w, *l, sequence); });
  };
  fixed(31, {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x44});  // black-mark mode on
  fixed(32, {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x66});  // black-mark mode off
  fixed(36, {0x0C});                                            // feed to the next mark
  fixed(44, {0x0C, 0x1B, 0x69});                                // feed to the mark, cut

  // Search distance and mark width are big-endian, the feed before the cut little-endian.
  worker.setRoutine(33, [l](TCommThread& w) {
    const CommandRequest& r = w.request();
    openAndSend(w, *l,
                {0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, blockByte(r, 0), blockByte(r, 1)});
  });
  worker.setRoutine(34, [l](TCommThread& w) {
    const CommandRequest& r = w.request();
    openAndSend(w, *l,
                {0x1F, 0x1B, 0x1F, 0x82, 0x04, 0x05, 0x06, blockByte(r, 0), blockByte(r, 1)});
  });
  worker.setRoutine(35, [l](TCommThread& w) {
    const CommandRequest& r = w.request();
    // GS ( F: set the cut position after the black mark (function 1 of the mark settings).
    openAndSend(w, *l,
                {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, blockByte(r, 0), blockByte(r, 1)});
  });

  worker.setRoutine(41, [l](TCommThread& w) {
    portRefreshSend(w, *l, ethernetSequence(w.request(), 0x49));  // address
  });
  worker.setRoutine(37, [l](TCommThread& w) {
    portRefreshSend(w, *l, ethernetSequence(w.request(), 0x53));  // subnet mask
  });
  worker.setRoutine(38, [l](TCommThread& w) {
    portRefreshSend(w, *l, ethernetSequence(w.request(), 0x4E));  // gateway
  });
  worker.setRoutine(39, [l](TCommThread& w) {
    portRefreshSend(w, *l, ethernetSequence(w.request(), 0x50));  // port
  });
  worker.setRoutine(40, [l](TCommThread& w) {
    portRefreshSend(w, *l, ethernetSequence(w.request(), 0x4D));  // MAC
  });
  worker.setRoutine(30, [l](TCommThread& w) { portRefreshSend(w, *l, {0x8E, 0x01}); });
  worker.setRoutine(27, [l](TCommThread& w) { portRefreshSend(w, *l, {0x8E, 0x00}); });

  worker.setRoutine(23, [l](TCommThread& w) { setDeviceOption(w, *l); });
  worker.setRoutine(17, [l](TCommThread& w) { printStoredLogos(w, *l); });
  worker.setRoutine(45, [l](TCommThread& w) { openAndSend(w, *l, w.request().paraBuf); });
  worker.setRoutine(49, [l](TCommThread& w) { sendUserData(w, *l); });
}

}  // namespace plenar
