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
  // A new device rate (code 8) shows in the connection window's rate box for the next command.
  // Not for a bench's printers: the bench keeps watching the factory link its technician chose.
  bool windowFollows = true;
  LinkSnapshot link;
};

// The request codes the windows and plenar post (CommandRequest::code). Codes 0, 2, 5, 25, 26,
// 29 and those above 49 run nothing.
enum RequestCode : int {
  kLinkTestCode = 1,              // test the link
  kFontDownloadCode = 3,          // download font files
  kFirmwareUpdateCode = 4,        // update the firmware
  kCodePageCode = 6,              // set the code page
  kLogoDownloadCode = 7,          // download logo files
  kBaudRateCode = 8,              // set the baud rate
  kSwitchesCode = 9,              // set switch options (as 20; no window posts it)
  kRestoreDefaultsCode = 10,      // restore the default parameters
  kBluetoothCode = 11,            // set the Bluetooth parameters
  kWifiAddressCode = 12,          // set the Wi-Fi address (station mode)
  kWifiOffCode = 13,              // switch Wi-Fi off
  kInfraredCode = 14,             // set the infrared parameters
  kDeviceParametersCode = 15,     // set the device parameters (name and serial number)
  kReadBackCode = 16,             // read memory back to a file
  kPrintLogosCode = 17,           // print stored logos
  kTimesCode = 18,                // set sleep and power-off times
  kAllParametersCode = 19,        // set all parameters
  kSwitchOptionsCode = 20,        // set switch options
  kWifiCode = 21,                 // set the Wi-Fi parameters (access-point mode)
  kBluetoothCommandsCode = 22,    // send Bluetooth module commands
  kDeviceOptionCode = 23,         // set a device option by sequence
  kRetractTimeCode = 24,          // set the receipt retraction time
  kBluetoothHidingOffCode = 27,   // Bluetooth hiding off
  kEnterBootCode = 28,            // enter boot mode
  kBluetoothHidingOnCode = 30,    // Bluetooth hiding on
  kBlackMarkOnCode = 31,          // black mark on
  kBlackMarkOffCode = 32,         // black mark off
  kBlackMarkDistanceCode = 33,    // set the black mark search distance
  kBlackMarkWidthCode = 34,       // set the black mark width
  kCutterPositionCode = 35,       // set the cutter position
  kFindBlackMarkCode = 36,        // find the black mark
  kNetMaskCode = 37,              // set the subnet mask
  kNetGatewayCode = 38,           // set the gateway
  kNetPortCode = 39,              // set the network port
  kNetMacCode = 40,               // set the MAC address
  kNetAddressCode = 41,           // set the network address by sequence
  kSoftwareFlowCode = 42,         // software flow control
  kHardwareFlowCode = 43,         // hardware flow control
  kFindBlackMarkAndCutCode = 44,  // find the black mark and cut
  kTestPrintCode = 45,            // print the test buffer
  kRawLogoDownloadCode = 46,      // download a logo file in raw pieces
  kPrintSizeCode = 47,            // switch the print size
  kEthernetCode = 48,             // switch Ethernet on or off
  kUserDataCode = 49,             // send user data
};

// The link test identifies the printer on `link` (the connection window's "Test").
inline CommandRequest linkTestRequest(const LinkSnapshot& link) {
  CommandRequest request;
  request.code = kLinkTestCode;
  request.link = link;
  return request;
}

}  // namespace plenar
