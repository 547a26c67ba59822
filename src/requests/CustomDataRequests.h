// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "requests/BuildResult.h"

namespace plenar {

// Custom commands (group "自定义指令" of tab 8): code 49 with DataStream = the memo's data.
// The lines are joined after trimming blanks and control characters at both ends; no line break
// is sent. HEX mode reads pairs of characters as hexadecimal bytes (a pair that is not one gives
// 0, a last single character is read alone); text mode sends the text as GBK bytes. An empty
// memo still sends code 49 with no data. Any length is accepted: the routine sends long data in
// several frames. Text mode refuses text that GBK cannot hold (field mmo_SendData).
BuildResult buildSendCustomData(const std::vector<std::string>& lines, bool hexMode);

// plenar's hexadecimal data: byte pairs of hexadecimal digits (either case), with blanks, tabs
// or line breaks allowed between pairs but not inside one. Anything else (a letter that is not a
// digit, a pair cut by a blank, an odd digit at the end) is refused, naming its position: a
// typing error must not go out as zero bytes.
BuildResult buildSendHexData(std::string_view text);

}  // namespace plenar
