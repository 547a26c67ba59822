// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TempDir.h"
#include "app/Language.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "shared/SharedTexts.h"

using namespace plenar;

TEST(ProgressText, PermilleAndCountsIn256ByteUnits) {
  EXPECT_EQ(progressText("", 1536, 4096), "Finish 37.5%(6/16)");
  // The last block of a read may bring more than was asked for: never past the total.
  EXPECT_EQ(progressText("", 5000, 4096), "Finish 100.0%(16/16)");
  EXPECT_EQ(progressText("x", 600, 600), "xFinish 100.0%(2/2)");
  EXPECT_EQ(progressText("Checking", 0, 0), "Checking");
  // Large totals must not overflow the 32-bit range on the way.
  EXPECT_EQ(progressText("", 3000000000LL, 4000000000LL), "Finish 75.0%(11718750/15625000)");
}

TEST(SharedTexts, DefaultsKeysAndLists) {
  resetTexts();
  EXPECT_EQ(text(TextId::CodePageSet), "设置代码页成功");
  EXPECT_EQ(text(TextId::SettingDone), "设置完成");
  EXPECT_EQ(optionEntry(OptionList::BluetoothPswCheck, 2), "不需要密码鉴权");
  EXPECT_EQ(optionEntry(OptionList::TransMode, 3), "当前选择并口");
  EXPECT_EQ(optionEntry(OptionList::TransMode, 4), "");
  int keyless = 0;
  for (const auto& t : textDefs()) keyless += t.hasKey ? 0 : 1;
  EXPECT_EQ(keyless, 4);
}

TEST(SharedTexts, LanguageFileReplacesKeyedTextsAndListsOnly) {
  resetTexts();
  TempDir dir;
  dir.write("English.lng", utf8ToGbk("[String]\r\nsMsg17=Code page set\r\nsSetDoneOK=Done\r\n"
                                     "[Paper SizeType]\r\n1=3 inch\r\n7=ignored\r\n"));
  applyLanguageTexts(dir.path(), 1);
  EXPECT_EQ(text(TextId::CodePageSet), "Code page set");
  EXPECT_EQ(text(TextId::SettingDone), "设置完成");  // no key: never replaced
  EXPECT_EQ(optionEntry(OptionList::PaperSizeType, 1), "3 inch");
  EXPECT_EQ(optionEntry(OptionList::PaperSizeType, 0), "2寸");

  // A Chinese file lacking sMsg17 leaves the English wording in place; a missing file changes
  // nothing.
  dir.write("Chinese.lng", utf8ToGbk("[String]\r\nsMsg18=设置波特率成功\r\n"));
  applyLanguageTexts(dir.path(), 0);
  EXPECT_EQ(text(TextId::CodePageSet), "Code page set");
  applyLanguageTexts(dir.path() + "/nowhere", 1);
  EXPECT_EQ(text(TextId::CodePageSet), "Code page set");
  resetTexts();
}

TEST(SharedTexts, LanguageFileReadsAsIniDocumentFindWould) {
  // The first section of a name and its first line of a key count, names without ASCII case;
  // lines before any section, malformed lines and keys of a repeated section do not.
  resetTexts();
  const IniDocument doc = IniDocument::parse(
      utf8ToGbk("sMsg18=before any section\n[string]\nSMSG17 = first \nsMsg17=second\nnot a key\n"
                "[Paper SizeType]\n1=3 inch\n[String]\nsMsg18=repeated section\n"
                "[PAPER SIZETYPE]\n0=repeated too\n"));
  applyLanguageTexts(doc);
  EXPECT_EQ(text(TextId::CodePageSet), *doc.find("String", "sMsg17"));
  EXPECT_EQ(text(TextId::CodePageSet), "first");
  EXPECT_EQ(text(TextId::BaudRateSet), "设置波特率成功");
  EXPECT_EQ(optionEntry(OptionList::PaperSizeType, 1), "3 inch");
  EXPECT_EQ(optionEntry(OptionList::PaperSizeType, 0), "2寸");
  resetTexts();
}

TEST(SharedTexts, ReplacingOnOneThreadNeverTearsAReadOnAnother) {
  resetTexts();
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i) setText(TextId::DeviceParametersSet, i % 2 ? std::string(300, 'a') : "b");
    stop = true;
  });
  while (!stop) {
    std::string t = text(TextId::DeviceParametersSet);
    ASSERT_TRUE(t == "b" || t == std::string(300, 'a') || t == "设置设备参数成功") << t;
  }
  writer.join();
  resetTexts();
}
