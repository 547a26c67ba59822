// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/RecordInvalidation.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/FileLocks.h"
#include "profile/ApplyRecord.h"

namespace plenar {
namespace {

// How long a command waits for an apply of another process to let go of the record.
constexpr double kLockWaitSeconds = 2.0;

ChangedGroups some(std::initializer_list<const char*> names) {
  ChangedGroups c;
  for (const char* n : names) c.groups.emplace_back(n);
  return c;
}

ChangedGroups deviceOption(std::int32_t option) {
  switch (option) {
    case 0:
      return some({"usb-type"});
    case kLinkTestCode:
      return some({"paper-type"});
    case 2:
      return some({"print-order"});
    default:
      return {};
  }
}

}  // namespace

ChangedGroups groupsChangedBy(const CommandRequest& r) {
  switch (r.code) {
    case kFontDownloadCode:
      return some({"font"});
    case kFirmwareUpdateCode:
      return some({"firmware"});
    case kLogoDownloadCode:
    case kRawLogoDownloadCode:
      return some({"logos"});
    case kCodePageCode:
      return some({"codepage"});
    case kBaudRateCode:
      return some({"baud"});
    case kSwitchesCode:
    case kSwitchOptionsCode:
      return some({"switches"});
    case kBluetoothCode:
      return some({"bluetooth"});
    // The printer keeps one Wi-Fi mode: setting either, or switching Wi-Fi off, leaves no other.
    case kWifiAddressCode:
    case kWifiOffCode:
    case kWifiCode:
      return some({"wifi-ap", "wifi-sta"});
    case kInfraredCode:
      return some({"infrared"});
    case kDeviceParametersCode:
      return some({"device"});
    case kTimesCode:
      return some({"times"});
    // Lines for the Bluetooth module may set anything the module keeps.
    case kBluetoothCommandsCode:
      return some({"bluetooth", "bt-workmode", "bt-hide"});
    case kDeviceOptionCode:
      return deviceOption(r.value1);
    case kRetractTimeCode:
      return some({"retract-time"});
    case kBluetoothHidingOffCode:
    case kBluetoothHidingOnCode:
      return some({"bt-hide"});
    case kBlackMarkOnCode:
    case kBlackMarkOffCode:
      return some({"black-mark"});
    case kBlackMarkDistanceCode:
      return some({"black-mark-distance"});
    case kBlackMarkWidthCode:
      return some({"black-mark-width"});
    case kCutterPositionCode:
      return some({"cutter-feed"});
    case kNetMaskCode:
      return some({"net-mask"});
    case kNetGatewayCode:
      return some({"net-gateway"});
    case kNetPortCode:
      return some({"net-port"});
    case kNetMacCode:
      return some({"net-mac"});
    case kNetAddressCode:
      return some({"net-ip"});
    case kSoftwareFlowCode:
    case kHardwareFlowCode:
      return some({"flow"});
    case kPrintSizeCode:
      return some({"paper-size"});
    case kEthernetCode:
      return some({"ethernet"});
    // Restoring the defaults, all parameters at once, and raw data (which may hold any setting
    // command of the printer's own language).
    case kRestoreDefaultsCode:
    case kAllParametersCode:
    case kUserDataCode:
      return ChangedGroups{true, {}};
    default:  // the link test, reads, prints, the boot handshake, finding the mark
      return {};
  }
}

void forgetChangedGroups(const std::string& stateDir, const CommandRequest& request) {
  const ChangedGroups changed = groupsChangedBy(request);
  if (changed.empty()) return;
  const std::string path = defaultRecordPath(stateDir, request.link);
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return;
  const std::string refused = "the apply record " + path + " cannot forget this command's " +
                              "settings, so nothing was sent: ";
  LockAttempt lock = FileLock::acquire(path, kLockWaitSeconds);
  switch (lock.result) {
    case LockAttempt::Result::Acquired:
      break;
    case LockAttempt::Result::Busy:
      throw RecordNotForgotten(refused + "an apply to this printer holds it", FailureKind::Busy);
    case LockAttempt::Result::Failed:
      throw RecordNotForgotten(refused + lock.reason(), FailureKind::File);
  }
  std::optional<ApplyRecord> record;
  try {
    record = loadApplyRecord(path);
  } catch (const RecordError& e) {
    throw RecordNotForgotten(refused + e.what(), FailureKind::File);
  }
  if (!record) return;
  bool dropped = false;
  if (changed.all) {
    dropped = !record->groups.empty() || record->device.has_value();
    record->groups.clear();
    record->device.reset();
  }
  for (const std::string& group : changed.groups) {
    dropped = record->groups.erase(group) > 0 || dropped;
    if (group == "device" && record->device) {
      record->device.reset();
      dropped = true;
    }
  }
  if (!dropped) return;
  record->updated = utcTimestamp();
  if (const std::error_code error = saveApplyRecord(path, *record)) {
    throw RecordNotForgotten(refused + error.message(), FailureKind::File);
  }
}

std::function<void(const CommandRequest&)> recordForgettingGate(std::string stateDir) {
  return [dir = std::move(stateDir)](const CommandRequest& request) {
    if (!request.recordKept) forgetChangedGroups(dir, request);
  };
}

}  // namespace plenar
