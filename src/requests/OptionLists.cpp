// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/OptionLists.h"

namespace plenar {

const std::array<std::string_view, 53> kCodePageItems{
    "CP932 SHIFT_JIS",
    "UNICODE UCS-2",
    "CP950:BIG5",
    "CP936:GBK",
    "CP437:USA/Standard Europe",
    "Katakana",
    "CP850:Latin1;Western European",
    "CP860:Portuguese",
    "CP863:French Canadian",
    "CP865:Nordic",
    "CP1251:Cyrillic",
    "CP866:Russian;Cyrillic",
    "CP1025:Cyrillic/Bulgarian",
    "CP773:Estonian/Lithuanian/Latvian",
    "Iran",
    "Reversed",
    "Reversed",
    "Reversed",
    "Reversed",
    "CP862:Hebrew",
    "CP1252:Latin1",
    "CP1253:Greek",
    "CP852:Latin2",
    "CP858:Latin1+Euro",
    "Iran II",
    "CP1117:Latvian",
    "CP864:Arabic",
    "ISO-8859-1:West Europe",
    "CP737:Greek",
    "CP1257:Baltic",
    "Thai",
    "CP720:Arabic",
    "CP855:Cyrillic",
    "CP857:Turkish",
    "CP1250:Central Eurpoe",
    "CP775:Estonian/Lithuanian/Latvian",
    "CP1254:Turkish",
    "CP1255:Hebrew",
    "CP1256:Arabic",
    "CP1258:Vietnam",
    "ISO-8859-2:Latin2",
    "ISO-8859-3:Latin3",
    "ISO-8859-4:Baltic",
    "ISO-8859-5:Cyrillic",
    "ISO-8859-6:Arabic",
    "ISO-8859-7:Greek",
    "ISO-8859-8:Hebrew",
    "ISO-8859-9:Turkish",
    "ISO-8859-15:Latin3",
    "Thai2",
    "CP856:Hebrew",
    "CP874:Thai",
    "EUC-KR",
};

std::uint8_t baudItemCode(int item) {
  // Items 0..2 are the slow rates the printer added later (codes 5..7); 230400 is code 8.
  if (item >= 0 && item <= 2) return static_cast<std::uint8_t>(item + 5);
  if (item >= 3 && item <= 7) return static_cast<std::uint8_t>(item - 3);
  if (item == 8) return 8;
  return 0;
}

std::uint8_t codePageByte(int item) {
  switch (item) {
    case 0:
      return 0xFC;  // CP932
    case 1:
      return 0xFD;  // UCS-2
    case 2:
      return 0xFE;  // BIG5
    case 3:
      return 0xFF;  // GBK
    case 52:
      return 0xFA;  // EUC-KR
    default:
      if (item >= 4 && item <= 51) return static_cast<std::uint8_t>(item - 4);
      return 0xFF;
  }
}

std::uint8_t switchByte(int densityItem, int fontItem, bool cutter, bool buzzer) {
  static constexpr std::array<std::uint8_t, 4> kDensity{0x00, 0x80, 0x01, 0x81};
  static constexpr std::array<std::uint8_t, 4> kFont{0x00, 0x40, 0x08, 0x48};
  std::uint8_t value = densityItem >= 0 && densityItem < 4 ? kDensity[densityItem] : 0xFF;
  if (fontItem >= 0 && fontItem < 4) value |= kFont[fontItem];
  if (cutter) value |= 0x20;
  if (buzzer) value |= 0x04;
  return value;
}

std::uint8_t feedByte(int item) {
  return item == 0 || item == 1 ? item : 0xFF;
}

}  // namespace plenar
