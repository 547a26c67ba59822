// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"

using namespace plenar;

TEST(IniFile, SectionsAndKeysMatchWithoutCaseAndKeysMayHoldSpaces) {
  TempDir dir;
  dir.write("a.ini", "[MainDefault]\r\n  PID COUNT = 2 \r\nip address=10.0.0.5\r\n");
  IniFile ini(dir.file("a.ini"));
  EXPECT_EQ(ini.readInt("maindefault", "PID COUNT", 0), 2);
  EXPECT_EQ(ini.readInt("MAINDEFAULT", "pid count", 0), 2);
  EXPECT_EQ(ini.readString("MainDefault", "IP Address", "x"), "10.0.0.5");
  EXPECT_EQ(ini.readString("MainDefault", "IP  Address", "x"), "x");
  EXPECT_EQ(ini.readString("Other", "IP Address", "def"), "def");
}

TEST(IniFile, MissingUnreadableOrDamagedFilesGiveDefaults) {
  TempDir dir;
  IniFile missing(dir.file("none.ini"));
  EXPECT_EQ(missing.readInt("S", "K", 7), 7);
  EXPECT_EQ(missing.readString("S", "K", "d"), "d");

  std::string binary("\x00\xff\xfe[S\x00]\n=\n\xff=\x01", 14);
  dir.write("bin.ini", binary);
  EXPECT_EQ(IniFile(dir.file("bin.ini")).readInt("S", "K", 3), 3);

  dir.write("half.ini", "[S]\nK=12\n[T");  // cut off while being written
  EXPECT_EQ(IniFile(dir.file("half.ini")).readInt("S", "K", 3), 12);
  EXPECT_EQ(IniFile(dir.file("half.ini")).readInt("T", "K", 3), 3);
}

TEST(IniFile, NonNumericValuesReadAsTheDefault) {
  TempDir dir;
  dir.write("n.ini", "[S]\nA=abc\nB=12x\nC=-4\nD=$1F\nE=\nF=99999999999\n");
  IniFile ini(dir.file("n.ini"));
  EXPECT_EQ(ini.readInt("S", "A", 5), 5);
  EXPECT_EQ(ini.readInt("S", "B", 5), 5);
  EXPECT_EQ(ini.readInt("S", "C", 5), -4);
  EXPECT_EQ(ini.readInt("S", "D", 5), 31);
  EXPECT_EQ(ini.readInt("S", "E", 5), 5);
  EXPECT_EQ(ini.readInt("S", "F", 5), 5);
}

TEST(IniFile, WriteKeepsEverythingElseInPlace) {
  TempDir dir;
  std::string before =
      "; kept comment\r\n[ParaDefault]\r\nedt_Name=abc\r\n\r\n[MainDefault]\r\nLanguage=0\r\n"
      "Other=1\r\n\r\n[Tail]\r\nX=y\r\n";
  dir.write("s.ini", before);
  IniFile ini(dir.file("s.ini"));
  ASSERT_TRUE(ini.writeString("maindefault", "LANGUAGE", "1"));
  ASSERT_TRUE(ini.writeString("MainDefault", "TranMode", "2"));
  ASSERT_TRUE(ini.writeString("New Section", "Key With Space", "v"));
  EXPECT_EQ(
      dir.read("s.ini"),
      "; kept comment\r\n[ParaDefault]\r\nedt_Name=abc\r\n\r\n[MainDefault]\r\nLANGUAGE=1\r\n"
      "Other=1\r\nTranMode=2\r\n\r\n[Tail]\r\nX=y\r\n\r\n[New Section]\r\nKey With Space=v\r\n");
}

TEST(IniFile, WriteCreatesAFileReadableByItsOwnerOnly) {
  TempDir dir;
  IniFile ini(dir.file("sysconfig.ini"));
  ASSERT_TRUE(ini.writeString("MainDefault", "IP Address", "1.2.3.4"));
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("sysconfig.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(dir.read("sysconfig.ini"), "[MainDefault]\nIP Address=1.2.3.4\n");
}

TEST(IniFile, ValuesAreGbkInTheFileAndUtf8InTheProgram) {
  TempDir dir;
  IniFile ini(dir.file("g.ini"));
  ASSERT_TRUE(ini.writeString("String", "sConnectOKstr", "连接成功"));
  EXPECT_EQ(dir.read("g.ini"), "[String]\nsConnectOKstr=\xC1\xAC\xBD\xD3\xB3\xC9\xB9\xA6\n");
  EXPECT_EQ(ini.readString("String", "sConnectOKstr", ""), "连接成功");
}

// What a reader of many keys of one section gets in one pass is what find() gives key by key.
TEST(IniFile, SectionValuesAreWhatFindSees) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  const IniDocument doc = IniDocument::parse(
      "[Flow control]\r\n0=XON/XOFF\r\n; 1=comment\r\n 1 = \"Hardware\" \r\n0=second\r\n"
      "junk line\r\n2=\xC1\xAC\xBD\xD3\r\n[flow CONTROL]\r\n3=later\r\n[Other]\r\n4=x\r\n");
  struct Case {
    const char* section;
    Pairs expected;
  };
  for (const Case& c :
       {Case{"FLOW control",
             {{"0", "XON/XOFF"}, {"1", "Hardware"}, {"0", "second"}, {"2", "连接"}}},
        Case{"Other", {{"4", "x"}}}, Case{"None", {}}}) {
    SCOPED_TRACE(c.section);
    const Pairs got = doc.sectionValues(c.section);
    EXPECT_EQ(got, c.expected);
    // find() takes the first of a key given twice.
    for (auto it = got.rbegin(); it != got.rend(); ++it) {
      const auto first =
          std::find_if(got.begin(), got.end(), [&](const auto& p) { return p.first == it->first; });
      EXPECT_EQ(doc.find(c.section, it->first), first->second) << it->first;
    }
  }
}

TEST(Gbk, RoundTripAndBrokenInput) {
  EXPECT_EQ(gbkToUtf8(utf8ToGbk("设置代码页成功 OK")), "设置代码页成功 OK");
  EXPECT_EQ(utf8ToGbk("\xC3\xA9"), "\xA8\xA6");  // é exists in GBK
  // A lone lead byte at the end and an invalid pair never throw.
  EXPECT_EQ(gbkToUtf8("A\xC1"), "A\xEF\xBF\xBD");
  EXPECT_NO_THROW(gbkToUtf8("\x80\xFF\xFF"));
  EXPECT_EQ(utf8ToGbk("a\xFF"
                      "b"),
            "a?b");
}

TEST(Gbk, FirstNonGbkFindsWhatWouldBecomeAQuestionMark) {
  struct Case {
    std::string text;
    std::size_t at;
  };
  const std::size_t none = std::string::npos;
  for (const Case& c :
       {Case{"", none}, Case{"plain ASCII ?", none}, Case{"caf\xC3\xA9", none},
        Case{"蓝牙名称", none}, Case{"p\xC3\xA4ssw\xC3\xB6rd", 1}, Case{"shop\xF0\x9F\x98\x80", 4},
        Case{"ab\xFF", 2}, Case{"pw\xC3", 2},  // cut short at the end
        Case{"\xC0\x80", 0},                   // overlong NUL
        Case{"x\xED\xA0\x80", 1},              // a surrogate
        Case{"\xEF\xBF\xBD", 0}}) {            // U+FFFD from a bad GBK byte
    EXPECT_EQ(firstNonGbk(c.text), c.at) << c.text;
    if (c.at == none) {
      EXPECT_EQ(gbkToUtf8(utf8ToGbk(c.text)), c.text);
    }
  }
}

// Each thread converts through descriptors it keeps: a conversion that stopped at a broken or
// cut-off sequence must not change the next one, in this thread or another.
TEST(Gbk, ConversionsInTurnAndInThreadsGiveTheSameResults) {
  const std::size_t none = std::string::npos;
  struct Case {
    std::function<std::string()> run;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {[] { return gbkToUtf8("A\xC1"); }, "A\xEF\xBF\xBD"},
      {[] { return gbkToUtf8("\xC1\xAC\xBD\xD3"); }, "连接"},
      {[] { return utf8ToGbk("pw\xC3"); }, "pw?"},
      {[] { return utf8ToGbk("连接"); }, "\xC1\xAC\xBD\xD3"},
      {[] { return std::to_string(firstNonGbk("pw\xC3")); }, "2"},
      {[] { return std::to_string(firstNonGbk("蓝牙")); }, std::to_string(none)},
      {[] {
         return utf8ToGbk(
             "a\xFF"
             "b");
       },
       "a?b"},
      {[] { return gbkToUtf8("\x80\xFF\xFF\xC1\xAC"); }, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD连"},
  };
  auto runAll = [&](int rounds, std::vector<std::string>& failures) {
    for (int r = 0; r < rounds; ++r) {
      for (std::size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].run() != cases[i].expected) failures.push_back(std::to_string(i));
      }
    }
  };
  std::vector<std::string> alone;
  runAll(2, alone);
  EXPECT_TRUE(alone.empty()) << alone.front();
  std::vector<std::vector<std::string>> perThread(4);
  std::vector<std::thread> threads;
  for (auto& f : perThread) threads.emplace_back([&] { runAll(200, f); });
  for (auto& t : threads) t.join();
  for (const auto& f : perThread) EXPECT_TRUE(f.empty()) << "case " << f.front();
}

TEST(Gbk, PrefixNeverSplitsADoubleByteCharacter) {
  std::string gbk = utf8ToGbk("ab蓝牙名称");  // 2 + 4 x 2 bytes
  EXPECT_EQ(gbkPrefix(gbk, 3), "ab");
  EXPECT_EQ(gbkPrefix(gbk, 4), gbk.substr(0, 4));
  EXPECT_EQ(gbkPrefix(gbk, 100), gbk);
  EXPECT_EQ(gbkPrefix(gbk, 0), "");
}

TEST(IniFile, ArbitraryBytesParseWithoutHarm) {
  std::uint32_t seed = 777;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<char>(seed >> 23);
  };
  const std::string alphabet = "[]=;\r\n ab\x81\xfe";
  for (int round = 0; round < 500; ++round) {
    std::string bytes;
    for (int i = 0; i < 200; ++i) {
      char c = next();
      bytes += (c & 1) ? alphabet[static_cast<unsigned char>(c) % alphabet.size()] : c;
    }
    IniDocument doc = IniDocument::parse(bytes);
    (void)doc.readString("a", "b", "");
    (void)doc.readInt("ab", "a", 0);
    doc.writeString("a", "b", "值");
    EXPECT_EQ(IniDocument::parse(doc.bytes()).readString("a", "b", ""), "值");
  }
}

// Found by fuzzing: a CR at the very end of a file without a final line end was taken for half a
// line end and lost at the next write, and again at every later one.
TEST(IniFile, StrayCarriageReturnsAreKeptByAWrite) {
  for (std::string before : {std::string("[S]\r\nK=1\r\nX=\r\r"), std::string("[S]\nK=1\r"),
                             std::string("[S]\r\nK=1\r\r\n")}) {
    SCOPED_TRACE(before);
    IniDocument doc = IniDocument::parse(before);
    EXPECT_EQ(doc.bytes(), before);
    EXPECT_EQ(doc.readInt("S", "K", 0), 1);
  }
}
