// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/DeviceRequests.h"

#include "requests/FieldParsing.h"
#include "requests/RequestBlock.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

constexpr std::size_t kDeviceBlockSize = 40;
constexpr std::size_t kDeviceTextArea = 20;
constexpr std::int32_t kRetractionFallback = 30;

}  // namespace

BuildResult buildSetInfrared(int baudItem, bool enabled, int protocolItem) {
  if (baudItem < 0 || protocolItem < 0) return NoAction{"no infrared rate or protocol chosen"};
  CommandRequest r = makeRequest(kInfraredCode);
  appendBytes(r, {static_cast<std::uint8_t>(baudItem), static_cast<std::uint8_t>(enabled ? 1 : 0),
                  static_cast<std::uint8_t>(protocolItem)});
  return r;
}

BuildResult buildSetDevice(const std::string& name, const std::string& serialNumber) {
  if (name.empty()) return Refusal{text(TextId::DeviceNameEmpty), "edt_DeviceName", "device-name-empty"};
  if (auto refusal = gbkRefusal(name, "edt_DeviceName")) return *refusal;
  if (auto refusal = gbkRefusal(serialNumber, "edt_DeviceSerialNo")) return *refusal;
  if (auto refusal = gbkAreaRefusal(name, kDeviceTextArea, "edt_DeviceName", "The device name")) {
    return *refusal;
  }
  if (auto refusal = gbkAreaRefusal(serialNumber, kDeviceTextArea, "edt_DeviceSerialNo",
                                    "The serial number")) {
    return *refusal;
  }
  CommandRequest r = makeRequest(kDeviceParametersCode);
  // Cleared every time: bytes after a short text must not carry an earlier request's data.
  r.paraBuf.assign(kDeviceBlockSize, 0);
  std::string nameBytes = gbkField(name, kDeviceTextArea);
  std::string serialBytes = gbkField(serialNumber, kDeviceTextArea);
  std::copy(nameBytes.begin(), nameBytes.end(), r.paraBuf.begin());
  std::copy(serialBytes.begin(), serialBytes.end(),
            r.paraBuf.begin() + static_cast<std::ptrdiff_t>(kDeviceTextArea));
  return r;
}

BuildResult buildSetDeviceOption(DeviceOption option, int item) {
  if (item < 0) return NoAction{"no item chosen"};
  return makeRequest(kDeviceOptionCode, static_cast<std::int32_t>(option), item);
}

BuildResult buildSetRetractionTime(const std::string& text) {
  CommandRequest r = makeRequest(kRetractTimeCode);
  appendBytes(r, {static_cast<std::uint8_t>(decimalOr(text, kRetractionFallback) & 0xFF)});
  return r;
}

BuildResult buildBluetoothHiding(int item) {
  if (item < 0) return NoAction{"no item chosen in the Bluetooth list"};
  return makeRequest(item == 0 ? kBluetoothHidingOnCode : kBluetoothHidingOffCode);
}

BuildResult buildSetPaperSize(int item) {
  CommandRequest r = makeRequest(kPrintSizeCode);
  appendBytes(r, {static_cast<std::uint8_t>(item >= 0 && item <= 2 ? item : 0xFF)});
  return r;
}

}  // namespace plenar
