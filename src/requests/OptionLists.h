// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace plenar {

// The item lists the request builders index, in the parameter window's order. The window fills
// its combo boxes from them; a list index is what the builders take (-1: no item selected).
// The lists whose texts come from the language files (density, flow control, paper type, ...)
// are the shared option lists (shared/SharedTexts.h).

inline constexpr int kNoItem = -1;

// cbb_BauRate: the nine serial rates; the window starts at item 3, "9600".
inline constexpr std::array<std::string_view, 9> kBaudRateItems{
    "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400"};

// cbb_Codepage, 53 items; the window starts at item 4, "CP437:USA/Standard Europe".
extern const std::array<std::string_view, 53> kCodePageItems;
inline constexpr int kDefaultCodePageItem = 4;

// cbb_FontValue; the window starts at item 1, "12x24".
inline constexpr std::array<std::string_view, 4> kFontItems{"9x17", "12x24", "9x24", "16x18"};
// cbb_Forcepaper: the line-feed character; item 0 at start.
inline constexpr std::array<std::string_view, 2> kFeedItems{"0X0A", "0X0D"};
// cbb_InfraredBaurate; item 0 at start.
inline constexpr std::array<std::string_view, 5> kInfraredBaudItems{"9600", "19200", "38400",
                                                                    "57600", "115200"};

// The printer's rate code (BaudIndex) of a cbb_BauRate item; 0 for no item (the set-all block
// sends 0 then).
std::uint8_t baudItemCode(int item);
// The printer's code-page number of a cbb_Codepage item; 255 (GBK) for no item.
std::uint8_t codePageByte(int item);

// Density, font, cutter and buzzer in one byte. Density items: 0x00 slightly light, 0x80
// normal, 0x01 slightly dark, 0x81 high; no density item gives 0xFF. Font items 0..3 add
// nothing, 0x40, 0x08, 0x48; the cutter adds 0x20, the buzzer 0x04.
std::uint8_t switchByte(int densityItem, int fontItem, bool cutter, bool buzzer);
// cbb_Forcepaper item as sent: 0 line feed, 1 carriage return, 0xFF for no item.
std::uint8_t feedByte(int item);

}  // namespace plenar
