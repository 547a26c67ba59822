// SPDX-License-Identifier: GPL-3.0-or-later
// sysconfig.ini as the user may leave it: any bytes parse; a value written reads back as written
// and every other key keeps its value; writing the same key twice changes nothing more.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  // The first bytes choose section, key and value; the rest is the file.
  auto take = [&input](std::size_t n) {
    std::string_view part = input.substr(0, std::min(n, input.size()));
    input.remove_prefix(part.size());
    return std::string(part);
  };
  std::string section = take(4), key = take(4), value = take(6);
  plenar::IniDocument doc = plenar::IniDocument::parse(input);
  const std::string before = doc.bytes();
  if (plenar::IniDocument::parse(before).bytes() != before) std::abort();

  // Names and values the window could write: printable, no brackets, '=' or line ends, and no
  // quotes (a value in quotes reads back without them, as on Windows).
  auto clean = [](std::string s) {
    for (char& c : s) {
      if (c < 0x21 || c > 0x7E || c == '[' || c == ']' || c == '=' || c == ';' || c == '"' ||
          c == '\'') {
        c = 'x';
      }
    }
    return s.empty() ? std::string("k") : s;
  };
  section = clean(section);
  key = clean(key);
  value = clean(value);
  const std::string otherBefore = doc.readString("MainDefault", "Language", "-");
  doc.writeString(section, key, value);
  plenar::IniDocument reread = plenar::IniDocument::parse(doc.bytes());
  if (reread.readString(section, key, "") != value) std::abort();
  if (!(section == "MainDefault" && key == "Language") &&
      reread.readString("MainDefault", "Language", "-") != otherBefore) {
    std::abort();
  }
  const std::string once = reread.bytes();
  reread.writeString(section, key, value);
  if (reread.bytes() != once) std::abort();
  (void)doc.readInt(section, key, 0);
  (void)doc.readBool(section, key, false);
  return 0;
}
