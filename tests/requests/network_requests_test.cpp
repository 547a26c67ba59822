// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "RequestMatchers.h"
#include "requests/NetworkRequests.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

using testing::Bytes;
using testing::isNoAction;
using testing::refusalOf;
using testing::requestOf;

TEST(NetworkAddressRequests, FourCheckedPartsWithAZeroFifthByteForAddressAndMask) {
  CommandRequest r = requestOf(buildNetworkAddress("192.168.1.87"));
  EXPECT_EQ(r.code, 41);
  EXPECT_EQ(r.paraBuf, (Bytes{192, 168, 1, 87, 0}));
  r = requestOf(buildNetworkMask("255.255.255.0"));
  EXPECT_EQ(r.code, 37);
  EXPECT_EQ(r.paraBuf, (Bytes{255, 255, 255, 0, 0}));
  r = requestOf(buildNetworkGateway("192.168.1.1"));
  EXPECT_EQ(r.code, 38);
  EXPECT_EQ(r.paraBuf, (Bytes{192, 168, 1, 1}));
}

TEST(NetworkAddressRequests, RangeAndConversionErrors) {
  EXPECT_EQ(refusalOf(buildNetworkAddress("192.168.1.300")), "输入的IP有错!");
  EXPECT_EQ(refusalOf(buildNetworkMask("256.0.0.0")), "输入的IP有错!");
  EXPECT_EQ(refusalOf(buildNetworkGateway("1.-1.0.0")), "输入的IP有错!");
  // No third dot: the third part is empty.
  EXPECT_EQ(refusalOf(buildNetworkAddress("192.168.1")), "'' is not a valid integer value");
  EXPECT_EQ(refusalOf(buildNetworkAddress("192.168.x.1")), "'x' is not a valid integer value");
  // The fourth part is everything after the third dot.
  EXPECT_EQ(refusalOf(buildNetworkGateway("1.2.3.4.5")), "'4.5' is not a valid integer value");
  // Parts are checked in order: the range error of the first part comes before the bad fourth.
  EXPECT_EQ(refusalOf(buildNetworkAddress("300.1.1.x")), "输入的IP有错!");
  EXPECT_EQ(refusalOf(buildNetworkAddress("")), "'' is not a valid integer value");
}

TEST(NetworkMacRequest, FourHexBoxesAndAZeroFifthByte) {
  CommandRequest r = requestOf(buildNetworkMac({"65", "66", "67", "68"}));
  EXPECT_EQ(r.code, 40);
  EXPECT_EQ(r.paraBuf, (Bytes{0x65, 0x66, 0x67, 0x68, 0x00}));
  EXPECT_EQ(requestOf(buildNetworkMac({"ab", "Cd", "0", "f"})).paraBuf,
            (Bytes{0xAB, 0xCD, 0x00, 0x0F, 0x00}));
  EXPECT_EQ(refusalOf(buildNetworkMac({"65", "zz", "67", "68"})),
            "'zz' is not a valid integer value");
  EXPECT_EQ(refusalOf(buildNetworkMac({"65", "66", "", "68"})), "'' is not a valid integer value");
}

TEST(NetworkPortRequest, BigEndianWithinTwoTo65535) {
  CommandRequest r = requestOf(buildNetworkPort("9100"));
  EXPECT_EQ(r.code, 39);
  EXPECT_EQ(r.paraBuf, (Bytes{0x23, 0x8C}));
  EXPECT_EQ(requestOf(buildNetworkPort("65535")).paraBuf, (Bytes{0xFF, 0xFF}));
  EXPECT_EQ(requestOf(buildNetworkPort("2")).paraBuf, (Bytes{0x00, 0x02}));
  EXPECT_TRUE(isNoAction(buildNetworkPort("1")));
  EXPECT_TRUE(isNoAction(buildNetworkPort("0")));
  EXPECT_TRUE(isNoAction(buildNetworkPort("65536")));
  EXPECT_TRUE(isNoAction(buildNetworkPort("70000")));
  EXPECT_EQ(refusalOf(buildNetworkPort("")), "'' is not a valid integer value");
  EXPECT_EQ(refusalOf(buildNetworkPort("99999999999")),
            "'99999999999' is not a valid integer value");
}

TEST(EthernetSwitchRequest, OneByteOnOrOff) {
  EXPECT_EQ(requestOf(buildEthernetSwitch(true)).paraBuf, (Bytes{1}));
  EXPECT_EQ(requestOf(buildEthernetSwitch(false)).paraBuf, (Bytes{0}));
  EXPECT_EQ(requestOf(buildEthernetSwitch(false)).code, 48);
}

TEST(AddressFieldCheck, FollowsTheDottedAddressParser) {
  resetTexts();
  EXPECT_FALSE(checkAddressField(AddressField::StationIp, "192.168.1.87"));
  // Forms the parser accepts pass: short, hexadecimal, octal.
  EXPECT_FALSE(checkAddressField(AddressField::NetworkIp, "10.1"));
  EXPECT_FALSE(checkAddressField(AddressField::NetworkIp, "0xC0.0250.1.1"));
  // The all-ones address is the parser's failure value.
  auto refusal = checkAddressField(AddressField::NetworkMask, "255.255.255.255");
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->message, "子网掩码不正确");
  EXPECT_EQ(checkAddressField(AddressField::StationIp, "192.168.1.256")->message, "IP 地址不正确");
  EXPECT_EQ(checkAddressField(AddressField::StationGateway, "")->message, "网关不正确");
  EXPECT_EQ(checkAddressField(AddressField::StationMask, "a.b.c.d")->message, "子网掩码不正确");
  // The message follows the language in force.
  setText(TextId::IpInvalid, "IP address is not correct");
  EXPECT_EQ(checkAddressField(AddressField::NetworkIp, "x")->message, "IP address is not correct");
  resetTexts();
}

}  // namespace
}  // namespace plenar
