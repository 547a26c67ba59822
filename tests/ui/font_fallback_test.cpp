// SPDX-License-Identifier: GPL-3.0-or-later
// The connection window where no installed font can draw Chinese (NoCjkFontMain.cpp): it starts
// in English, says once which package to install, and keeps the stored language choice.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>
#include <string>

#include "FrmMainFixture.h"
#include "SimProcess.h"
#include "UiTestSupport.h"
#include "app/MainDefault.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "ui/FontCoverage.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;

TEST(FontCoverage, CharactersNoInstalledFontDraws) {
  struct Case {
    const char* text;
    const char* missing;
  };
  const Case cases[] = {
      {"Test", ""},
      {"", ""},
      {"连接成功", "连接成功"},
      {"设置 设置参数", "设置参数"},  // each character once, spaces drawn by any font
      {"Set 参数", "参数"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(charactersWithoutFont(QString::fromUtf8(c.text)), QString::fromUtf8(c.missing));
  }
  // The shipped Chinese texts are what the window checks.
  const QString chinese = languageFileCharacters(uitest::ProgramDir().file("Chinese.lng"));
  EXPECT_TRUE(uitest::hasCjk(chinese));
  EXPECT_FALSE(charactersWithoutFont(chinese).isEmpty());
}

class WindowWithoutCjkFont : public uitest::FrmMainFixture {
 protected:
  void store(int language) {
    ASSERT_TRUE(writeMainDefault(IniFile(dir_->file("sysconfig.ini")), "127.0.0.1", language, 1));
  }
  int storedLanguage() { return readMainDefault(IniFile(dir_->file("sysconfig.ini"))).language; }
  // Set Parameters against a printer on UDP: the button writes sysconfig.ini.
  void setParametersWithPrinter() {
    test::SimProcess::Options o;
    o.serial = false;
    o.udp = true;
    test::SimProcess sim(o);
    QTest::mouseClick(child<QRadioButton>("RadioButton2"), Qt::LeftButton);
    auto* ip = child<QLineEdit>("edt_Ipaddress");
    ip->setText(QString::fromStdString(sim.udpHost()));
    child<QLineEdit>("edt_Port")->setText(QString::number(sim.udpPort()));
    int opened = 0;
    window().setParameterWindowOpener([&] { ++opened; });
    QTest::mouseClick(child<QPushButton>("btn_SetPara"), Qt::LeftButton);
    ASSERT_TRUE(uitest::waitUntil([&] { return opened == 1; }, 10s));
    ASSERT_TRUE(uitest::waitUntil([&] { return !window().worker().isBusy(); }, 10s));
  }
};

TEST_F(WindowWithoutCjkFont, StartsInEnglishSaysSoOnceAndKeepsTheStoredChoice) {
  store(0);
  testing::internal::CaptureStderr();
  open();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(child<QComboBox>("cbb_Language")->currentIndex(), 1);
  for (const auto& [name, text] : visibleTexts(window())) {
    if (name.startsWith(QLatin1String("cbb_Language#"))) continue;  // the list names both
    EXPECT_FALSE(uitest::hasCjk(text)) << name.toStdString() << ": " << text.toStdString();
  }
  const std::string hint = "fonts-wqy-microhei";
  ASSERT_NE(said.find(hint), std::string::npos) << said;
  EXPECT_EQ(said.find(hint, said.find(hint) + 1), std::string::npos) << "said more than once";

  setParametersWithPrinter();
  EXPECT_EQ(storedLanguage(), 0);  // Chinese stays the choice for a system with the font
}

TEST_F(WindowWithoutCjkFont, ALanguagePickedByTheUserIsStored) {
  store(0);
  testing::internal::CaptureStderr();
  open();
  testing::internal::GetCapturedStderr();
  auto* language = child<QComboBox>("cbb_Language");
  language->setFocus();
  QTest::keyClick(language, Qt::Key_Up);    // Chinese, boxes and all
  QTest::keyClick(language, Qt::Key_Down);  // and back to English, on purpose
  ASSERT_EQ(language->currentIndex(), 1);
  setParametersWithPrinter();
  EXPECT_EQ(storedLanguage(), 1);
}

TEST_F(WindowWithoutCjkFont, EnglishStoredStartsQuietly) {
  store(1);
  testing::internal::CaptureStderr();
  open();
  EXPECT_EQ(testing::internal::GetCapturedStderr().find("fonts-wqy-microhei"), std::string::npos);
  EXPECT_EQ(child<QComboBox>("cbb_Language")->currentIndex(), 1);
}

}  // namespace
}  // namespace plenar
