// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/FileActions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "shared/SharedTexts.h"

namespace plenar {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string templ = (fs::temp_directory_path() / "plenar-fa-XXXXXX").string();
    path_ = ::mkdtemp(templ.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string file(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::string p = (fs::path(path_) / name).string();
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p;
  }
  std::string path(const std::string& name) const { return (fs::path(path_) / name).string(); }

 private:
  std::string path_;
};

std::vector<std::uint8_t> programWithTag(std::size_t size, const std::string& tag) {
  std::vector<std::uint8_t> bytes(size, 0x5A);
  for (std::size_t i = 0; i < 8 && 0x3000 + i < size; ++i) {
    bytes[0x3000 + i] = i < tag.size() ? static_cast<std::uint8_t>(tag[i]) : 0;
  }
  return bytes;
}

TEST(ParseIntText, DecimalHexAndRefusals) {
  EXPECT_EQ(parseIntText("12"), 12);
  EXPECT_EQ(parseIntText("  -12"), -12);
  EXPECT_EQ(parseIntText("$35"), 0x35);
  EXPECT_EQ(parseIntText("$1cf000"), 0x1CF000);
  EXPECT_EQ(parseIntText("$FFFFFFFF"), 0xFFFFFFFFLL);
  EXPECT_EQ(parseIntText("-$10"), -16);
  EXPECT_EQ(parseIntText("2147483647"), 2147483647);
  EXPECT_FALSE(parseIntText("2147483648"));
  EXPECT_EQ(parseIntText("-2147483648"), -2147483648LL);
  EXPECT_FALSE(parseIntText("$123456789"));  // more than 32 bits
  EXPECT_FALSE(parseIntText("12 "));
  EXPECT_FALSE(parseIntText(""));
  EXPECT_FALSE(parseIntText("$"));
  EXPECT_FALSE(parseIntText("$1g"));
  EXPECT_FALSE(parseIntText("0x10"));
  EXPECT_EQ(notAnIntegerText("$xyz"), "'$xyz' is not a valid integer value");
}

TEST(PrgModelTag, TakenAtOffset0x3000) {
  EXPECT_EQ(prgModelTag(programWithTag(0x3000, "ab12")), "");  // exactly 12288 bytes: no tag
  EXPECT_EQ(prgModelTag(programWithTag(0x3000 + 8, "ab12")), "AB12");
  EXPECT_EQ(prgModelTag(programWithTag(0x4000, "pl80-xyzQ")), "PL80-XYZ");  // 8 bytes at most
  EXPECT_EQ(prgModelTag(programWithTag(0x4000, "")), "");
  // A file ending inside the tag cannot be checked.
  for (std::size_t size : {0x3001u, 0x3007u}) {
    EXPECT_THROW(prgModelTag(programWithTag(size, "ab12")), FileActionRefused) << size;
  }
}

TEST(BootWaitMs, SecondsFromTheWaitBox) {
  EXPECT_EQ(bootWaitMs("12"), 12000);
  EXPECT_EQ(bootWaitMs(""), 5000);
  EXPECT_EQ(bootWaitMs("five"), 5000);
  EXPECT_EQ(bootWaitMs("0"), 0);
  EXPECT_EQ(bootWaitMs("-3"), 0);
  EXPECT_EQ(bootWaitMs("2147483647"), std::numeric_limits<std::int32_t>::max());
}

TEST(FontStartAddress, HexadecimalOrZero) {
  EXPECT_EQ(fontStartAddress("10000"), 0x10000u);
  EXPECT_EQ(fontStartAddress("1CF000"), 0x1CF000u);
  EXPECT_EQ(fontStartAddress("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(fontStartAddress("xyz"), 0u);
  EXPECT_EQ(fontStartAddress(""), 0u);
  EXPECT_EQ(addressParam(0x10000), "$10000");
  EXPECT_EQ(addressParam(0), "$0");
  EXPECT_EQ(addressParam(0xABCDEF01), "$abcdef01");
}

TEST(FileRequests, FontDownloadRow) {
  TempDir dir;
  std::string font = dir.file("font.bin", std::vector<std::uint8_t>(600, 1));
  auto r = fontDownloadRequest(font, "10000");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->code, 3);
  EXPECT_EQ(r->fileList, std::vector<std::string>{font});
  EXPECT_EQ(r->nameList, std::vector<std::string>{"FONT"});
  EXPECT_EQ(r->cmdList, std::vector<std::string>{"$35"});
  EXPECT_EQ(r->paramList, std::vector<std::string>{"$10000"});
  EXPECT_EQ(fontDownloadRequest(font, "not hex")->paramList[0], "$0");
  EXPECT_FALSE(fontDownloadRequest(dir.path("missing.bin"), "10000"));
}

// Addresses are 32 bits: a file that would run past 4 GiB wraps to address 0 on the printer.
TEST(FileRequests, FontMustEndWithinTheAddressSpace) {
  struct Case {
    std::uint32_t start;
    std::uint64_t size;
    bool fits;
  } cases[] = {
      {0xFFFFFF00u, 256, true},           {0xFFFFFF00u, 257, false},
      {0xFFFFFF00u, 65536, false},        {0, std::uint64_t{1} << 32, true},
      {1, std::uint64_t{1} << 32, false}, {0xFFFFFFFFu, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.start) + " + " + std::to_string(c.size));
    EXPECT_EQ(addressRangeRefusal(c.start, c.size).empty(), c.fits);
  }
  TempDir dir;
  std::string font = dir.file("font.bin", std::vector<std::uint8_t>(65536, 1));
  EXPECT_THROW(fontDownloadRequest(font, "FFFFFF00"), FileActionRefused);
  EXPECT_TRUE(fontDownloadRequest(font, "FFFF0000"));
}

// Special files are refused by both file buttons before anything starts; a FIFO must not block.
TEST(FileRequests, SpecialFilesAreRefused) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.path("fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir.path("zero"));
  for (const char* name : {"fifo", "zero"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(fontDownloadRequest(dir.path(name), "0"), FileActionRefused);
    EXPECT_THROW(firmwareRequest(dir.path(name), "5"), FileActionRefused);
  }
}

TEST(FileRequests, FirmwareCarriesFileAndWait) {
  resetTexts();
  TempDir dir;
  auto bytes = programWithTag(0x3100, "ab12");
  std::string prg = dir.file("printer.hex", bytes);
  std::string panel;
  CommandRequest r = firmwareRequest(prg, "12", &panel);
  EXPECT_EQ(r.code, 4);
  EXPECT_EQ(r.dataStream, bytes);
  EXPECT_EQ(r.value2, 12000);
  EXPECT_EQ(panel, "更新程序:printer.hex Size:12544");

  try {
    firmwareRequest(dir.path("missing.bin"), "5");
    FAIL() << "a missing program file must be refused";
  } catch (const FileActionRefused& e) {
    EXPECT_EQ(std::string(e.what()), "文件不存在");
  }
  std::string cut = dir.file("cut.bin", programWithTag(0x3004, "ab12"));
  EXPECT_THROW(firmwareRequest(cut, "5"), FileActionRefused);
}

TEST(FileRequests, ReadBackFields) {
  resetTexts();
  std::string panel;
  CommandRequest r = readBackRequest("1CF000", "1000", "/tmp/out.hex", &panel);
  EXPECT_EQ(r.code, 16);
  EXPECT_EQ(r.value1, 0x1CF000);
  EXPECT_EQ(r.value2, 1000);
  EXPECT_EQ(r.saveFileName, "/tmp/out.hex");
  EXPECT_EQ(panel, "更新字库:/tmp/out.hex");
  // Addresses above 0x7FFFFFFF travel as their 32-bit pattern.
  EXPECT_EQ(static_cast<std::uint32_t>(readBackRequest("FFFFFF00", "1", "f").value1), 0xFFFFFF00u);

  try {
    readBackRequest("12G", "10", "f");
    FAIL();
  } catch (const FileActionRefused& e) {
    EXPECT_EQ(std::string(e.what()), "'$12G' is not a valid integer value");
  }
  try {
    readBackRequest("10", "ten", "f");
    FAIL();
  } catch (const FileActionRefused& e) {
    EXPECT_EQ(std::string(e.what()), "'ten' is not a valid integer value");
  }
}

TEST(FileRequests, LogoRequests) {
  CommandRequest framed = logoDownloadRequest("/p/1.bin");
  EXPECT_EQ(framed.code, 7);
  EXPECT_EQ(framed.fileList, std::vector<std::string>{"/p/1.bin"});
  EXPECT_EQ(framed.nameList, std::vector<std::string>{"LOGO"});
  EXPECT_EQ(framed.cmdList, std::vector<std::string>{"$35"});
  EXPECT_EQ(framed.paramList, std::vector<std::string>{"$1cf000"});

  CommandRequest raw = rawLogoRequest("/p/2.bin");
  EXPECT_EQ(raw.code, 46);
  EXPECT_EQ(raw.fileList, std::vector<std::string>{"/p/2.bin"});

  EXPECT_EQ(printLogosRequest({1, 4})->logoNumbers, "2,5");
  EXPECT_EQ(printLogosRequest({3, 0, 2})->logoNumbers, "1,3,4");  // list order
  EXPECT_EQ(printLogosRequest({1})->code, 17);
  EXPECT_FALSE(printLogosRequest({}));

  EXPECT_EQ(bootHandshakeRequest().value1, 0);
  EXPECT_EQ(bootHandshakeRequest(3).code, 28);
  EXPECT_EQ(bootHandshakeRequest(3).value1, 3);
}

}  // namespace
}  // namespace plenar
