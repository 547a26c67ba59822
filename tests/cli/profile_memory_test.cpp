// SPDX-License-Identifier: GPL-3.0-or-later
// A profile's cost is bounded by what it asks of the printer, not by how often it names a file:
// memory and time of `apply --plan` measured with /usr/bin/time.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>

#include "RunProgram.h"
#include "TempDir.h"

using namespace plenar::test;

namespace {

// A sanitizer's runtime keeps shadow memory and freed blocks of its own: the bounds hold for the
// program, not for that.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A BMP of width x height at 1 or 24 bits per pixel, every dot black.
void writeBlackBmp(const std::string& path, std::uint32_t width, std::uint32_t height,
                   std::uint16_t bits = 1) {
  const std::uint32_t stride = (width * bits + 31) / 32 * 4;
  const std::uint32_t palette = bits == 1 ? 8 : 0;
  const std::uint32_t data = 14 + 40 + palette;
  auto le32 = [](std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
  };
  std::string head = "BM";
  le32(head, data + stride * height);
  le32(head, 0);
  le32(head, data);
  le32(head, 40);
  le32(head, width);
  le32(head, height);
  le32(head, 1u | std::uint32_t{bits} << 16);  // one plane, `bits` per pixel
  for (int i = 0; i < 6; ++i) le32(head, 0);
  if (palette) head += std::string("\x00\x00\x00\x00\xFF\xFF\xFF\x00", 8);  // 0 black, 1 white
  std::ofstream out(path, std::ios::binary);
  out << head << std::string(static_cast<std::size_t>(stride) * height, '\0');
}

struct Measured {
  int exitCode;
  std::string out;
  long maxRssKb = -1;
  double seconds = 0;
};

Measured planUnderTime(const TempDir& dir, const std::string& profile) {
  std::ofstream(dir.path() + "/p.ini") << profile;
  const auto start = std::chrono::steady_clock::now();
  auto r =
      runShell("/usr/bin/time -v " +
               plenarCommandLine("--dir " + shellQuoted(dir.path()) + " --net 127.0.0.1:9 apply " +
                                 shellQuoted(dir.path() + "/p.ini") + " --plan") +
               " 2>&1");
  Measured m{r.exitCode, r.output};
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string label = "Maximum resident set size (kbytes): ";
  if (auto at = r.output.find(label); at != std::string::npos) {
    m.maxRssKb = std::stol(r.output.substr(at + label.size()));
  }
  return m;
}

std::string logos(int count, const std::string& file, const std::string& head = "[Files]\n") {
  std::string text = head;
  for (int i = 1; i <= count; ++i) text += "Logo" + std::to_string(i) + "=" + file + "\n";
  return text;
}

TEST(ProfileMemory, ManyLogoLinesStayWithinTheBudget) {
  TempDir dir;
  writeBlackBmp(dir.path() + "/big.bmp", 4000, 4000);
  writeBlackBmp(dir.path() + "/small.bmp", 64, 64);
  writeBlackBmp(dir.path() + "/big24.bmp", 2300, 2300, 24);
  for (const char* name : {"fw.bin", "font.bin"}) {
    std::ofstream(dir.path() + "/" + name, std::ios::binary) << std::string(16u << 20, '\x5A');
  }
  struct Case {
    std::string name;
    std::string profile;
    int exitCode;
    std::string says;
  } cases[] = {
      // 200 x a 2 MB raster: refused as too large for the printer, having decoded it once.
      {"one large image 200 times", logos(200, "big.bmp"), 65, "256"},
      {"one large image, 1C 71", logos(200, "big.bmp", "[Files]\nLogoRaw=1\n"), 65, "256"},
      // 200 x 512 bytes fit the 256 KiB of the logo file.
      {"one small image 200 times", logos(200, "small.bmp"), 0, ""},
      // The largest files a profile may name: a program and a font of 16 MiB each, and a BMP
      // just below the 16 MiB a BMP may have.
      {"the largest files",
       "[Files]\nFirmware=fw.bin\nFont=font.bin\nFontAddress=0\nLogo1=big24.bmp\n", 65, "256"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Measured m = planUnderTime(dir, c.profile);
    EXPECT_EQ(m.exitCode, c.exitCode) << m.out;
    EXPECT_NE(m.out.find(c.says), std::string::npos) << m.out;
    ASSERT_GT(m.maxRssKb, 0) << m.out;
    if (!kSanitized) {
      EXPECT_LT(m.maxRssKb, 64 * 1024) << m.out;
      EXPECT_LT(m.seconds, 5.0) << m.out;
    }
  }
}

TEST(ProfileMemory, LogoNumbersAreThoseThePrinterStores) {
  TempDir dir;
  writeBlackBmp(dir.path() + "/small.bmp", 8, 8);
  struct Case {
    std::string profile;
    int exitCode;
  } cases[] = {
      {"[Files]\nLogo9999=small.bmp\n", 65},
      {"[Files]\nLogo0=small.bmp\n", 65},
      {"[Files]\nLogo513=small.bmp\n", 65},
      {"[Files]\nLogo512=small.bmp\n", 0},
      {"[Files]\nLogoRaw=1\nLogo256=small.bmp\n", 65},
      {"[Files]\nLogoRaw=1\nLogo255=small.bmp\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    Measured m = planUnderTime(dir, c.profile);
    EXPECT_EQ(m.exitCode, c.exitCode) << m.out;
  }
}

}  // namespace
