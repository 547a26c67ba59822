// SPDX-License-Identifier: GPL-3.0-or-later
// Profiles without a printer: which keys and values are refused (and where), the order groups go
// out in over each link, values in either language, the window's own stored fields as a profile,
// and the apply record.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "TempDir.h"
#include "platform/IniFile.h"
#include "profile/ApplyPlan.h"
#include "profile/ApplyRecord.h"
#include "profile/ApplyRun.h"
#include "profile/KeyAliases.h"
#include "profile/KeyDocs.h"
#include "profile/ParaKeys.h"
#include "profile/Profile.h"
#include "profile/ProfileGroups.h"

using namespace plenar;

namespace {

ProfileVocabulary bothLanguages() {
  ProfileVocabulary v;
  for (const char* name : {"Chinese.lng", "English.lng"}) {
    v.languages.push_back(IniFile(std::string(PLENAR_SOURCE_DIR) + "/lang/" + name).load());
  }
  return v;
}

ProfileGroups groupsOf(const std::string& text, const std::string& dir = "/tmp") {
  return buildProfileGroups(parseProfile(text, dir + "/p.ini"), bothLanguages(), std::nullopt);
}

std::vector<std::string> names(const std::vector<ProfileGroup>& groups) {
  std::vector<std::string> out;
  for (const auto& g : groups) out.push_back(g.name);
  return out;
}

std::string hashOf(const std::string& text, const std::string& group) {
  for (const auto& g : groupsOf(text).groups) {
    if (g.name == group) return g.sha256;
  }
  return "(no group " + group + ")";
}

}  // namespace

TEST(ProfileGroups, RefusedKeysAndValuesNameTheirKeyAndLine) {
  struct Case {
    std::string text;
    std::string key;
    int line;
    std::string says;
  };
  const std::vector<Case> cases{
      {"[ParaDefault]\nBaudRate=9601\n", "BaudRate", 2, "is not one of"},
      // An index is no rate: 3 must not become 9600.
      {"[ParaDefault]\nBaudRate=3\n", "BaudRate", 2, "is not one of"},
      {"[ParaDefault]\nCodePage=CP999\n", "CodePage", 2, "is not one of"},
      {"[ParaDefault]\nFlowcontrol=fast\n", "Flowcontrol", 2, "is not one of"},
      {"; shop\n[ParaDefault]\nNoSuchKey=1\n", "NoSuchKey", 3, "not a key"},
      {"[ParaDefualt]\nBaudRate=9600\n", "[ParaDefualt]", 1, "unknown section"},
      {"BaudRate=9600\n", "BaudRate", 1, "before any section"},
      {"[ParaDefault]\nBaudRate 9600\n", "", 2, "not a section"},
      // The printer takes the switches as one byte: all five keys or none.
      {"[ParaDefault]\nFontValue=12x24\n", "FontValue", 2, "Dark, ForcePaper, buzzer, CutPaper"},
      {"[ParaDefault]\nsleepTime=0\npoweroffTime=7200\n", "sleepTime", 2, "1..999999999"},
      {"[ParaDefault]\nsleepTime=60s\npoweroffTime=7200\n", "sleepTime", 2, "not a number"},
      {"[ParaDefault]\nNetIPAddress=192.168.1.300\n", "NetIPAddress", 2, ""},
      {"[ParaDefault]\nNetport=1\n", "Netport", 2, "2..65535"},
      {"[ParaDefault]\nMAC=ABCD6566\n", "MAC", 2, "twelve hexadecimal"},
      {"[ParaDefault]\nFontValue=12x24\nDark=1\nForcePaper=0A\nbuzzer=maybe\nCutPaper=1\n",
       "buzzer", 5, "is not one of"},
      {"[ParaDefault]\nBaudRate=9600\nbaudrate=115200\n", "baudrate", 3, "twice"},
      {"[ParaDefault]\nNetworkName=shop\nNetworkPsw=x\nSSID=office\nStaModePsw=\nIpType=0\n"
       "Port=9100\n",
       "SSID", 4, "one Wi-Fi mode"},
      {"[ParaDefault]\nBlueToolthName=" + std::string(21, 'n') +
           "\nMulBlueToolthName=\nBlueToolthPsw=\nBlueToolthType=1\nBlueToolthMode=1\n"
           "BlueToolthCheck=0\n",
       "BlueToolthName", 2, "at most 20"},
      {"[Files]\nFont=missing.bin\nFontAddress=1000\n", "Font", 2, "no such file"},
      {"[Files]\nFirmwareWait=5\nFirmware=\n", "Firmware", 3, "names no file"},
      {"[Files]\nLogo=a.bmp\n", "Logo", 2, "not a [Files] key"},
      // Logo numbers the printer has: a directory of 512, the 1C 71 count byte 255.
      {"[Files]\nLogo9999=a.bmp\n", "Logo9999", 2, "1 to 512"},
      {"[Files]\nLogo0=a.bmp\n", "Logo0", 2, "1 to 512"},
      {"[Files]\nLogoRaw=1\nLogo256=a.bmp\n", "Logo256", 3, "1 to 255"},
      // Text the printer cannot store, in a UTF-8 profile and in a GBK one.
      {"; shop \xF0\x9F\x98\x80\n[ParaDefault]\nSSID=shop\xF0\x9F\x98\x80\n", "SSID", 3, "GBK"},
      {"[ParaDefault]\nBlueToolthName=n\nMulBlueToolthName=\nBlueToolthPsw=p\xC3\xA4ssw\xC3\xB6rd\n"
       "BlueToolthType=1\nBlueToolthMode=1\nBlueToolthCheck=0\n",
       "BlueToolthPsw", 4, "GBK"},
      {"[ParaDefault]\nNetworkName=ab\x80\nNetworkPsw=x\n", "NetworkName", 2, "GBK"},
      // A NUL would end a path early: the file sent would not be the one shown.
      {"[Files]\nLogo1=logo.bmp" + std::string(1, '\0') + "x\n", "Logo1", 2, "NUL"},
      {"[ParaDefault]\nNetworkName=ab" + std::string(1, '\0') + "\nNetworkPsw=x\n", "NetworkName",
       2, "NUL"},
  };
  for (const Case& c : cases) {
    try {
      groupsOf(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ProfileError& e) {
      EXPECT_EQ(e.key(), c.key) << c.text << e.what();
      EXPECT_EQ(e.line(), c.line) << c.text << e.what();
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find("\xC3\xB6rd"), std::string::npos) << e.what();
    }
  }
}

TEST(ProfileGroups, LinkChangingGroupsGoLastAndTheCurrentLinksOwnLastOfAll) {
  TempDir dir;
  dir.write("font.bin", std::string(300, 'f'));
  const std::string text =
      "[ParaDefault]\nPaperSizeType=3\nNetIPAddress=10.0.0.9\nBaudRate=115200\n"
      "Flowcontrol=hard\nSubnetmask=255.255.0.0\nUsbDeviceTpe=printer\nCodePage=EUC-KR\n"
      "gatewayt=10.0.0.1\nNetport=9100\nEthernet=on\n[Files]\nFont=font.bin\nFontAddress=1000\n";
  const ProfileGroups groups = groupsOf(text, dir.path());
  const std::map<LinkKind, std::vector<std::string>> expected{
      {LinkKind::Serial,
       {"font", "codepage", "paper-size", "net-ip", "net-mask", "net-gateway", "net-port",
        "ethernet", "usb-type", "flow", "baud"}},
      // The print port is not the link's: it keeps its place among the settings.
      {LinkKind::Network,
       {"font", "codepage", "paper-size", "baud", "flow", "net-port", "usb-type", "ethernet",
        "net-mask", "net-gateway", "net-ip"}},
      {LinkKind::Usb,
       {"font", "codepage", "paper-size", "baud", "flow", "net-ip", "net-mask", "net-gateway",
        "net-port", "ethernet", "usb-type"}},
      {LinkKind::Parallel,
       {"font", "codepage", "paper-size", "baud", "flow", "net-ip", "net-mask", "net-gateway",
        "net-port", "ethernet", "usb-type"}},
  };
  for (const auto& [link, order] : expected) {
    EXPECT_EQ(names(orderForLink(groups.groups, link)), order) << static_cast<int>(link);
  }
  // Over the network the port that carries the link cannot be switched off; elsewhere it can.
  const auto off = groupsOf("[ParaDefault]\nEthernet=off\n").groups;
  EXPECT_THROW(orderForLink(off, LinkKind::Network), ProfileError);
  EXPECT_NO_THROW(orderForLink(off, LinkKind::Serial));
}

TEST(ProfileGroups, ListValuesInEitherLanguageOrPlainFormsMakeTheSameRequest) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
      {"flow", {"Flowcontrol=硬件流控", "Flowcontrol=Hardware (RTS/CTS)", "Flowcontrol=hard"}},
      {"codepage", {"CodePage=CP437:USA/Standard Europe", "CodePage=cp437", "CodePage=4"}},
      {"usb-type", {"UsbDeviceTpe=USB虚拟串口", "UsbDeviceTpe=vcom", "UsbDeviceTpe=0"}},
      {"bt-hide", {"BluetoothSEEK=取消蓝牙隐身", "BluetoothSEEK=off"}},
      {"paper-size", {"PaperSizeType=4寸", "PaperSizeType=4"}},
      {"switches",
       {"FontValue=12x24\nDark=正常\nForcePaper=0X0A\nbuzzer=1\nCutPaper=0",
        "FontValue=12X24\nDark=Normal\nForcePaper=0a\nbuzzer=on\nCutPaper=off",
        "FontValue=12x24\nDark=normal\nForcePaper=LF\nbuzzer=on\nCutPaper=off"}},
      {"switches",
       {"FontValue=0\nDark=3\nForcePaper=0D\nbuzzer=0\nCutPaper=0",
        "FontValue=9x17\nDark=extra-dark\nForcePaper=CR\nbuzzer=off\nCutPaper=off"}},
  };
  // Written in UTF-8, and saying so: "USB虚拟串口" reads as GBK too.
  const std::string head = "; encoding: UTF-8\n[ParaDefault]\n";
  for (const auto& [group, forms] : cases) {
    const std::string first = hashOf(head + forms[0] + "\n", group);
    EXPECT_EQ(first.size(), 64u) << first;
    for (const auto& form : forms) {
      EXPECT_EQ(hashOf(head + form + "\n", group), first) << form;
    }
  }
  EXPECT_NE(hashOf("[ParaDefault]\nFlowcontrol=soft\n", "flow"),
            hashOf("[ParaDefault]\nFlowcontrol=hard\n", "flow"));
}

TEST(ProfileGroups, UnicodeProfilesKeepWhatGbkHolds) {
  // A byte-order mark (Notepad's UTF-8) is no character; comments may hold anything, even bytes
  // that are no UTF-8 (a comment typed in Latin-1 left the values read as GBK); accented letters
  // GBK has and Chinese go out as the window would send them.
  for (const char* comment : {"\xEF\xBB\xBF; Filiale K\xC3\xB6ln \xF0\x9F\x98\x80\n",
                              "\xEF\xBB\xBF; F\xE9liane K\xF6ln\n",
                              "; encoding: UTF-8\n# F\xE9liane K\xF6ln\n"}) {
    const ProfileGroups groups = groupsOf(
        std::string(comment) +
        "[ParaDefault]\nNetworkName=caf\xC3\xA9 \xE8\x93\x9D\xE7\x89\x99\nNetworkPsw=pw\n");
    ASSERT_EQ(names(groups.groups), std::vector<std::string>{"wifi-ap"});
    const std::vector<std::uint8_t>& block = groups.groups[0].request->paraBuf;
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.begin() + 10),
              (std::vector<std::uint8_t>{10, 'c', 'a', 'f', 0xA8, 0xA6, ' ', 0xC0, 0xB6, 0xD1}))
        << comment;
  }
}

// Bytes that read as UTF-8 and as GBK with different texts ("é" in UTF-8 is GBK "茅") are taken
// only when the file says which it is; a file with one reading needs no marker.
TEST(ProfileGroups, AProfileThatReadsTwoWaysMustSayWhichItIs) {
  struct Case {
    std::string bytes;
    const char* value;  // nullptr: refused
  };
  const std::string both = "[ParaDefault]\nNetworkName=\xC3\xA9\nNetworkPsw=pw\n";
  for (const Case& c : {
           Case{both, nullptr},
           Case{"; encoding: GBK\r\n" + both, "\xE8\x8C\x85"},
           Case{"; Encoding: utf-8\n" + both, "\xC3\xA9"},
           Case{"#encoding: UTF-8\n" + both, "\xC3\xA9"},
           Case{"\xEF\xBB\xBF" + both, "\xC3\xA9"},
           Case{"; encoding: latin-1\n" + both, nullptr},
           Case{"; encoding: UTF-8\n[ParaDefault]\nNetworkName=\xC4\xE3\n", nullptr},
           // One reading only: UTF-8 "你" (three bytes) is no GBK, GBK "你" is no UTF-8.
           Case{"[ParaDefault]\nNetworkName=\xE4\xBD\xA0\n", "\xE4\xBD\xA0"},
           Case{"[ParaDefault]\nNetworkName=\xC4\xE3\n", "\xE4\xBD\xA0"},
           Case{"[ParaDefault]\nNetworkName=plain\n", "plain"},
       }) {
    SCOPED_TRACE(c.bytes);
    if (!c.value) {
      EXPECT_THROW(parseProfile(c.bytes, "/tmp/p.ini"), ProfileError);
      continue;
    }
    const Profile p = parseProfile(c.bytes, "/tmp/p.ini");
    ASSERT_FALSE(p.settings.empty());
    EXPECT_EQ(p.settings[0].value, c.value);
  }
}

TEST(ProfileGroups, TheWindowsStoredFieldsAreAProfile) {
  // Every key the parameter window writes, with the values of a first start.
  IniDocument doc;
  for (const ParaKey& k : paraKeys()) {
    std::string value = paraKeyDefault(k);
    if (k.kind == ParaKind::Memo) value = "0";
    if (k.kind == ParaKind::SameKey) continue;
    doc.writeString(kParaSection, k.key, value);
  }
  doc.writeString(kParaSection, "DeviceName", "Till 4");
  doc.writeString("MainDefault", "Language", "1");
  const Profile profile = parseProfile(doc.bytes(), "/tmp/sysconfig.ini");
  const ProfileGroups groups = buildProfileGroups(profile, bothLanguages(), std::nullopt);
  const std::vector<std::string> managed = names(groups.groups);
  for (const char* g : {"baud", "flow", "codepage", "switches", "times", "net-ip", "net-mac",
                        "infrared", "cutter-feed", "usb-type", "paper-size"}) {
    EXPECT_NE(std::find(managed.begin(), managed.end(), g), managed.end()) << g;
  }
  // Nothing the window keeps for itself, nothing per printer, and no Bluetooth or Wi-Fi
  // settings without a name.
  for (const char* g : {"device", "bluetooth", "wifi-ap", "wifi-sta"}) {
    EXPECT_EQ(std::find(managed.begin(), managed.end(), g), managed.end()) << g;
  }
  std::vector<std::string> ignored;
  for (const auto& k : profile.ignored) ignored.push_back(k.key);
  for (const auto& k : groups.ignored) ignored.push_back(k.key);
  for (const char* k : {"DeviceName", "PrgFile", "StartAddress", "Language", "BlueToolthName",
                        "SSID", "NetworkName"}) {
    EXPECT_NE(std::find(ignored.begin(), ignored.end(), k), ignored.end()) << k;
  }
}

TEST(ProfileGroups, PasswordsAreMaskedAndOnlyPartOfTheHash) {
  const std::string text =
      "[ParaDefault]\nBlueToolthName=Till\nMulBlueToolthName=\nBlueToolthPsw=s3cret\n"
      "BlueToolthType=1\nBlueToolthMode=1\nBlueToolthCheck=0\n";
  const auto groups = groupsOf(text).groups;
  ASSERT_EQ(groups.size(), 1u);
  for (const auto& [key, value] : groups[0].values) {
    EXPECT_EQ(value.find("s3cret"), std::string::npos) << key;
  }
  std::string other = text;
  other.replace(other.find("s3cret"), 6, "s3crat");
  EXPECT_NE(groupsOf(other).groups[0].sha256, groups[0].sha256);
}

TEST(ApplyRecord, RoundTripAndUnusableRecords) {
  TempDir dir;
  ApplyRecord r;
  r.link.kind = LinkKind::Network;
  r.link.ipAddress = "10.1.2.3";
  r.link.udpPort = 5100;
  r.linkAfter = r.link;
  r.linkAfter->ipAddress = "10.1.2.4";
  r.modelTag = "PLENAR80";
  r.device = std::make_pair("Till 4", "1704269998");
  r.groups["codepage"] = {
      std::string(64, 'a'), false, "2026-12-07T00:00:00Z", {{"CodePage", "CP437"}}};
  const std::string path = defaultRecordPath(dir.path(), r.link);
  EXPECT_EQ(path, dir.path() + "/apply/net-10.1.2.3-5100.json");
  ASSERT_FALSE(saveApplyRecord(path, r));
  auto back = loadApplyRecord(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(recordToJson(*back), recordToJson(r));

  EXPECT_FALSE(loadApplyRecord(dir.file("none.json")));
  for (const char* bad : {"", "{", "[]", "{\"schema\":2}", "{\"schema\":1,\"link\":{}}",
                          "{\"schema\":1,\"link\":{\"kind\":\"lpt\",\"number\":1},\"groups\":{"
                          "\"x\":{\"sha256\":\"short\"}}}"}) {
    dir.write("bad.json", bad);
    EXPECT_THROW(loadApplyRecord(dir.file("bad.json")), RecordError) << bad;
  }
  // A link number is read whole or not at all: 2^32 + 1 is not port 1.
  for (const char* number : {"1", "4294967297", "1.5", "18446744073709551615"}) {
    dir.write("n.json", std::string(R"({"schema":1,"link":{"kind":"lpt","number":)") + number +
                            R"(},"groups":{}})");
    if (number == std::string("1")) {
      EXPECT_NO_THROW(loadApplyRecord(dir.file("n.json")));
    } else {
      EXPECT_THROW(loadApplyRecord(dir.file("n.json")), RecordError) << number;
    }
  }
  // An apply over such a record sends everything and says why.
  ApplyOptions o;
  o.link.kind = LinkKind::Parallel;
  o.recordPath = dir.file("bad.json");
  ApplyRun run(parseProfile("[ParaDefault]\nRptTime=30\n", dir.file("p.ini")),
               groupsOf("[ParaDefault]\nRptTime=30\n"), o);
  EXPECT_EQ(run.next().kind, ApplyRun::Action::Kind::TestLink);
  EXPECT_FALSE(run.stateKnown());
  EXPECT_EQ(run.notes().size(), 1u);
}

TEST(ProfileGroups, AMisspeltKeyNamesTheNearestKeys) {
  struct Case {
    const char* key;
    const char* hint;  // empty: no key is near
  };
  const Case cases[] = {
      {"BlueToolthNam", "did you mean `BlueToolthName`"},
      {"codepage2", "did you mean `CodePage`?"},
      {"gateway", "did you mean `gatewayt`?"},
      {"WiFiPassword", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    try {
      parseProfile(std::string("[ParaDefault]\n") + c.key + "=1\n", "/tmp/p.ini");
      ADD_FAILURE() << "accepted";
    } catch (const ProfileError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("not a key"), std::string::npos) << message;
      if (*c.hint) {
        EXPECT_NE(message.find(c.hint), std::string::npos) << message;
      } else {
        EXPECT_EQ(message.find("did you mean"), std::string::npos) << message;
      }
    }
  }
}

TEST(ProfileGroups, SetValuesReplaceOrAddKeysAndChangeTheDigest) {
  Profile p = parseProfile("[ParaDefault]\nCodePage=CP437\nRptTime=20\n", "/tmp/p.ini");
  const std::string fileDigest = p.sha256;
  const std::string rptHash = hashOf("[ParaDefault]\nRptTime=20\n", "retract-time");
  applySettingOverrides(p, {"rpttime=33", "sleepTime=60", "poweroffTime=600"});
  EXPECT_NE(p.sha256, fileDigest);
  ASSERT_NE(p.find("RptTime"), nullptr);
  EXPECT_EQ(p.find("RptTime")->value, "33");
  EXPECT_EQ(p.find("sleepTime")->value, "60");
  const ProfileGroups g = buildProfileGroups(p, {}, std::nullopt);
  EXPECT_EQ(names(g.groups), (std::vector<std::string>{"codepage", "times", "retract-time"}));
  for (const auto& group : g.groups) {
    if (group.name == "retract-time") {
      EXPECT_NE(group.sha256, rptHash);
    }
  }
  const std::pair<const char*, const char*> refused[] = {
      {"RptTim=3", "did you mean `RptTime`?"},
      {"DeviceName=Till", "--device NAME SERIAL"},
      {"RptTime", "takes KEY=VALUE"},
      {"[Files]=x", "--set"},
      // Every user can read a command line.
      {"NetworkPsw=secret", "never goes on the command line"},
      {"StaModePsw=secret", "never goes on the command line"},
      {"blueToolthPsw=1234", "never goes on the command line"},
  };
  for (const auto& [assignment, words] : refused) {
    SCOPED_TRACE(assignment);
    Profile q = parseProfile("[ParaDefault]\nRptTime=20\n", "/tmp/p.ini");
    try {
      applySettingOverrides(q, {assignment});
      ADD_FAILURE() << "accepted";
    } catch (const ProfileError& e) {
      EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
      EXPECT_EQ(e.line(), 0);
    }
  }
}

// A readable alias reads as the window's key: the same group, refused when the file gives both
// with different values, and no alias is another key's spelling.
TEST(ProfileGroups, ReadableKeyAliasesAreTheWindowsKeys) {
  for (const KeyAlias& a : keyAliases()) {
    SCOPED_TRACE(a.alias);
    EXPECT_EQ(groupOfKey(a.alias), nullptr);
    EXPECT_EQ(ignoredKeyReason(a.alias), nullptr);
    const Profile p = parseProfile(std::string("[ParaDefault]\n") + a.alias + "=1\n", "/tmp/p.ini");
    ASSERT_EQ(p.settings.size(), 1u);
    EXPECT_EQ(p.settings[0].key, a.key);
  }
  EXPECT_EQ(hashOf("[ParaDefault]\nUsbDeviceType=printer\n", "usb-type"),
            hashOf("[ParaDefault]\nUsbDeviceTpe=printer\n", "usb-type"));
  EXPECT_THROW(
      parseProfile("[ParaDefault]\nNetGateway=10.0.0.1\ngatewayt=10.0.0.2\n", "/tmp/p.ini"),
      ProfileError);
}

TEST(ProfileGroups, OneVocabularyWithTheOlderWordsAsAliases) {
  const std::string bt =
      "[ParaDefault]\nBlueToolthName=a\nMulBlueToolthName=\nBlueToolthPsw=\nBlueToolthType=1\n"
      "BlueToolthCheck=0\nBlueToolthMode=";
  const struct {
    std::string a, b;
    const char* group;
  } same[] = {
      {"[ParaDefault]\nFlowcontrol=soft\n", "[ParaDefault]\nFlowcontrol=software\n", "flow"},
      {"[ParaDefault]\nFlowcontrol=hard\n", "[ParaDefault]\nFlowcontrol=hardware\n", "flow"},
      {"[ParaDefault]\nUsbDeviceTpe=vcom\n", "[ParaDefault]\nUsbDeviceTpe=virtual-serial\n",
       "usb-type"},
      {bt + "2\n", bt + "dual\n", "bluetooth"},
      {bt + "0\n", bt + "none\n", "bluetooth"},
  };
  for (const auto& c : same) {
    SCOPED_TRACE(c.b);
    EXPECT_EQ(hashOf(c.a, c.group), hashOf(c.b, c.group));
  }
}

// A misspelt value is refused with the nearest values the key takes, in a file and with --set.
TEST(ProfileGroups, AMisspeltValueNamesTheNearestAcceptedValues) {
  const struct {
    const char* assignment;
    const char* hint;  // empty: nothing is near
  } cases[] = {
      {"Flowcontrol=hardwre", "did you mean `hardware`?"},
      {"UsbDeviceTpe=vcomm", "did you mean `vcom`?"},
      {"PaperType=labl", "did you mean `label`?"},
      {"BaudRate=96000", "did you mean `9600`?"},
      {"BlueToolthWorkMode=Normal modee", "did you mean `Normal mode`?"},
      {"BluetoothSEEK=of", "did you mean `on` or `off`?"},
      {"PrinterOrder=sideways", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.assignment);
    for (const bool viaSet : {false, true}) {
      try {
        Profile p = parseProfile(viaSet ? std::string("[ParaDefault]\nRptTime=20\n")
                                        : std::string("[ParaDefault]\n") + c.assignment + "\n",
                                 "/tmp/p.ini");
        if (viaSet) applySettingOverrides(p, {c.assignment});
        buildProfileGroups(p, bothLanguages(), std::nullopt);
        ADD_FAILURE() << "accepted";
      } catch (const ProfileError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("is not one of"), std::string::npos) << message;
        if (*c.hint) {
          EXPECT_NE(message.find(c.hint), std::string::npos) << message;
        } else {
          EXPECT_EQ(message.find("did you mean"), std::string::npos) << message;
        }
      }
    }
  }
}

// What the key list documents is what the groups take: every key of every group is listed with
// what it accepts, and each listed item, by its plain words, both languages' texts and its index,
// is that item.
TEST(ProfileGroups, TheDocumentedValuesOfEveryKeyAreTheAcceptedOnes) {
  const std::vector<KeyDoc> docs = profileKeyDocs();
  for (const GroupDef& g : settingsGroupDefs()) {
    for (const char* key : g.keys) {
      const auto doc =
          std::find_if(docs.begin(), docs.end(), [&](const KeyDoc& d) { return d.key == key; });
      ASSERT_NE(doc, docs.end()) << key;
      ASSERT_NE(doc->values, nullptr) << key;
      EXPECT_FALSE(doc->accepts.empty()) << key;
      EXPECT_EQ(doc->group, &g) << key;
    }
  }
  const ProfileVocabulary vocabulary = bothLanguages();
  const IniDocument english = vocabulary.languages[1];
  for (const KeyDoc& d : docs) {
    if (!d.values || d.values->form != ValueForm::Choice) continue;
    SCOPED_TRACE(d.key);
    const ChoiceList list = choiceListOf(*d.values, vocabulary.languages);
    const std::vector<ChoiceItem> items = choiceItems(*d.values, &english);
    std::map<std::string, int> uses;  // a text several items share (code pages) names the first
    for (const ChoiceItem& item : items) {
      for (const std::string& t : {item.chinese, item.english}) ++uses[t];
    }
    for (const ChoiceItem& item : items) {
      std::vector<std::string> forms = item.plain;
      for (const std::string& t : {item.chinese, item.english}) {
        if (uses[t] == 1 || (item.chinese == item.english && uses[t] == 2)) forms.push_back(t);
      }
      if (d.values->indexAllowed) forms.push_back(std::to_string(item.index));
      for (const std::string& form : forms) {
        EXPECT_EQ(matchChoice(form, list), item.index) << form;
      }
    }
  }
}

// Each row of the group table stands on its own: it builds its request, its rules name its own
// keys, no key belongs to two groups, and a key that sets nothing is a window key of no group.
TEST(ProfileGroups, EveryRowOfTheGroupTableIsWhole) {
  auto has = [](const KeyList& keys, std::string_view key) {
    return std::any_of(keys.begin(), keys.end(), [&](const char* k) { return key == k; });
  };
  for (const GroupDef& g : settingsGroupDefs()) {
    SCOPED_TRACE(g.name);
    EXPECT_NE(g.build, nullptr);
    EXPECT_EQ(g.leaveOut.nameKeys.empty(), g.leaveOut.reason == nullptr);
    for (const char* k : g.leaveOut.nameKeys) EXPECT_TRUE(has(g.keys, k)) << k;
    for (const char* k : g.staticOnlyKeys) EXPECT_TRUE(has(g.keys, k)) << k;
    for (const char* k : g.keys) EXPECT_EQ(groupOfKey(k), &g) << k;
  }
  const auto window = paraKeys();
  for (const UnmanagedKey& u : unmanagedKeys()) {
    SCOPED_TRACE(u.key);
    EXPECT_EQ(groupOfKey(u.key), nullptr);
    EXPECT_TRUE(std::any_of(window.begin(), window.end(),
                            [&](const ParaKey& k) { return std::string_view(k.key) == u.key; }));
  }
}
