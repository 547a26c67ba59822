// SPDX-License-Identifier: GPL-3.0-or-later
// The printer model behind the links: frame validity, answers, rate switching, memory, the boot
// loader and the stored-settings frames.
#include <gtest/gtest.h>

#include "Noise.h"
#include "SimTestUtil.h"
#include "shared/RateCodes.h"

namespace plenar::sim::test {
namespace {

TEST(PrinterFrames, IdentifyAnswersTheModelTagZeroPadded) {
  Bench b;
  b.state.modelTag = "PL58";
  auto out = b.serial(kIdentify);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes, hexBytes("02 00 30 00 00 00 00 00 00 00 00 00 08 00 3A 00"
                                   "50 4C 35 38 00 00 00 00 11"));
  EXPECT_EQ(out[0].rate, 9600);
}

TEST(PrinterFrames, InvalidFramesGetNoAnswerAndLaterFramesStillDo) {
  Bench b;
  auto badHeader = kIdentify;
  badHeader[14] ^= 0x01;
  auto badData = kIdentify;
  badData.back() ^= 0x01;
  auto badReserved = frame(0x31, 4);
  badReserved[15] = 0x01;  // XOR of 0..15 no longer 0

  EXPECT_TRUE(b.serial(badHeader).empty());
  EXPECT_TRUE(b.serial(badData).empty());
  EXPECT_TRUE(b.serial(badReserved).empty());
  EXPECT_EQ(b.printer.rate(), 9600);
  EXPECT_EQ(b.meanings("bad-frame").size(), 1u);  // the data-check failure, consumed whole

  auto out = b.serial(kIdentify);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes.size(), 25u);
}

TEST(PrinterFrames, FrameAfterLeadingBytesAndAcrossChunks) {
  Bench b;
  std::vector<std::uint8_t> in = bytesOf({0x55, 0x02, 0x01});
  in.insert(in.end(), kIdentify.begin(), kIdentify.begin() + 10);
  EXPECT_TRUE(b.serial(in).empty());
  auto out = b.serial(std::vector<std::uint8_t>(kIdentify.begin() + 10, kIdentify.end()));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes[2], 0x30);
}

TEST(PrinterFrames, IdentifyWithOtherRequestDataIsRefused) {
  Bench b;
  EXPECT_TRUE(b.serial(frame(0x30, 0, 0, bytesOf({1, 2, 3, 4, 5, 6, 7, 8}))).empty());
  EXPECT_TRUE(b.serial(frame(0x30)).empty());
}

TEST(PrinterFrames, UnknownCommandIsAcknowledgedWithItsCommandWord) {
  Bench b;
  auto out = b.serial(frame(0x7A, 5, 6));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(parseHeader(out[0].bytes).command, 0x7A);
  EXPECT_TRUE(headerValid(out[0].bytes));
}

TEST(PrinterRate, SwitchIsAcknowledgedAtTheOldRateThenTakesEffect) {
  Bench b;
  auto out = b.serial(frame(0x31, 4));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes, hexBytes("02 00 31 00 04 00 00 00 00 00 00 00 00 00 37 00"));
  EXPECT_EQ(out[0].rate, 9600);
  EXPECT_EQ(b.printer.rate(), 115200);
  // The stored rate is not changed by a switch.
  EXPECT_EQ(b.state.settings.baudCode, 0);
}

TEST(PrinterRate, UndefinedCodeIsRefused) {
  Bench b;
  EXPECT_TRUE(b.serial(frame(0x31, 9)).empty());
  EXPECT_TRUE(b.serial(frame(0x31, 0x104)).empty());
  EXPECT_EQ(b.printer.rate(), 9600);
}

TEST(PrinterRate, BytesSentBehindASwitchRequestAreNoise) {
  Bench b;
  auto in = frame(0x31, 4);
  in.insert(in.end(), kIdentify.begin(), kIdentify.end());
  auto out = b.serial(in);
  ASSERT_EQ(out.size(), 1u);  // only the switch is answered
  EXPECT_EQ(b.meanings("noise").size(), 1u);
}

TEST(PrinterRate, StoredBaudRateBecomesCurrentAfterItsAcknowledgement) {
  Bench b;
  auto out = b.serial(frame(0x81, 0, 0, {3}));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].rate, 9600);
  EXPECT_EQ(b.printer.rate(), 57600);
  EXPECT_EQ(b.state.settings.baudCode, 3);
  EXPECT_TRUE(b.serial(frame(0x81, 0, 0, {9})).empty());
  EXPECT_EQ(b.printer.rate(), 57600);
}

TEST(PrinterMemory, WriteThenReadBackAndErasedBytes) {
  PrinterConfig config;
  config.readChunk = 300;
  Bench b(config);
  std::vector<std::uint8_t> block(256);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
  auto ack = b.serial(frame(0x35, 0x1CFF80, 0, block));  // crosses a 4 KiB page boundary
  ASSERT_EQ(ack.size(), 1u);
  EXPECT_EQ(parseHeader(ack[0].bytes).dataLength, 0);

  auto out = b.serial(frame(0x34, 0x1CFF80));
  ASSERT_EQ(out.size(), 1u);
  FrameHeader h = parseHeader(out[0].bytes);
  ASSERT_EQ(h.dataLength, 300);
  EXPECT_TRUE(dataValid(std::span(out[0].bytes).subspan(16)));
  std::vector<std::uint8_t> data(out[0].bytes.begin() + 16, out[0].bytes.begin() + 316);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), data.begin()));
  for (std::size_t i = 256; i < 300; ++i) EXPECT_EQ(data[i], 0xFF) << i;

  auto ranges = b.state.memory.writtenRanges();
  ASSERT_EQ(ranges.size(), 1u);
  EXPECT_EQ(ranges[0].address, 0x1CFF80u);
}

TEST(PrinterMemory, TopOfTheAddressSpaceAndEmptyReadReplies) {
  PrinterConfig config;
  config.readChunk = 0;
  Bench b(config);
  b.serial(frame(0x35, 0xFFFFFFFE, 0, {1, 2, 3, 4}));
  EXPECT_EQ(b.state.memory.read(0xFFFFFFFE, 4), bytesOf({1, 2, 0xFF, 0xFF}));
  auto out = b.serial(frame(0x34, 0));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes.size(), 16u);  // a reply without data, for the tool's read-back guard
}

TEST(SparseMemory, RangesMergeWhereTheyTouchOrOverlap) {
  SparseMemory m;
  m.write(100, std::vector<std::uint8_t>(10, 1));
  m.write(200, std::vector<std::uint8_t>(10, 2));
  m.write(110, std::vector<std::uint8_t>(5, 3));   // touches the first
  m.write(195, std::vector<std::uint8_t>(20, 4));  // covers the second
  auto r = m.writtenRanges();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].address, 100u);
  EXPECT_EQ(r[0].bytes.size(), 15u);
  EXPECT_EQ(r[1].address, 195u);
  EXPECT_EQ(r[1].bytes.size(), 20u);
  EXPECT_EQ(m.writtenBytes(), 35u);
}

TEST(PrinterUserData, NoAnswerOnSerialAcknowledgedOnTheNetworkAndDecoded) {
  Bench b;
  EXPECT_TRUE(b.serial(frame(0x92, 0, 0, bytesOf({0x1F, 0x41, 0x01}))).empty());
  EXPECT_EQ(b.state.settings.paperType, 1);
  auto out = b.udp(frame(0x92, 0, 0, bytesOf({0x1F, 0x41, 0x00})));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(parseHeader(out[0].bytes).command, 0x92);
  EXPECT_EQ(b.state.settings.paperType, 0);
}

TEST(PrinterNetwork, AFrameCutShortByItsDatagramIsNotCompletedByTheNext) {
  Bench b;
  EXPECT_TRUE(b.udp(std::vector<std::uint8_t>(kIdentify.begin(), kIdentify.begin() + 20)).empty());
  EXPECT_TRUE(b.udp(std::vector<std::uint8_t>(kIdentify.begin() + 20, kIdentify.end())).empty());
  EXPECT_EQ(b.udp(kIdentify).size(), 1u);
}

// A program image with the tag text at 0x3000.
std::vector<std::uint8_t> programImage(std::size_t size, const std::string& tag) {
  std::vector<std::uint8_t> img(size);
  for (std::size_t i = 0; i < size; ++i) img[i] = static_cast<std::uint8_t>(i * 7);
  for (std::size_t i = 0; i < 8; ++i) img[0x3000 + i] = i < tag.size() ? tag[i] : 0;
  return img;
}

void sendProgram(Bench& b, const std::vector<std::uint8_t>& img) {
  ASSERT_EQ(b.serial(frame(0x32)).size(), 1u);
  for (std::size_t p = 0; p < img.size(); p += 256) {
    std::vector<std::uint8_t> block(256, 0xFF);
    std::copy(img.begin() + p, img.begin() + std::min(img.size(), p + 256), block.begin());
    ASSERT_EQ(b.serial(frame(0x33, static_cast<std::uint32_t>(p), 0, block)).size(), 1u) << p;
  }
  ASSERT_EQ(b.serial(frame(0x2E)).size(), 1u);
}

TEST(PrinterBoot, HandshakeLoaderBlocksAndEnd) {
  Bench b;
  b.serial(frame(0x31, 4));  // the loader keeps the rate it was entered at
  auto answer = b.serial({0x61});
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_EQ(answer[0].bytes, bytesOf({0x61}));
  EXPECT_FALSE(answer[0].frame);
  EXPECT_TRUE(b.printer.inLoader());
  // The loader does not take settings or raw input.
  EXPECT_TRUE(b.serial(frame(0x80, 0, 0, {7})).empty());

  auto img = programImage(0x3000 + 600, "ab12");
  sendProgram(b, img);
  EXPECT_FALSE(b.printer.inLoader());
  EXPECT_EQ(b.printer.rate(), 9600);  // restarted at the stored rate
  EXPECT_EQ(b.state.modelTag, "AB12");
  ASSERT_EQ(b.state.firmware.size, 0x3000u + 768);  // whole blocks, padded with 0xFF
  EXPECT_TRUE(std::equal(img.begin(), img.end(), b.state.firmware.image.begin()));
  EXPECT_EQ(b.state.firmware.image.back(), 0xFF);
  EXPECT_EQ(b.state.firmware.sha256.size(), 64u);
}

TEST(PrinterBoot, ConnectFromTheProgramEntersTheLoaderAndShortImagesKeepTheTag) {
  Bench b;
  sendProgram(b, programImage(0x3008, ""));
  EXPECT_EQ(b.state.modelTag, "PLENAR80");
  EXPECT_EQ(b.state.firmware.updates, 1);
}

TEST(PrinterBoot, LoaderRefusesBlocksOfTheWrongSize) {
  Bench b;
  b.serial(frame(0x32));
  EXPECT_TRUE(b.serial(frame(0x33, 0, 0, std::vector<std::uint8_t>(100, 1))).empty());
}

TEST(PrinterBoot, ByteInsideOtherInputOrWithBootOffIsOrdinaryInput) {
  PrinterConfig noBoot;
  noBoot.bootEnabled = false;
  Bench off(noBoot);
  EXPECT_TRUE(off.serial({0x61}).empty());
  EXPECT_FALSE(off.printer.inLoader());

  Bench b;
  EXPECT_TRUE(b.serial(bytesOf({0x1B, 0x61})).empty());  // ESC a waits for its parameter
  EXPECT_TRUE(b.serial({0x61}).empty());                 // ... which is this byte
  EXPECT_FALSE(b.printer.inLoader());
}

TEST(PrinterSettings, CodePageFrameFromTheToolIsStored) {
  Bench b;
  auto out = b.serial(hexBytes("02 00 80 00 00 00 00 00 00 00 00 00 01 00 83 00 00 00"));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(b.state.settings.codePage, 0);
  b.serial(frame(0x80, 0, 0, {255}));
  EXPECT_EQ(b.state.settings.codePage, 255);
}

TEST(PrinterSettings, BluetoothNameFillingItsAreaHasNoTerminator) {
  Bench b;
  std::vector<std::uint8_t> d(56, 0);
  d[0] = 3;
  std::string name = "ABCDEFGHIJKLMNOPQRST";
  std::copy(name.begin(), name.end(), d.begin() + 1);
  std::string pw = "1234";
  std::copy(pw.begin(), pw.end(), d.begin() + 21);
  std::copy(name.begin(), name.end(), d.begin() + 34);
  d[54] = 2;
  d[55] = 42;
  ASSERT_EQ(b.serial(frame(0x83, 0, 0, d)).size(), 1u);
  const auto& bt = b.state.settings.bluetooth;
  EXPECT_EQ(bt.mode, 3);
  EXPECT_EQ(bt.name, name);
  EXPECT_EQ(bt.password, "1234");
  EXPECT_EQ(bt.passwordCheck, 2);
  EXPECT_EQ(bt.model, 42);

  d.pop_back();
  EXPECT_TRUE(b.serial(frame(0x83, 0, 0, d)).empty()) << "55 bytes must be refused";
}

TEST(PrinterSettings, StationModeStaticAndWithoutAddressChoice) {
  Bench b;
  std::vector<std::uint8_t> d{8};
  for (char c : std::string("HomeWifi")) d.push_back(c);
  d.push_back(10);
  for (char c : std::string("secret1234")) d.push_back(c);
  const std::size_t withoutAddress = d.size();
  for (int v : {192, 168, 1, 50, 255, 255, 255, 0, 192, 168, 1, 1}) d.push_back(v);
  d.push_back(0x8C);
  d.push_back(0x23);  // 9100 little-endian
  d.push_back(1);
  ASSERT_EQ(d.size(), 35u);
  ASSERT_EQ(b.serial(frame(0x8A, 0, 0, d)).size(), 1u);
  const auto& w = b.state.settings.wifi;
  EXPECT_EQ(w.mode, "station");
  EXPECT_EQ(w.ssid, "HomeWifi");
  EXPECT_EQ(w.password, "secret1234");
  EXPECT_EQ(w.ip, (std::array<std::uint8_t, 4>{192, 168, 1, 50}));
  EXPECT_EQ(w.port, 9100);
  EXPECT_EQ(w.addressMode, 1);

  d.resize(withoutAddress);
  ASSERT_EQ(b.serial(frame(0x8A, 0, 0, d)).size(), 1u);
  EXPECT_EQ(b.state.settings.wifi.addressMode, -1);
  d.push_back(0);  // neither layout's length
  EXPECT_TRUE(b.serial(frame(0x8A, 0, 0, d)).empty());
}

TEST(PrinterSettings, ModuleCommandFrameFromTheTool) {
  Bench b;
  auto out = b.serial(
      hexBytes("02 00 87 00 00 00 00 00 00 00 00 00 08 00 8D 00 41 54 2B 48 53 4D 3D 32 67"));
  ASSERT_EQ(out.size(), 1u);
  ASSERT_EQ(b.state.settings.bluetooth.moduleCommands.size(), 1u);
  EXPECT_EQ(b.state.settings.bluetooth.moduleCommands[0], "AT+HSM=2");
}

TEST(PrinterSettings, LayoutsWithFixedLengthsAndCodes) {
  Bench b;
  std::vector<std::uint8_t> times(8);
  putLe32(&times[0], 1000);
  putLe32(&times[4], 123456789);
  EXPECT_EQ(b.serial(frame(0x86, 0, 0, times)).size(), 1u);
  EXPECT_EQ(b.state.settings.powerOffTime, 123456789u);

  std::vector<std::uint8_t> dev(40, 0xEE);  // bytes after a text's zero are left-overs
  std::string name = "Counter 1";
  std::copy(name.begin(), name.end(), dev.begin());
  dev[name.size()] = 0;
  std::copy_n("1704269998", 10, dev.begin() + 20);
  dev[30] = 0;
  EXPECT_EQ(b.serial(frame(0x85, 0, 0, dev)).size(), 1u);
  EXPECT_EQ(b.state.settings.deviceName, "Counter 1");
  EXPECT_EQ(b.state.settings.serialNumber, "1704269998");

  std::vector<std::uint8_t> all{252, 4, 0x81 | 0x40 | 0x20, 1};
  all.resize(12);
  putLe32(&all[4], 60);
  putLe32(&all[8], 600);
  EXPECT_EQ(b.serial(frame(0x88, 0, 0, all)).size(), 1u);
  EXPECT_EQ(b.state.settings.codePage, 252);
  EXPECT_EQ(b.state.settings.baudCode, 4);
  EXPECT_EQ(b.printer.rate(), 9600) << "all parameters change the rate at power-up only";

  EXPECT_EQ(b.serial(frame(0x8D, 0, 0, {1})).size(), 1u);
  EXPECT_EQ(b.state.settings.flowControl, 1);
  EXPECT_TRUE(b.serial(frame(0x8D, 0, 0, {2})).empty());
  EXPECT_TRUE(b.serial(frame(0x90, 0, 0, {3})).empty());
  EXPECT_EQ(b.serial(frame(0x91, 0, 0, {0})).size(), 1u);
  EXPECT_FALSE(b.state.settings.ethernet.enabled);
  EXPECT_TRUE(b.serial(frame(0x80)).empty()) << "code page without its byte";

  EXPECT_EQ(b.serial(frame(0x79)).size(), 1u);
  EXPECT_EQ(b.state.settings.codePage, 255);
  EXPECT_EQ(b.state.defaultsRestored, 1);
}

}  // namespace
}  // namespace plenar::sim::test

namespace plenar::sim::test {
namespace {

// Arbitrary input in arbitrary pieces: the printer must neither crash nor answer with anything
// but whole, valid frames (or the boot byte). Valid frames are mixed in so that the frame and
// sequence paths are both reached.
TEST(PrinterRobustness, ArbitraryInputOnlyEverGetsValidAnswers) {
  NoiseSource pick(2024);
  std::uint64_t lcg = 88172645463325252ULL;
  auto next = [&lcg](std::uint64_t mod) {
    lcg ^= lcg << 13;
    lcg ^= lcg >> 7;
    lcg ^= lcg << 17;
    return static_cast<std::size_t>(lcg % mod);
  };
  const std::vector<std::vector<std::uint8_t>> seeds{
      kIdentify,
      frame(0x35, 0x100, 0, {1, 2, 3}),
      frame(0x31, 8),
      frame(0x32),
      frame(0x33, 0, 0, std::vector<std::uint8_t>(256, 7)),
      frame(0x2E),
      hexBytes("1C 71 01 01 00 01 00"),
      hexBytes("1D 28 6B 03 00 31 51 30"),
      hexBytes("1F 1B 1F"),
      frame(0x92, 0, 0, hexBytes("1B 40 41 0A"))};
  for (int round = 0; round < 200; ++round) {
    Bench b;
    std::vector<std::uint8_t> input;
    for (int part = 0; part < 20; ++part) {
      if (next(3) == 0) {
        const auto& s = seeds[next(seeds.size())];
        input.insert(input.end(), s.begin(), s.end());
      } else {
        std::size_t n = next(40);
        for (std::size_t i = 0; i < n; ++i) {
          input.push_back(next(4) == 0 ? pick.next() : static_cast<std::uint8_t>(next(256)));
        }
      }
    }
    std::size_t pos = 0;
    while (pos < input.size()) {
      std::size_t n = std::min(input.size() - pos, 1 + next(64));
      std::vector<std::uint8_t> piece(input.begin() + pos, input.begin() + pos + n);
      auto out = next(2) ? b.serial(piece) : b.udp(piece);
      for (const auto& o : out) {
        if (!o.frame) {
          EXPECT_EQ(o.bytes, bytesOf({0x61}));
          continue;
        }
        ASSERT_GE(o.bytes.size(), kFrameHeaderSize);
        EXPECT_TRUE(headerValid(o.bytes));
        FrameHeader h = parseHeader(o.bytes);
        ASSERT_EQ(o.bytes.size(), frameSize(h.dataLength));
        if (h.dataLength > 0) {
          EXPECT_TRUE(dataValid(std::span(o.bytes).subspan(16)));
        }
      }
      pos += n;
    }
    b.printer.lineIdle(Link::Serial);
    b.printer.lineDropped(Link::Serial);
  }
}

}  // namespace
}  // namespace plenar::sim::test
