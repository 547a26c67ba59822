// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AcceptedText.h"

#include <string_view>
#include <vector>

#include "cli/CliTexts.h"

namespace plenar::cli {
namespace {

std::string joined(const std::vector<std::string>& words, const char* separator) {
  std::string out;
  for (const auto& w : words) out += (out.empty() ? "" : separator) + w;
  return out;
}

std::string range(const KeyValues& v) {
  return std::to_string(v.min) + ".." + std::to_string(v.max);
}

// The rows' notes, in Chinese.
std::string noteOf(const KeyValues& v) {
  if (!v.note) return "";
  const std::string_view note = v.note;
  if (note == "millimetres") return "毫米";
  if (note == "the Bluetooth module's model number") return "蓝牙模块的型号";
  if (note == "the station's port") return "客户端模式的端口";
  if (note == "a dotted IPv4 address") return "点分 IPv4 地址";
  if (note.starts_with("a dotted IPv4 address"))
    return "点分 IPv4 地址；仅在 IpType 为 static 时读取";
  return v.note;
}

std::string choiceText(const KeyValues& v) {
  std::vector<std::string> plain;
  for (const auto& [word, item] : v.plain) plain.push_back(word);
  const auto count = choiceItems(v).size();
  std::string out = plain.empty() ? "列表中的文字" : joined(plain, "、") + "，或列表中的文字";
  if (v.list == OptionList::Count && count <= 12) {
    out = (plain.empty() ? "" : joined(plain, "、") + "；") + joined(v.items, "、");
  } else if (v.list != OptionList::Count) {
    out += "（中文或英文）";
  }
  if (v.indexAllowed) out += "，或其序号 0.." + std::to_string(count - 1);
  return out;
}

std::string editText(const KeyValues& v) {
  std::string out = v.filter == FieldFilter::Digits   ? "数字"
                    : v.filter == FieldFilter::Dotted ? "数字和点"
                                                      : "文字";
  if (v.maxChars) out += "，最多 " + std::to_string(v.maxChars) + " 个字符";
  if (v.required) out += "，不可为空";
  std::string note = noteOf(v);
  if (v.max > v.min) note += (note.empty() ? "" : "，") + range(v);
  if (!note.empty()) out += "（" + note + "）";
  return out;
}

}  // namespace

std::string acceptedSaid(const KeyValues& v) {
  if (!chineseChosen()) return acceptedText(v);
  switch (v.form) {
    case ValueForm::Choice:
      return choiceText(v);
    case ValueForm::Flag:
      return "1 或 0（on/off、true/false、yes/no）";
    case ValueForm::Number:
      return "数字 " + range(v);
    case ValueForm::Edit:
      return editText(v);
    case ValueForm::Mac:
      return "十二位十六进制数字，每两位间可用 ':' 或 '-' 连接（前两个字节固定，不发送）";
  }
  return "";
}

}  // namespace plenar::cli
