// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "SparseMemory.h"

namespace plenar::sim {

// Texts are kept as the printer stores them: the bytes the tool sent (GBK), up to the first zero.
struct BluetoothSettings {
  int mode = 0;  // 0 none fitted, 1 single-mode, 3 dual-mode
  std::string name;
  std::string password;
  std::string dualName;
  int passwordCheck = 0;  // 0 none, 1 required, 2 required and masked
  int model = 0;
  bool hidden = false;
  std::vector<std::string> moduleCommands;  // every module command line received, in order
};

struct WifiSettings {
  std::string mode = "off";  // "off", "ap" or "station"
  std::string apName;
  std::string apPassword;
  std::string ssid;
  std::string password;
  std::array<std::uint8_t, 4> ip{};
  std::array<std::uint8_t, 4> mask{};
  std::array<std::uint8_t, 4> gateway{};
  int port = 0;
  int addressMode = -1;  // -1 not given, 0 dynamic, 1 static
};

struct EthernetSettings {
  bool enabled = true;
  std::array<std::uint8_t, 4> ip{192, 168, 1, 87};
  std::array<std::uint8_t, 4> mask{255, 255, 255, 0};
  std::array<std::uint8_t, 4> gateway{192, 168, 1, 1};
  int port = 9100;
  std::array<std::uint8_t, 4> mac{0x65, 0x66, 0x67, 0x68};
  // The address, mask and MAC sequences carry a fifth byte after the four that matter.
  std::uint8_t ipExtra = 0;
  std::uint8_t maskExtra = 0;
  std::uint8_t macExtra = 0;
};

struct PrinterSettings {
  int codePage = 255;
  int baudCode = 0;
  int switchByte = 0x80;
  int feedChar = 0;  // 0 line feed, 1 carriage return
  BluetoothSettings bluetooth;
  int infraredBaudCode = 0;
  bool infraredEnabled = false;
  int infraredProtocol = 0;  // 0 raw, 1 IrDA
  std::string deviceName;
  std::string serialNumber = "1704269998";
  std::uint32_t sleepTime = 1000;
  std::uint32_t powerOffTime = 3000;
  WifiSettings wifi;
  int retractionTime = 30;
  int flowControl = 0;  // 0 software, 1 hardware
  int printSize = 1;    // 0 two-inch, 1 three-inch, 2 four-inch
  EthernetSettings ethernet;
  bool blackMark = false;
  int blackMarkDistance = 400;
  int blackMarkWidth = 40;
  int cutterFeed = 40;
  int usbType = 0;        // 0 virtual serial port, 1 printer port
  int paperType = 0;      // 0 receipt, 1 label
  int printOrder = 0xF0;  // ESC { value: bit 0 set = reverse (upside-down) order
};

struct NvLogo {
  int widthBytes = 0;                // x: bytes per column band, the image is 8x dots wide
  int heightBytes = 0;               // y: bands of 8 rows
  std::vector<std::uint8_t> raster;  // column layout, x * y * 8 bytes
};

struct Firmware {
  std::vector<std::uint8_t> image;  // empty when only the digest is known
  std::uint64_t size = 0;
  std::string sha256;  // hex
  int updates = 0;
};

// One thing the printer did with its paper: a printed line, a cut, a logo, a QR symbol, a feed to
// the black mark.
struct JournalEntry {
  std::string kind;
  std::string text;  // UTF-8
};

// Everything the printer keeps. Change tracking lets the owner save after each change: `dirty`
// is set by every change, `urgent` by every change that is not a memory or firmware block (those
// come in bursts, and the owner may save them less often).
struct PrinterState {
  static constexpr std::size_t kJournalLimit = 1000;

  PrinterSettings settings;
  SparseMemory memory;
  std::vector<NvLogo> logos;
  Firmware firmware;
  std::string modelTag = "PLENAR80";
  std::deque<JournalEntry> journal;
  int defaultsRestored = 0;

  bool dirty = false;
  bool urgent = false;

  void changed() {
    dirty = true;
    urgent = true;
  }
  void changedBulk() { dirty = true; }
  void addJournal(std::string kind, std::string text = {});
  // Factory settings; memory, logos, firmware and the model tag stay.
  void restoreDefaults();
};

}  // namespace plenar::sim
