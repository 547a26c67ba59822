// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "RequestMatchers.h"
#include "requests/CustomDataRequests.h"
#include "requests/DeviceRequests.h"
#include "requests/OptionLists.h"
#include "requests/WirelessRequests.h"

namespace plenar {
namespace {

using testing::Bytes;
using testing::isNoAction;
using testing::refusalOf;
using testing::requestOf;

std::string area(const Bytes& block, std::size_t offset, std::size_t size) {
  return std::string(block.begin() + offset, block.begin() + offset + size);
}

TEST(BluetoothRequest, LaysOutTheFiftySixByteBlock) {
  BluetoothFields f{.name = "Printer",
                    .dualName = "PrinterBLE",
                    .password = "1234",
                    .model = "258",
                    .modeItem = 2,
                    .authItem = 1};
  CommandRequest r = requestOf(buildSetBluetooth(f));
  EXPECT_EQ(r.code, 11);
  ASSERT_EQ(r.paraBuf.size(), 56u);
  EXPECT_EQ(r.paraBuf[0], 3);  // dual-mode
  EXPECT_EQ(area(r.paraBuf, 1, 20), std::string("Printer") + std::string(13, '\0'));
  EXPECT_EQ(area(r.paraBuf, 21, 13), std::string("1234") + std::string(9, '\0'));
  EXPECT_EQ(area(r.paraBuf, 34, 20), std::string("PrinterBLE") + std::string(10, '\0'));
  EXPECT_EQ(r.paraBuf[54], 2);     // required, masked
  EXPECT_EQ(r.paraBuf[55], 0x02);  // 258, low byte
}

TEST(BluetoothRequest, ModeAndAuthenticationItemsMapToThePrintersValues) {
  const int modes[3] = {0, 1, 3};
  const int auths[3] = {1, 2, 0};
  for (int i = 0; i < 3; ++i) {
    BluetoothFields f{.name = "n", .modeItem = i, .authItem = i};
    CommandRequest r = requestOf(buildSetBluetooth(f));
    EXPECT_EQ(r.paraBuf[0], modes[i]);
    EXPECT_EQ(r.paraBuf[54], auths[i]);
  }
}

TEST(BluetoothRequest, FullAreasRunIntoEachOtherWithoutTerminators) {
  BluetoothFields f{.name = std::string(20, 'N'), .password = std::string(13, 'P')};
  CommandRequest r = requestOf(buildSetBluetooth(f));
  EXPECT_EQ(area(r.paraBuf, 1, 33), std::string(20, 'N') + std::string(13, 'P'));
  // Only the name is given, so it fills the dual-mode area too.
  EXPECT_EQ(area(r.paraBuf, 34, 20), std::string(20, 'N'));
  // A longer text is refused, never cut: the printer would keep another name or PIN.
  f.name = std::string(25, 'X');
  EXPECT_EQ(refusalOf(buildSetBluetooth(f)),
            "The Bluetooth name is 25 bytes in GBK; the printer keeps at most 20 (a Chinese "
            "character takes two)");
  f.name = "n";
  f.password = std::string(14, 'Q');
  EXPECT_NE(refusalOf(buildSetBluetooth(f)).find("PIN is 14 bytes"), std::string::npos);
}

TEST(BluetoothRequest, NameFallbackAndGuards) {
  BluetoothFields onlyDual{.dualName = "Dual"};
  CommandRequest r = requestOf(buildSetBluetooth(onlyDual));
  EXPECT_EQ(area(r.paraBuf, 1, 4), "Dual");
  EXPECT_EQ(area(r.paraBuf, 34, 4), "Dual");

  EXPECT_TRUE(isNoAction(buildSetBluetooth(BluetoothFields{})));
  BluetoothFields badModel{.name = "n", .model = ""};
  EXPECT_EQ(refusalOf(buildSetBluetooth(badModel)), "'' is not a valid integer value");
  badModel.model = "1a";
  EXPECT_EQ(refusalOf(buildSetBluetooth(badModel)), "'1a' is not a valid integer value");
}

TEST(BluetoothRequest, ChineseNamesAreGbkAndLimitsCountTheirBytes) {
  // Ten characters of two GBK bytes each fill the 20-byte area.
  BluetoothFields f{.name = "打印机打印机打印机打"};
  CommandRequest r = requestOf(buildSetBluetooth(f));
  EXPECT_EQ(r.paraBuf[1], 0xB4);  // 打 in GBK is B4 F2
  EXPECT_EQ(r.paraBuf[2], 0xF2);
  EXPECT_NE(r.paraBuf[20], 0);
  EXPECT_EQ(r.paraBuf[21], 0);
  // Eleven characters, or "a" and ten (21 bytes), do not fit: refused, not cut.
  for (const char* name : {"打印机打印机打印机打印", "a打印机打印机打印机打"}) {
    f.name = name;
    EXPECT_NE(refusalOf(buildSetBluetooth(f)).find("bytes in GBK"), std::string::npos) << name;
  }
}

TEST(BluetoothCommands, OneParamListEntryPerLineEmptyLinesIncluded) {
  CommandRequest r = requestOf(buildBluetoothCommands({"AT+NAME=x", "", "AT+RESET"}));
  EXPECT_EQ(r.code, 22);
  EXPECT_EQ(r.paramList, (std::vector<std::string>{"AT+NAME=x", "", "AT+RESET"}));

  EXPECT_EQ(requestOf(buildBluetoothWorkMode(0)).paramList, (std::vector<std::string>{"AT+HSM=2"}));
  EXPECT_EQ(requestOf(buildBluetoothWorkMode(1)).paramList, (std::vector<std::string>{"AT+HSM=0"}));
  EXPECT_TRUE(isNoAction(buildBluetoothWorkMode(kNoItem)));
}

TEST(BluetoothCommands, ALineLongerThanOneFrameIsRefused) {
  EXPECT_TRUE(isRequest(buildBluetoothCommands({std::string(1016, 'A')})));
  std::string message = refusalOf(buildBluetoothCommands({"AT", std::string(1017, 'A')}));
  EXPECT_NE(message.find("line 2"), std::string::npos) << message;
  EXPECT_NE(message.find("1016"), std::string::npos) << message;
}

TEST(AccessPointRequest, LengthPrefixedNameAndPassword) {
  CommandRequest r = requestOf(buildWifiAccessPoint("Shop", "secret1"));
  EXPECT_EQ(r.code, 21);
  EXPECT_EQ(r.paraBuf, (Bytes{4, 'S', 'h', 'o', 'p', 7, 's', 'e', 'c', 'r', 'e', 't', '1'}));
  EXPECT_EQ(requestOf(buildWifiAccessPoint("", "")).paraBuf, (Bytes{0, 0}));
  r = requestOf(buildWifiAccessPoint(std::string(32, 'n'), ""));
  EXPECT_EQ(r.paraBuf.size(), 34u);
  EXPECT_EQ(r.paraBuf[0], 32);
  // Sixteen Chinese characters fill the 32 bytes; one more is refused, never cut.
  EXPECT_TRUE(isRequest(buildWifiAccessPoint("门店网络门店网络门店网络门店网络", "")));
  EXPECT_NE(refusalOf(buildWifiAccessPoint("n", "密码密码密码密码密码密码密码密码密")).find("34 bytes"),
            std::string::npos);
}

TEST(StationRequest, StaticBlockMatchesTheWindowExample) {
  StationFields f{.ssid = "ab", .password = ""};
  CommandRequest r = requestOf(buildWifiStation(f));
  EXPECT_EQ(r.code, 12);
  EXPECT_EQ(r.paraBuf, (Bytes{0x02, 0x61, 0x62, 0x00, 0xC0, 0xA8, 0x01, 0x57, 0xFF, 0xFF, 0xFF,
                              0x00, 0xC0, 0xA8, 0x01, 0x01, 0x8C, 0x23, 0x01}));
}

TEST(StationRequest, DynamicBlockHasZeroAddressesAndNoneEndsAfterThePassword) {
  StationFields f{
      .ssid = "shopwifi", .password = "0123456789", .addressing = StationAddressing::Dynamic};
  CommandRequest r = requestOf(buildWifiStation(f));
  ASSERT_EQ(r.paraBuf.size(), 35u);
  for (std::size_t i = 20; i < 32; ++i) EXPECT_EQ(r.paraBuf[i], 0) << i;
  EXPECT_EQ(r.paraBuf[32], 0x8C);
  EXPECT_EQ(r.paraBuf[33], 0x23);
  EXPECT_EQ(r.paraBuf[34], 0);

  f.addressing = StationAddressing::Static;
  r = requestOf(buildWifiStation(f));
  ASSERT_EQ(r.paraBuf.size(), 35u);
  EXPECT_EQ(r.paraBuf[34], 1);

  // Neither radio button: the block ends after the password; the port is not read.
  f.addressing = StationAddressing::None;
  f.port = "x";
  EXPECT_EQ(requestOf(buildWifiStation(f)).paraBuf.size(), 20u);
}

TEST(StationRequest, AddressPartsKeepLowBitsShortAddressesAreZeroAndNonNumbersRefuse) {
  StationFields f{.ssid = "s", .ip = "300.1.2.3", .mask = "255.255", .gateway = "1.2.3.4.5"};
  CommandRequest r = requestOf(buildWifiStation(f));
  ASSERT_EQ(r.paraBuf.size(), 3u + 15u);  // "s", empty password: k = 3
  EXPECT_EQ((Bytes(r.paraBuf.begin() + 3, r.paraBuf.begin() + 15)),
            (Bytes{44, 1, 2, 3, 0, 0, 0, 0, 1, 2, 3, 4}));

  f.ip = "192.168..1";
  EXPECT_EQ(refusalOf(buildWifiStation(f)), "'' is not a valid integer value");
  f.ip = "192.168.1.1";
  f.port = "";
  EXPECT_EQ(refusalOf(buildWifiStation(f)), "'' is not a valid integer value");
}

}  // namespace
}  // namespace plenar

namespace plenar {
namespace {

// What GBK cannot hold would reach the printer as '?': every text field of the window refuses
// it, naming its control (the window focuses it), without repeating the text.
TEST(PrinterText, TextsOutsideGbkAreRefusedNamingTheirField) {
  const std::string emoji = "shop\xF0\x9F\x98\x80", umlaut = "p\xC3\xA4ssw\xC3\xB6rd";
  const std::string broken = "ab\xFF", cut = "pw\xC3";
  struct Case {
    BuildResult result;
    const char* field;
  } cases[] = {
      {buildSetBluetooth({.name = emoji, .model = "1"}), "edt_lyName"},
      {buildSetBluetooth({.name = "n", .dualName = broken, .model = "1"}), "edt_smlyName"},
      {buildSetBluetooth({.name = "n", .password = umlaut, .model = "1"}), "edt_lyPsw"},
      {buildWifiAccessPoint(emoji, "pw"), "edt_GuangboName"},
      {buildWifiAccessPoint("ap", cut), "edt_APPsw"},
      {buildWifiStation({.ssid = umlaut}), "edt_SSID"},
      {buildWifiStation({.ssid = "s", .password = umlaut}), "edt_StaModePsw"},
      {buildSetDevice(emoji, "1"), "edt_DeviceName"},
      {buildSendCustomData({"ok", umlaut}, false), "mmo_SendData"},
      {buildBluetoothCommands({"AT", emoji}), "mmo_1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    const Refusal* refusal = std::get_if<Refusal>(&c.result);
    ASSERT_NE(refusal, nullptr);
    EXPECT_EQ(refusal->field, c.field);
    EXPECT_EQ(refusal->message.find("ssw"), std::string::npos) << refusal->message;
  }
  // GBK has é and Chinese: those go out as its bytes.
  CommandRequest r = requestOf(buildWifiAccessPoint("caf\xC3\xA9", "蓝牙"));
  EXPECT_EQ(r.paraBuf, (Bytes{5, 'c', 'a', 'f', 0xA8, 0xA6, 4, 0xC0, 0xB6, 0xD1, 0xC0}));
}

}  // namespace
}  // namespace plenar
