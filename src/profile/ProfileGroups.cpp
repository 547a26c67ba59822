// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/ProfileGroups.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>

#include "logo/LogoFiles.h"
#include "logo/LogoImage.h"
#include "platform/Sha256.h"
#include "profile/KeyValues.h"
#include "profile/ParaKeys.h"
#include "requests/Choices.h"
#include "requests/DeviceRequests.h"
#include "requests/FieldLimits.h"
#include "requests/FieldParsing.h"
#include "requests/FileActions.h"
#include "requests/NetworkRequests.h"
#include "requests/OptionLists.h"
#include "shared/HexText.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

std::string canonicalOf(const std::string& group, const CommandRequest& r) {
  std::string out = "group=" + group + "\ncode=" + std::to_string(r.code) +
                    "\nvalue1=" + std::to_string(r.value1) +
                    "\nvalue2=" + std::to_string(r.value2) + "\ndata=" + lowerHex(r.paraBuf) +
                    "\nlines=";
  for (std::size_t i = 0; i < r.paramList.size(); ++i) {
    out += (i ? "," : "") + lowerHex(r.paramList[i]);
  }
  return out + "\n";
}

// The values of one group's keys, read from the profile, with the refusal naming its key and
// line.
class Values : public GroupValues {
 public:
  Values(const Profile& profile, const ProfileVocabulary& vocabulary)
      : profile_(profile), vocabulary_(vocabulary) {}

  const ProfileValue& get(const char* key) const { return *profile_.find(key); }
  const std::string& text(const char* key) const override { return get(key).value; }

  [[noreturn]] void refuse(const char* key, const std::string& message) const override {
    const ProfileValue* v = profile_.find(key);
    throw ProfileError(key, v ? v->line : 0, message);
  }

  int item(const char* key) const override {
    const ChoiceList list = choiceListOf(spec(key), vocabulary_.languages);
    if (auto item = matchChoice(text(key), list)) return *item;
    Values::refuse(key, choiceRefusal(text(key), list));
  }

  std::string number(const char* key) const override {
    const KeyValues& s = spec(key);
    const std::string& t = text(key);
    auto n = parseIntText(t);
    bool digits = !t.empty() &&
                  std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isdigit(c); });
    if (!n || !digits || *n < s.min || *n > s.max) {
      refuse(key, "'" + t + "' is not a number within " + std::to_string(s.min) + ".." +
                      std::to_string(s.max));
    }
    return std::to_string(*n);
  }

  std::string edit(const char* key) const override {
    const KeyValues& s = spec(key);
    const std::string& t = text(key);
    if (auto refusal = fieldLimitRefusal(t, {key, s.filter, s.maxChars, isPasswordKey(key)})) {
      refuse(key, refusal->substr(std::string(key).size() + 2));
    }
    if (s.required && t.empty()) refuse(key, "may not be empty");
    return t;
  }

  void checkAddress(const char* key, AddressField field) const override {
    if (auto refusal = checkAddressField(field, text(key))) refuse(key, refusal->message);
  }

  // A refusal names the key of the refused field when the builder names one of this group's
  // fields, else `key` (the group's first).
  CommandRequest request(const char* key, BuildResult result) const override {
    if (auto* refusal = std::get_if<Refusal>(&result)) {
      if (!refusal->field.empty()) {
        for (const ParaKey* k : paraKeysOfControl(refusal->field)) {
          if (profile_.find(k->key)) refuse(k->key, refusal->message);
        }
      }
      refuse(key, refusal->message);
    }
    if (auto* none = std::get_if<NoAction>(&result)) {
      refuse(key, "the window's button sends nothing with this value (" + none->reason + ")");
    }
    return std::get<CommandRequest>(std::move(result));
  }

 private:
  // Every key of the group table has its entry (a table test holds them together).
  static const KeyValues& spec(const char* key) {
    const KeyValues* values = keyValuesOf(key);
    if (!values) throw std::logic_error(std::string("no accepted values for key ") + key);
    return *values;
  }

  const Profile& profile_;
  const ProfileVocabulary& vocabulary_;
};

void finish(ProfileGroup& g) {
  g.sha256 = sha256Hex(g.canonical);
}

std::string shown(const ProfileValue& v) {
  if (isPasswordKey(v.key) && !v.value.empty()) return "********";
  return v.value;
}

ProfileGroup settingsGroup(const GroupDef& def, const Profile& profile,
                           const ProfileVocabulary& vocabulary) {
  ProfileGroup g;
  g.name = def.name;
  g.command = def.command;
  g.button = def.button;
  g.role = def.role;
  g.stage = groupStage(def);
  // The printer takes the group as one request: a key the profile leaves out would go out as
  // whatever the window would have shown, which the profile did not say.
  // Station mode with a dynamic address needs no addresses.
  const ProfileValue* ipType = profile.find("IpType");
  const bool staticStation =
      ipType && (ipType->value == "1" || asciiLower(ipType->value) == "static");
  auto optional = [&](std::string_view key) {
    return !staticStation && std::any_of(def.staticOnlyKeys.begin(), def.staticOnlyKeys.end(),
                                         [&](const char* k) { return key == k; });
  };
  std::string missing;
  const ProfileValue* first = nullptr;
  for (const char* key : def.keys) {
    const ProfileValue* v = profile.find(key);
    if (!v) {
      if (!optional(key)) missing += (missing.empty() ? "" : ", ") + std::string(key);
      continue;
    }
    if (!first || v->line < first->line) first = v;
    g.values.emplace_back(v->key, shown(*v));
    g.secret = g.secret || isPasswordKey(key);
  }
  if (!missing.empty()) {
    throw ProfileError(first->key, first->line,
                       std::string("the group ") + def.name + " (one request to the printer) " +
                           "needs its other keys too: " + missing);
  }
  g.line = first->line;
  g.request = def.build(Values(profile, vocabulary));
  g.canonical = canonicalOf(g.name, *g.request);
  finish(g);
  return g;
}

// A [Files] path as a readable file's digest; ProfileFileError otherwise.
std::string fileDigest(const ProfileValue& v) {
  std::error_code ec;
  const auto status = std::filesystem::status(v.value, ec);
  if (!std::filesystem::exists(status)) {
    throw ProfileFileError(v.key, v.line, "no such file: " + v.value, "file-missing");
  }
  if (!std::filesystem::is_regular_file(status)) {
    throw ProfileFileError(v.key, v.line, "not a regular file: " + v.value, "file-not-regular");
  }
  std::string digest = sha256OfFile(v.value);
  if (digest.empty())
    throw ProfileFileError(v.key, v.line, "cannot read " + v.value, "file-unreadable");
  return digest;
}

ProfileGroup firmwareGroup(const ProfileFiles& files) {
  const ProfileValue& file = *files.firmware;
  ProfileGroup g;
  g.name = "firmware";
  g.command = "firmware";
  g.button = "btn_UpdatePrg";
  g.stage = GroupStage::Firmware;
  g.line = file.line;
  std::string wait = "5";
  if (files.firmwareWait) {
    wait = files.firmwareWait->value;
    if (auto refusal = fieldLimitRefusal(wait, {"FirmwareWait", FieldFilter::Digits, 0});
        refusal || wait.empty()) {
      throw ProfileError("FirmwareWait", files.firmwareWait->line,
                         "'" + wait +
                             "' is not a number of "
                             "seconds");
    }
  }
  const std::string digest = fileDigest(file);
  try {
    g.request = firmwareRequest(file.value, wait);
  } catch (const FileActionRefused& e) {
    throw ProfileError(file.key, file.line, e.what());
  }
  g.files = {file.value};
  g.values = {{"Firmware", file.value}, {"sha256", digest}};
  // The wait is how long the tool waits, not something the printer keeps: not in the hash.
  g.canonical = "group=firmware\nsha256=" + digest + "\n";
  finish(g);
  return g;
}

ProfileGroup fontGroup(const ProfileFiles& files) {
  const ProfileValue& file = *files.font;
  if (!files.fontAddress) {
    throw ProfileError(file.key, file.line, "a font needs its start address: FontAddress=HEX");
  }
  const ProfileValue& address = *files.fontAddress;
  std::string hex = address.value;
  if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) hex.erase(0, 2);
  if (hex.empty() || hex.size() > 8 || !std::all_of(hex.begin(), hex.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c));
      })) {
    throw ProfileError(address.key, address.line,
                       "'" + address.value + "' is not a hexadecimal address");
  }
  const std::string digest = fileDigest(file);
  ProfileGroup g;
  g.name = "font";
  g.command = "font";
  g.button = "btn_UpdateFont";
  g.stage = GroupStage::Files;
  g.line = file.line;
  try {
    auto request = fontDownloadRequest(file.value, hex);
    if (!request) throw ProfileError(file.key, file.line, text(TextId::FileMissing));
    g.request = std::move(*request);
  } catch (const FileActionRefused& e) {
    throw ProfileError(file.key, file.line, e.what());
  }
  g.files = {file.value};
  g.values = {{"Font", file.value}, {"FontAddress", asciiLower(hex)}, {"sha256", digest}};
  g.canonical =
      "group=font\naddress=" + std::to_string(fontStartAddress(hex)) + "\nsha256=" + digest + "\n";
  finish(g);
  return g;
}

ProfileGroup logoGroup(const ProfileFiles& files) {
  ProfileGroup g;
  g.name = "logos";
  g.command = "logo-download";
  g.button = "btn_DownLogo";
  g.stage = GroupStage::Files;
  g.line = files.logos.front().line;
  g.logoRaw = files.logoRaw && files.logoRaw->value == "1";
  if (files.logoRaw && files.logoRaw->value != "0" && files.logoRaw->value != "1") {
    throw ProfileError("LogoRaw", files.logoRaw->line,
                       "'" + files.logoRaw->value + "' is not 0 (1.bin) or 1 (1C 71)");
  }
  g.canonical = std::string("group=logos\nraw=") + (g.logoRaw ? "1" : "0") + "\nfiles=";
  std::map<std::string, std::string> digests;  // a file named twice is read once
  for (const ProfileValue& logo : files.logos) {
    if (g.logoRaw && logo.key.size() > 4 &&
        std::stoi(logo.key.substr(4)) > static_cast<int>(kNvLogoMaxImages)) {
      throw ProfileError(
          logo.key, logo.line,
          "the 1C 71 command (LogoRaw=1) stores logos 1 to " + std::to_string(kNvLogoMaxImages));
    }
    auto known = digests.find(logo.value);
    if (known == digests.end()) known = digests.emplace(logo.value, fileDigest(logo)).first;
    const std::string& digest = known->second;
    g.files.push_back(logo.value);
    g.values.emplace_back(logo.key, logo.value);
    g.canonical += digest + ",";
  }
  g.canonical += "\n";
  // Every image must convert now, before anything is sent; the file itself is built when the
  // step runs.
  // A file the printer would not take is refused now too, not after the groups before it.
  try {
    const LogoFile built = g.logoRaw ? buildNvLogoFile(g.files) : buildFramedLogoFile(g.files);
    if (built.bytes.size() > kLogoFileLimit) throw LogoError(logoTooLargeText());
  } catch (const LogoError& e) {
    throw ProfileError(files.logos.front().key, files.logos.front().line, e.what());
  }
  finish(g);
  return g;
}

// The profile holds one of the rule's name keys, and each it holds is empty (never for a group
// without a rule).
bool leftOut(const LeaveOutRule& rule, const Profile& profile) {
  bool named = false, present = false;
  for (const char* k : rule.nameKeys) {
    const ProfileValue* v = profile.find(k);
    present = present || v != nullptr;
    named = named || (v && !v->value.empty());
  }
  return present && !named;
}

}  // namespace

ProfileGroup deviceGroup(const DeviceIdentity& device) {
  ProfileGroup g;
  g.name = "device";
  g.command = "device";
  g.button = "btn_SetDevicePara";
  g.stage = GroupStage::Settings;
  if (auto refusal =
          fieldLimitRefusal(device.name, {"--device NAME", FieldFilter::Any, field::kNameChars})) {
    throw ProfileError("--device", 0, *refusal);
  }
  if (auto refusal = fieldLimitRefusal(
          device.serialNo, {"--device SERIAL", FieldFilter::Digits, field::kNameChars})) {
    throw ProfileError("--device", 0, *refusal);
  }
  BuildResult built = buildSetDevice(device.name, device.serialNo);
  if (auto* refusal = std::get_if<Refusal>(&built))
    throw ProfileError("--device", 0, refusal->message);
  g.request = std::get<CommandRequest>(std::move(built));
  g.values = {{"DeviceName", device.name}, {"DeviceSerialNo", device.serialNo}};
  g.canonical = canonicalOf(g.name, *g.request);
  finish(g);
  return g;
}

ProfileGroups buildProfileGroups(const Profile& profile, const ProfileVocabulary& vocabulary,
                                 const std::optional<DeviceIdentity>& device) {
  ProfileGroups out;
  if (profile.files.firmware) out.groups.push_back(firmwareGroup(profile.files));
  if (profile.files.font) out.groups.push_back(fontGroup(profile.files));
  if (profile.files.fontAddress && !profile.files.font) {
    throw ProfileError("FontAddress", profile.files.fontAddress->line,
                       "a font address without Font=FILE");
  }
  if (!profile.files.logos.empty()) out.groups.push_back(logoGroup(profile.files));

  // A group whose name keys the profile holds, all empty, is not managed (GroupTable).
  for (const GroupDef& def : settingsGroupDefs()) {
    if (!leftOut(def.leaveOut, profile)) continue;
    for (const char* key : def.keys) {
      if (const ProfileValue* v = profile.find(key))
        out.ignored.push_back({v->key, v->line, def.leaveOut.reason});
    }
  }

  for (const GroupDef& def : settingsGroupDefs()) {
    const bool present = std::any_of(def.keys.begin(), def.keys.end(),
                                     [&](const char* k) { return profile.find(k) != nullptr; });
    if (!present || leftOut(def.leaveOut, profile)) continue;
    out.groups.push_back(settingsGroup(def, profile, vocabulary));
  }
  const bool ap = std::any_of(out.groups.begin(), out.groups.end(),
                              [](const ProfileGroup& g) { return g.name == "wifi-ap"; });
  const bool sta = std::any_of(out.groups.begin(), out.groups.end(),
                               [](const ProfileGroup& g) { return g.name == "wifi-sta"; });
  if (ap && sta) {
    const ProfileValue* ssid = profile.find("SSID");
    throw ProfileError("SSID", ssid->line,
                       "both NetworkName and SSID are set: the printer keeps one Wi-Fi mode; "
                       "leave the name of the other empty");
  }
  if (device) out.groups.push_back(deviceGroup(*device));
  return out;
}

}  // namespace plenar
