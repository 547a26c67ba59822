// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "requests/BuildResult.h"
#include "requests/OptionLists.h"

namespace plenar {

// Tab 1 "基础设置": rate, flow control, code page, switch options, times, all parameters, reset.
// List arguments are item indexes (kNoItem when the list has no selection).

// The switch-option fields, with the window's design-time values.
struct SwitchFields {
  int densityItem = 1;  // cbb_Dark "正常"
  int fontItem = 1;     // cbb_FontValue "12x24"
  int feedItem = 0;     // cbb_Forcepaper "0X0A"
  bool cutter = true;   // chk_CutPaper
  bool buzzer = true;   // chk_buzzer
};

// Code 8, Value1 = rate code. No item: nothing.
BuildResult buildSetBaudRate(int baudItem);
// Code 42 for item 0 (software), 43 otherwise. No item: nothing.
BuildResult buildSetFlowControl(int flowItem);
// Code 6, Value1 = code-page byte. No item: nothing.
BuildResult buildSetCodePage(int codePageItem);
// Code 20: switch byte, feed byte.
BuildResult buildSetSwitches(const SwitchFields& fields);
// Code 18: sleep and power-off seconds, LE32 each; a text that is no number gives 1000 / 3000.
BuildResult buildSetTimes(const std::string& sleepText, const std::string& powerOffText);
// Code 19: code page, rate code, switch byte, feed byte, sleep LE32, power-off LE32.
BuildResult buildSetAllParameters(int codePageItem, int baudItem, const SwitchFields& fields,
                                  const std::string& sleepText, const std::string& powerOffText);
// Code 10.
BuildResult buildRestoreDefaults();

// Buttons whose action first makes the connection window remember its link settings.
bool remembersLinkSettings(int code);

}  // namespace plenar
