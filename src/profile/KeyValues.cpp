// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/KeyValues.h"

#include <algorithm>

#include "requests/OptionLists.h"
#include "shared/Nearest.h"

namespace plenar {
namespace {

using F = ValueForm;

template <std::size_t N>
std::vector<std::string> textsOf(const std::array<std::string_view, N>& list) {
  return {list.begin(), list.end()};
}

KeyValues choice(const char* key, std::vector<std::string> items, ChoiceKeywords plain = {},
                 bool indexAllowed = true) {
  return {key, F::Choice, std::move(items), OptionList::Count, std::move(plain), indexAllowed};
}
KeyValues option(const char* key, OptionList list, ChoiceKeywords plain = {},
                 bool indexAllowed = true) {
  return {key, F::Choice, {}, list, std::move(plain), indexAllowed};
}
KeyValues flag(const char* key) {
  return {key, F::Flag};
}
KeyValues number(const char* key, long long min, long long max) {
  KeyValues v{key, F::Number};
  v.min = min;
  v.max = max;
  return v;
}
KeyValues edit(const char* key, FieldFilter filter, std::size_t maxChars, bool required = false,
               const char* note = nullptr) {
  KeyValues v{key, F::Edit};
  v.filter = filter;
  v.maxChars = maxChars;
  v.required = required;
  v.note = note;
  return v;
}
// An edit that holds a number: the window's hint gives its range.
KeyValues ranged(KeyValues v, long long min, long long max) {
  v.min = min;
  v.max = max;
  return v;
}

// cbb_Codepage's items, each also by the name before its description where that name is one
// item's only (codePageChoices): those names are the plain words.
KeyValues codePages() {
  KeyValues v = choice("CodePage", textsOf(kCodePageItems));
  const ChoiceList list = codePageChoices();
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    for (std::size_t t = 1; t < list.items[i].size(); ++t) {
      v.plain.emplace_back(list.items[i][t], static_cast<int>(i));
    }
  }
  return v;
}

std::vector<KeyValues> makeTable() {
  using L = OptionList;
  using FF = FieldFilter;
  const char* address = "a dotted IPv4 address";
  const char* stationAddress = "a dotted IPv4 address; only read with IpType static";
  return {
      choice("BaudRate", textsOf(kBaudRateItems), {}, false),
      option("Flowcontrol", L::FlowControl,
             {{"soft", 0}, {"hard", 1}, {"software", 0}, {"hardware", 1}}),
      codePages(),
      choice("FontValue", textsOf(kFontItems)),
      option("Dark", L::DarkDescription,
             {{"light", 0}, {"normal", 1}, {"dark", 2}, {"extra-dark", 3}}),
      choice("ForcePaper", textsOf(kFeedItems), {{"LF", 0}, {"CR", 1}, {"0A", 0}, {"0D", 1}},
             false),
      flag("buzzer"),
      flag("CutPaper"),
      number("sleepTime", 1, 999999999),
      number("poweroffTime", 1, 999999999),
      edit("BlueToolthName", FF::Any, field::kNameChars),
      edit("MulBlueToolthName", FF::Any, field::kNameChars),
      edit("BlueToolthPsw", FF::Any, field::kBluetoothPswChars),
      edit("BlueToolthType", FF::Digits, 0, true, "the Bluetooth module's model number"),
      option("BlueToolthMode", L::BluetoothMode, {{"none", 0}, {"single", 1}, {"dual", 2}}),
      option("BlueToolthCheck", L::BluetoothPswCheck),
      option("BlueToolthWorkMode", L::BluetoothWorkMode, {{"high", 0}, {"normal", 1}}),
      edit("NetworkName", FF::Any, field::kWifiChars),
      edit("NetworkPsw", FF::Any, field::kWifiChars),
      edit("SSID", FF::Any, field::kWifiChars),
      edit("StaModePsw", FF::Any, field::kWifiChars),
      choice("IpType", {"0", "1"}, {{"dhcp", 0}, {"dynamic", 0}, {"static", 1}}, false),
      edit("IPaddress", FF::Dotted, field::kAddressChars, false, stationAddress),
      edit("Maskaddress", FF::Dotted, field::kAddressChars, false, stationAddress),
      edit("Gatewayaddress", FF::Dotted, field::kAddressChars, false, stationAddress),
      edit("Port", FF::Digits, 0, true, "the station's port"),
      edit("NetIPAddress", FF::Dotted, field::kAddressChars, false, address),
      edit("Subnetmask", FF::Dotted, field::kAddressChars, false, address),
      KeyValues{"MAC", F::Mac},
      edit("gatewayt", FF::Dotted, field::kAddressChars, true, address),
      // The window's edit: digits only, at most five.
      [] {
        KeyValues v = number("Netport", 2, 65535);
        v.filter = FieldFilter::Digits;
        v.maxChars = field::kNetPortChars;
        return v;
      }(),
      flag("Ethernet"),
      choice("InfraredType", {"0", "1"}, {{"off", 0}, {"on", 1}}, false),
      choice("InfraredBaurate", textsOf(kInfraredBaudItems), {}, false),
      option("irdaProtecl", L::IrdaProtocol, {{"raw", 0}, {"irda", 1}}),
      flag("BlackMark"),
      ranged(edit("Blacklookdistance", FF::Digits, field::kMarkDistanceChars, true, "millimetres"),
             400, 4000),
      ranged(edit("Blackwidth", FF::Digits, field::kMarkWidthChars, true, "millimetres"), 40, 120),
      ranged(edit("Cutteroptocoupler", FF::Digits, field::kMarkDistanceChars, true, "millimetres"),
             0, 1700),
      option("UsbDeviceTpe", L::UsbDeviceType,
             {{"vcom", 0}, {"printer", 1}, {"virtual-serial", 0}}),
      option("PaperType", L::PaperType, {{"receipt", 0}, {"label", 1}}),
      option("PrinterOrder", L::PrinterOrder, {{"reverse", 0}, {"normal", 1}}),
      number("RptTime", 1, 255),
      // Item 0 turns hiding on, item 1 off.
      option("BluetoothSEEK", L::BluetoothSeek, {{"on", 0}, {"off", 1}}),
      option("PaperSizeType", L::PaperSizeType, {{"2", 0}, {"3", 1}, {"4", 2}}, false),
  };
}

const OptionListDef& listDef(OptionList id) {
  const auto& defs = optionListDefs();
  return *std::find_if(defs.begin(), defs.end(),
                       [&](const OptionListDef& d) { return d.id == id; });
}

int itemCount(const KeyValues& v) {
  return v.list == OptionList::Count ? static_cast<int>(v.items.size()) : listDef(v.list).size;
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
  std::string out;
  for (const auto& w : words) out += (out.empty() ? "" : separator) + w;
  return out;
}

}  // namespace

std::span<const KeyValues> keyValueTable() {
  static const std::vector<KeyValues> table = makeTable();
  return table;
}

const KeyValues* keyValuesOf(std::string_view key) {
  for (const KeyValues& v : keyValueTable()) {
    if (equalLowered(v.key, key)) return &v;
  }
  return nullptr;
}

const ChoiceKeywords& flagWords() {
  static const ChoiceKeywords words = {{"1", 1},    {"0", 0},     {"on", 1},  {"off", 0},
                                       {"true", 1}, {"false", 0}, {"yes", 1}, {"no", 0}};
  return words;
}

ChoiceList choiceListOf(const KeyValues& v, const std::vector<IniDocument>& languages) {
  ChoiceList list;
  list.keywords = v.form == ValueForm::Flag ? flagWords() : v.plain;
  list.indexAllowed = v.form == ValueForm::Choice && v.indexAllowed;
  if (v.form != ValueForm::Choice) return list;
  if (v.list == OptionList::Count) {
    for (const auto& item : v.items) list.items.push_back({item});
    return list;
  }
  const OptionListDef& def = listDef(v.list);
  for (int i = 0; i < def.size; ++i) {
    list.items.push_back(
        {optionEntry(v.list, i), std::string(def.entries[static_cast<std::size_t>(i)])});
  }
  // Each file's section once, not once per item. The keys are the items' indexes; the first of
  // a key given twice counts, as for find().
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < list.items.size(); ++i) keys.push_back(std::to_string(i));
  for (const IniDocument& doc : languages) {
    std::vector<bool> given(list.items.size(), false);
    for (const auto& [key, text] : doc.sectionValues(def.section)) {
      for (std::size_t i = 0; i < list.items.size(); ++i) {
        if (!given[i] && key == keys[i]) {
          list.items[i].push_back(text);
          given[i] = true;
        }
      }
    }
  }
  return list;
}

std::vector<ChoiceItem> choiceItems(const KeyValues& v, const IniDocument* english) {
  std::vector<ChoiceItem> out;
  const ChoiceKeywords& plain = v.form == ValueForm::Flag ? flagWords() : v.plain;
  const int count = v.form == ValueForm::Flag ? 2 : itemCount(v);
  for (int i = 0; i < count; ++i) {
    ChoiceItem item;
    item.index = i;
    for (const auto& [word, index] : plain) {
      if (index == i) item.plain.push_back(word);
    }
    if (v.form == ValueForm::Choice && v.list == OptionList::Count) {
      item.chinese = item.english = v.items[static_cast<std::size_t>(i)];
    } else if (v.form == ValueForm::Choice) {
      const auto n = static_cast<std::size_t>(i);
      item.chinese = listDef(v.list).entries[n];
      const auto text = english ? english->find(listDef(v.list).section, std::to_string(i))
                                : std::optional<std::string>();
      item.english = text ? *text : optionEntry(v.list, i);
    }
    out.push_back(std::move(item));
  }
  return out;
}

std::string acceptedText(const KeyValues& v) {
  switch (v.form) {
    case ValueForm::Choice: {
      std::vector<std::string> plain;
      for (const auto& [word, item] : v.plain) plain.push_back(word);
      const int count = itemCount(v);
      std::string out = plain.empty() ? "an item's text" : joined(plain, ", ") + ", an item's text";
      if (v.list == OptionList::Count && count <= 12) {
        std::vector<std::string> items(v.items.begin(), v.items.end());
        out =
            plain.empty() ? joined(items, ", ") : joined(plain, ", ") + "; " + joined(items, ", ");
      } else if (v.list != OptionList::Count) {
        out += " (Chinese or English)";
      }
      if (v.indexAllowed) out += ", or its index 0.." + std::to_string(count - 1);
      return out;
    }
    case ValueForm::Flag:
      return "1 or 0 (on/off, true/false, yes/no)";
    case ValueForm::Number:
      return "a number " + std::to_string(v.min) + ".." + std::to_string(v.max);
    case ValueForm::Edit: {
      std::string out = v.filter == FieldFilter::Digits   ? "digits"
                        : v.filter == FieldFilter::Dotted ? "digits and dots"
                                                          : "text";
      if (v.maxChars) out += ", at most " + std::to_string(v.maxChars) + " characters";
      if (v.required) out += ", not empty";
      std::string note = v.note ? v.note : "";
      if (v.max > v.min) {
        note += (note.empty() ? "" : ", ") + std::to_string(v.min) + ".." + std::to_string(v.max);
      }
      if (!note.empty()) out += " (" + note + ")";
      return out;
    }
    case ValueForm::Mac:
      return "twelve hexadecimal digits, pairs may be joined by ':' or '-' (the first two bytes "
             "are fixed and not sent)";
  }
  return "";
}

std::vector<int> itemsNamedBy(const std::string& value, const ChoiceList& list) {
  std::vector<int> out;
  for (const auto& [word, item] : list.keywords) {
    if (equalLowered(word, value)) return {item};
  }
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    for (const auto& text : list.items[i]) {
      if (!text.empty() && equalLowered(text, value)) {
        out.push_back(static_cast<int>(i));
        break;
      }
    }
  }
  return out;
}

std::string ambiguityRefusal(const std::string& value, const std::vector<int>& items) {
  std::string named;
  for (int i : items) named += (named.empty() ? "" : ", ") + std::to_string(i);
  return "'" + value + "' names " + std::to_string(items.size()) + " items (" + named +
         "); give the index of the one meant";
}

std::string choiceRefusal(const std::string& value, const ChoiceList& list) {
  std::vector<std::string> candidates;
  for (const auto& [word, item] : list.keywords) candidates.push_back(word);
  for (const auto& texts : list.items) {
    for (const auto& t : texts) {
      if (!t.empty() && std::find(candidates.begin(), candidates.end(), t) == candidates.end()) {
        candidates.push_back(t);
      }
    }
  }
  const std::string hint = didYouMean(nearestWords(value, candidates));
  return "'" + value + "' is not one of " + describeChoices(list) +
         (hint.empty() ? "" : "; " + hint);
}

}  // namespace plenar
