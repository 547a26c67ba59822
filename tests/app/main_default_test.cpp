// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string_view>

#include "TempDir.h"
#include "app/Language.h"
#include "app/MainDefault.h"
#include "platform/IniFile.h"

using namespace plenar;

TEST(MainDefault, NoFileGivesTheDefaults) {
  TempDir dir;
  auto md = readMainDefault(IniFile(dir.file("sysconfig.ini")));
  EXPECT_TRUE(md.usbFilterList.empty());
  EXPECT_EQ(md.ipAddress, "192.168.1.87");
  EXPECT_EQ(md.language, 0);
  EXPECT_EQ(md.tranMode, 0);
}

TEST(MainDefault, PidCountDecidesTheListLengthEvenWhenKeysAreMissing) {
  TempDir dir;
  dir.write("sysconfig.ini", "[MainDefault]\nPID COUNT=2\nPID1=811E\nTranMode=7\nLanguage=x\n");
  auto md = readMainDefault(IniFile(dir.file("sysconfig.ini")));
  ASSERT_EQ(md.usbFilterList.size(), 2u);
  EXPECT_EQ(md.usbFilterList[0], "811E");
  EXPECT_EQ(md.usbFilterList[1], "");
  EXPECT_EQ(md.tranMode, 7);  // the window leaves the serial link selected for it
  EXPECT_EQ(md.language, 0);
}

TEST(MainDefault, AbsurdPidCountDoesNotExhaustMemory) {
  TempDir dir;
  dir.write("sysconfig.ini", "[MainDefault]\nPID COUNT=2000000000\n");
  auto md = readMainDefault(IniFile(dir.file("sysconfig.ini")));
  EXPECT_LE(md.usbFilterList.size(), 1000u);
  dir.write("sysconfig.ini", "[MainDefault]\nPID COUNT=-3\n");
  EXPECT_TRUE(readMainDefault(IniFile(dir.file("sysconfig.ini"))).usbFilterList.empty());
}

TEST(MainDefault, WritesTheThreeKeysInOrderAndKeepsOtherSections) {
  TempDir dir;
  dir.write("sysconfig.ini", "[ParaDefault]\nedt_SN=1704269998\n");
  ASSERT_TRUE(writeMainDefault(IniFile(dir.file("sysconfig.ini")), "10.1.2.3", 1, 2));
  EXPECT_EQ(dir.read("sysconfig.ini"),
            "[ParaDefault]\nedt_SN=1704269998\n\n[MainDefault]\nIP Address=10.1.2.3\n"
            "Language=1\nTranMode=2\n");
  auto md = readMainDefault(IniFile(dir.file("sysconfig.ini")));
  EXPECT_EQ(md.ipAddress, "10.1.2.3");
  EXPECT_EQ(md.language, 1);
  EXPECT_EQ(md.tranMode, 2);
}

TEST(LocaleLanguage, LcAllThenLcMessagesThenLangDecide) {
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    int language;  // 0 Chinese, 1 English
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, 1},
      {nullptr, nullptr, "zh_CN.UTF-8", 0},
      {nullptr, nullptr, "C.UTF-8", 1},
      {nullptr, "zh_TW.UTF-8", "en_US.UTF-8", 0},
      {"en_GB.UTF-8", "zh_CN.UTF-8", "zh_CN.UTF-8", 1},
      // An empty variable counts as unset.
      {"", "", "zh_CN.GB18030", 0},
      {"POSIX", nullptr, "zh_CN", 1},
  };
  for (const Case& c : cases) {
    static const Case* current;
    current = &c;
    const int got = plenar::localeLanguage([](const char* name) -> const char* {
      if (std::string_view(name) == "LC_ALL") return current->lcAll;
      if (std::string_view(name) == "LC_MESSAGES") return current->lcMessages;
      if (std::string_view(name) == "LANG") return current->lang;
      return nullptr;
    });
    EXPECT_EQ(got, c.language) << (c.lcAll ? c.lcAll : "-") << " " << (c.lang ? c.lang : "-");
  }
}
