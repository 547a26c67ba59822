// SPDX-License-Identifier: GPL-3.0-or-later
// A language file (GBK) replaces the shared texts and option lists; any bytes must load, and
// every text must stay readable afterwards.
#include <cstdint>
#include <string_view>

#include "app/Language.h"
#include "platform/IniFile.h"
#include "shared/SharedTexts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  plenar::applyLanguageTexts(plenar::IniDocument::parse(bytes));
  std::size_t total = 0;
  for (int id = 0; id < static_cast<int>(plenar::TextId::Count); ++id) {
    total += plenar::text(static_cast<plenar::TextId>(id)).size();
  }
  for (std::size_t l = 0; l < plenar::kOptionListCount; ++l) {
    auto list = static_cast<plenar::OptionList>(l);
    for (int i = 0; i <= plenar::optionCount(list); ++i)
      total += plenar::optionEntry(list, i).size();
  }
  plenar::resetTexts();
  return total == static_cast<std::size_t>(-1);
}
