// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "FileTestSupport.h"
#include "requests/FileActions.h"
#include "shared/SharedTexts.h"

using namespace plenar;
using namespace plenar::test;

namespace {

constexpr std::uint32_t kFontAddress = 0x10000;

CommandRequest fontRequest(const std::vector<std::string>& files, std::uint32_t address) {
  CommandRequest r;
  r.code = 3;
  for (const auto& f : files) {
    r.fileList.push_back(f);
    r.nameList.push_back("FONT");
    r.cmdList.push_back("$35");
    r.paramList.push_back(addressParam(address));
  }
  return r;
}

class FileTransfer : public ::testing::Test {
 protected:
  void SetUp() override { resetTexts(); }
  std::string file(const std::string& name) const { return h.dir().file(name); }
  LinkSnapshot link() const { return serialLink(sim.serialPath(), "9600", "115200"); }

  SimProcess sim;
  EngineHarness h;
};

TEST_F(FileTransfer, FontGoesOutInAcknowledgedBlocksOf256) {
  PanelTexts panel(h.worker());
  Bytes font = patternBytes(600);
  writeFile(file("font.bin"), font);
  auto request = fontDownloadRequest(file("font.bin"), "10000");
  ASSERT_TRUE(request);
  h.run(*request, link());

  EXPECT_EQ(lastMessage(h.messages()).msg, 1026);
  auto frames = framesSeen(sim, 0x35);
  ASSERT_EQ(frames.size(), 3u);
  const std::size_t lengths[3] = {256, 256, 88};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(frames[i].value1, kFontAddress + 256 * i);
    EXPECT_EQ(frames[i].value2, 0u);
    EXPECT_EQ(frames[i].data.size(), lengths[i]);
    EXPECT_TRUE(frames[i].answered);
  }
  EXPECT_EQ(h.progressTexts().back(), "Finish 100.0%(2/2)");
  EXPECT_EQ(panel.texts(), std::vector<std::string>{"Downloading FONT" + file("font.bin")});
  EXPECT_EQ(simMemory(sim, kFontAddress, 600, 600), font);
}

TEST_F(FileTransfer, MissingSecondFileFailsAfterTheFirstIsWhole) {
  Bytes font = patternBytes(300, 7);
  writeFile(file("first.bin"), font);
  const std::string missing = file("second.bin");
  h.run(fontRequest({file("first.bin"), missing}, kFontAddress), link());

  auto last = lastMessage(h.messages());
  EXPECT_EQ(last.msg, 1027);
  EXPECT_EQ(last.wParam, 1);
  EXPECT_EQ(last.error, "File " + missing + " not Exist");
  EXPECT_EQ(framesSeen(sim, 0x35).size(), 2u);
  EXPECT_EQ(simMemory(sim, kFontAddress, 300, 300), font);
}

TEST_F(FileTransfer, EmptyListSendsNothingAndIsDone) {
  h.run(fontRequest({}, kFontAddress), link());
  EXPECT_EQ(lastMessage(h.messages()).msg, 1026);
  EXPECT_TRUE(framesSeen(sim, 0x35).empty());
}

TEST_F(FileTransfer, ListEntryThatIsNotANumberFails) {
  writeFile(file("font.bin"), patternBytes(10));
  CommandRequest r = fontRequest({file("font.bin")}, kFontAddress);
  r.paramList[0] = "$12G4";
  h.run(r, link());
  auto last = lastMessage(h.messages());
  EXPECT_EQ(last.msg, 1027);
  EXPECT_EQ(last.error, "'$12G4' is not a valid integer value");
  EXPECT_TRUE(framesSeen(sim, 0x35).empty());
}

TEST_F(FileTransfer, ReadBackCollectsWholeRepliesIntoTheFile) {
  Bytes font = patternBytes(1000, 3);
  writeFile(file("font.bin"), font);
  h.run(*fontDownloadRequest(file("font.bin"), "10000"), link());
  ASSERT_EQ(lastMessage(h.messages()).msg, 1026);

  const std::string out = file("back.hex");
  h.run(readBackRequest("10000", "1000", out), link());
  auto last = lastMessage(h.messages());
  ASSERT_EQ(last.msg, 1026) << last.error;
  EXPECT_EQ(last.status, "上传完成");

  auto reads = framesSeen(sim, 0x34);
  ASSERT_EQ(reads.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(reads[i].value1, kFontAddress + 256 * i);
    EXPECT_TRUE(reads[i].data.empty());
  }
  // The last reply overshoots: 1024 bytes, the printer's memory from the start address.
  Bytes back = readFile(out);
  ASSERT_EQ(back.size(), 1024u);
  EXPECT_EQ(back, simMemory(sim, kFontAddress, 1024, 1000));
  EXPECT_TRUE(std::equal(font.begin(), font.end(), back.begin()));
}

TEST_F(FileTransfer, ReadBackOfZeroBytesWritesAnEmptyFile) {
  const std::string out = file("empty.hex");
  h.run(readBackRequest("10000", "0", out), link());
  EXPECT_EQ(lastMessage(h.messages()).msg, 1026);
  EXPECT_TRUE(framesSeen(sim, 0x34).empty());
  ASSERT_TRUE(std::filesystem::exists(out));
  EXPECT_EQ(std::filesystem::file_size(out), 0u);
}

TEST_F(FileTransfer, ReadBackToAFolderThatCannotTakeTheFileFails) {
  const std::string out = file("no-such-folder/back.hex");
  h.run(readBackRequest("10000", "16", out), link());
  auto last = lastMessage(h.messages());
  EXPECT_EQ(last.msg, 1027);
  EXPECT_EQ(last.wParam, 1);
  EXPECT_NE(last.error.find("Cannot create file"), std::string::npos) << last.error;
}

TEST(FileTransferFaults, ReplyWithoutDataEndsTheReadBackAndKeepsTheOldFile) {
  // A printer that answers reads with no data would otherwise be asked the same read forever.
  SimProcess sim(simOptions({"--read-chunk", "0"}));
  EngineHarness h;
  const std::string out = h.dir().file("back.hex");
  writeFile(out, Bytes{1, 2, 3});
  h.run(readBackRequest("10000", "1000", out), serialLink(sim.serialPath()));

  auto last = lastMessage(h.messages());
  EXPECT_EQ(last.msg, 1027);
  EXPECT_EQ(last.error, "Received Failed");
  EXPECT_EQ(framesSeen(sim, 0x34).size(), 1u);
  EXPECT_EQ(readFile(out), (Bytes{1, 2, 3}));
}

TEST(FileTransferFaults, QuietBootModeStillEndsAReadBackWithoutReplies) {
  // With BootQuiet set an unanswered read returns no data instead of failing.
  SimProcess sim(simOptions({"--fault", "silent"}));
  EngineHarness h;
  h.link().state().setBootQuiet(true);
  const std::string out = h.dir().file("back.hex");
  h.run(readBackRequest("0", "512", out), serialLink(sim.serialPath(), "9600", "9600"));
  EXPECT_EQ(lastMessage(h.messages()).error, "Received Failed");
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(FileTransferUdp, FontAndReadBackOverTheNetwork) {
  SimProcess sim(simOptions({}, Over::Udp));
  EngineHarness h;
  Bytes font = patternBytes(700, 9);
  writeFile(h.dir().file("font.bin"), font);
  h.run(*fontDownloadRequest(h.dir().file("font.bin"), "2000"), networkLink(sim.udpPort()));
  ASSERT_EQ(lastMessage(h.messages()).msg, 1026) << lastMessage(h.messages()).error;
  EXPECT_EQ(framesSeen(sim, 0x35).size(), 3u);

  h.run(readBackRequest("2000", "700", h.dir().file("back.hex")), networkLink(sim.udpPort()));
  ASSERT_EQ(lastMessage(h.messages()).msg, 1026) << lastMessage(h.messages()).error;
  Bytes back = readFile(h.dir().file("back.hex"));
  ASSERT_EQ(back.size(), 768u);
  EXPECT_TRUE(std::equal(font.begin(), font.end(), back.begin()));
}

}  // namespace
