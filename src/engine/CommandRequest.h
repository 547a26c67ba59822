// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plenar {

enum class LinkKind { Serial, Network, Usb, Parallel };

// The connection window's link settings as shown when a command is posted.
struct LinkSnapshot {
  LinkKind kind = LinkKind::Serial;
  std::string serialPort = "COM1";  // a device path, or COMn for /dev/ttyS(n-1)
  // The rate boxes accept typed text, so the texts travel as typed and are parsed by the worker.
  std::string transferBaudText = "115200";
  std::string deviceBaudText = "9600";
  std::string ipAddress = "192.168.1.87";
  int udpPort = 5100;
  std::string usbDevice;  // VID_xxxx&PID_yyyy as listed, may be empty
  int lptNumber = 1;
};

inline constexpr std::size_t kParaBufSize = 4096;

// Everything a command needs, copied into the worker when it is posted, so that nothing the
// window does afterwards can change a running command.
struct CommandRequest {
  int code = 0;
  std::int32_t value1 = 0;
  std::int32_t value2 = 0;
  std::vector<std::string> fileList;   // file paths
  std::vector<std::string> nameList;   // display names
  std::vector<std::string> cmdList;    // frame command numbers as text
  std::vector<std::string> paramList;  // start addresses or Bluetooth module command lines
  std::vector<std::uint8_t> dataStream;
  std::string saveFileName;
  std::string logoNumbers;            // comma-separated
  std::vector<std::uint8_t> paraBuf;  // ParaBuf; its size is ParaLen (at most kParaBufSize)
  // Read-back: save exactly value2 bytes, not the printer's last reply block whole (plenar;
  // the window keeps the block).
  bool exactLength = false;
  // Program update: a model tag missing on either side does not stop it (plenar's
  // --force-firmware; the window never sets it). Different tags always stop it.
  bool forceFirmware = false;
  // The passwords it carries, as they go out (GBK): traces and outputs show them masked.
  std::vector<std::string> secrets;
  // An apply that keeps the link's own record itself: the engine does not make that record
  // forget what the request changes (the apply holds its lock and rewrites it).
  bool recordKept = false;
  LinkSnapshot link;
};

// Command 1, the link test: identifies the printer on `link` (the connection window's "Test").
inline constexpr int kLinkTestCode = 1;
// Command 15: the device parameters block (device name and serial number).
inline constexpr int kDeviceParametersCode = 15;
inline CommandRequest linkTestRequest(const LinkSnapshot& link) {
  CommandRequest request;
  request.code = kLinkTestCode;
  request.link = link;
  return request;
}

}  // namespace plenar
