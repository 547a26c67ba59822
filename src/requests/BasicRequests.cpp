// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/BasicRequests.h"

#include "requests/FieldParsing.h"
#include "requests/RequestBlock.h"

namespace plenar {
namespace {

constexpr std::int32_t kSleepFallback = 1000;
constexpr std::int32_t kPowerOffFallback = 3000;

NoAction noItem(const char* list) {
  return NoAction{std::string("no item chosen in ") + list};
}

}  // namespace

BuildResult buildSetBaudRate(int baudItem) {
  if (baudItem < 0 || baudItem >= static_cast<int>(kBaudRateItems.size())) {
    return noItem("the baud-rate list");
  }
  return makeRequest(kBaudRateCode, baudItemCode(baudItem));
}

BuildResult buildSetFlowControl(int flowItem) {
  if (flowItem < 0) return noItem("the flow-control list");
  return makeRequest(flowItem == 0 ? kSoftwareFlowCode : kHardwareFlowCode);
}

BuildResult buildSetCodePage(int codePageItem) {
  if (codePageItem < 0 || codePageItem >= static_cast<int>(kCodePageItems.size())) {
    return noItem("the code-page list");
  }
  return makeRequest(kCodePageCode, codePageByte(codePageItem));
}

BuildResult buildSetSwitches(const SwitchFields& f) {
  CommandRequest r = makeRequest(kSwitchOptionsCode);
  appendBytes(r, {switchByte(f.densityItem, f.fontItem, f.cutter, f.buzzer), feedByte(f.feedItem)});
  return r;
}

BuildResult buildSetTimes(const std::string& sleepText, const std::string& powerOffText) {
  CommandRequest r = makeRequest(kTimesCode);
  appendLe32(r, static_cast<std::uint32_t>(decimalOr(sleepText, kSleepFallback)));
  appendLe32(r, static_cast<std::uint32_t>(decimalOr(powerOffText, kPowerOffFallback)));
  return r;
}

BuildResult buildSetAllParameters(int codePageItem, int baudItem, const SwitchFields& f,
                                  const std::string& sleepText, const std::string& powerOffText) {
  CommandRequest r = makeRequest(kAllParametersCode);
  appendBytes(r, {codePageByte(codePageItem), baudItemCode(baudItem),
                  switchByte(f.densityItem, f.fontItem, f.cutter, f.buzzer), feedByte(f.feedItem)});
  appendLe32(r, static_cast<std::uint32_t>(decimalOr(sleepText, kSleepFallback)));
  appendLe32(r, static_cast<std::uint32_t>(decimalOr(powerOffText, kPowerOffFallback)));
  return r;
}

BuildResult buildRestoreDefaults() {
  return makeRequest(kRestoreDefaultsCode);
}

bool remembersLinkSettings(int code) {
  switch (code) {
    case 3:  // font download
    case 6:
    case 8:
    case 10:
    case 16:  // read-back
    case 17:  // print stored logos
    case 18:
    case 19:
    case 20:
    case 24:
    case 33:
    case 34:
    case 35:
    case 47:
    case 48:
      return true;
    default:
      return false;
  }
}

}  // namespace plenar
