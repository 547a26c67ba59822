// SPDX-License-Identifier: GPL-3.0-or-later
// Language files: the applier's rules on a widget tree, and the shipped files themselves.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "UiTestSupport.h"
#include "app/Language.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "shared/SharedTexts.h"
#include "ui/LanguageApplier.h"

namespace plenar {
namespace {

using Sections = std::map<std::string, std::map<std::string, std::string>>;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The UTF-8 source of a shipped language file, as sections of keys and values.
Sections parseSource(const std::string& name) {
  Sections sections;
  std::istringstream in(readFile(uitest::sourceLangDir() + "/src/" + name + ".utf8"));
  std::string line, section;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      sections[section];
      continue;
    }
    auto eq = line.find('=');
    if (eq != std::string::npos) sections[section][line.substr(0, eq)] = line.substr(eq + 1);
  }
  return sections;
}

class LanguageApplierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetTexts();
    window_.setObjectName(QStringLiteral("FrmTest"));
    window_.setWindowTitle(QStringLiteral("标题"));
    auto* layout = new QVBoxLayout(&window_);
    button_ = new QPushButton(QStringLiteral("按钮"), &window_);
    button_->setObjectName(QStringLiteral("btn_A"));
    button_->setToolTip(QStringLiteral("提示"));
    emptyLabel_ = new QLabel(&window_);
    emptyLabel_->setObjectName(QStringLiteral("lbl_Empty"));
    emptyEdit_ = new QLineEdit(&window_);
    emptyEdit_->setObjectName(QStringLiteral("edt_Empty"));
    edit_ = new QLineEdit(QStringLiteral("5100"), &window_);
    edit_->setObjectName(QStringLiteral("edt_Port"));
    editable_ = new QComboBox(&window_);
    editable_->setObjectName(QStringLiteral("cbb_Edit"));
    editable_->setEditable(true);
    editable_->addItems({QStringLiteral("一"), QStringLiteral("二")});
    list_ = new QComboBox(&window_);
    list_->setObjectName(QStringLiteral("cbb_List"));
    list_->addItems({QStringLiteral("一"), QStringLiteral("二")});
    group_ = new QGroupBox(QStringLiteral("组"), &window_);
    group_->setObjectName(QStringLiteral("grp_A"));
    tabs_ = new QTabWidget(&window_);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ts_Page"));
    tabs_->addTab(page, QStringLiteral("页"));
    for (QWidget* w : std::initializer_list<QWidget*>{button_, emptyLabel_, emptyEdit_, edit_,
                                                      editable_, list_, group_, tabs_}) {
      layout->addWidget(w);
    }
  }
  void TearDown() override { resetTexts(); }

  QWidget window_;
  QPushButton* button_;
  QLabel* emptyLabel_;
  QLineEdit* emptyEdit_;
  QLineEdit* edit_;
  QComboBox* editable_;
  QComboBox* list_;
  QGroupBox* group_;
  QTabWidget* tabs_;
};

TEST_F(LanguageApplierTest, ReplacesTextsAndHintsByNameButNeverFillsEmptyOnes) {
  auto doc = IniDocument::parse(
      "[FrmTest]\r\n"
      "Caption=Title\r\n"
      "btn_A.Caption=Button\r\n"
      "btn_A.Hint=Hint\r\n"
      "lbl_Empty.Caption=Filled\r\n"
      "edt_Empty.Caption=Filled\r\n"
      "edt_Empty.Hint=Filled\r\n"
      "edt_Port.Caption=9100\r\n"
      "cbb_Edit.Caption=Typed\r\n"
      "cbb_List.Caption=Typed\r\n"
      "grp_A.Caption=Group\r\n"
      "ts_Page.Caption=Page\r\n"
      "[FrmOther]\r\n"
      "btn_A.Caption=Wrong window\r\n");
  applyWindowLanguage(&window_, doc);

  EXPECT_EQ(window_.windowTitle(), "Title");
  EXPECT_EQ(button_->text(), "Button");
  EXPECT_EQ(button_->toolTip(), "Hint");
  EXPECT_EQ(emptyLabel_->text(), "");
  EXPECT_EQ(emptyEdit_->text(), "");
  EXPECT_EQ(emptyEdit_->toolTip(), "");
  // An edit field's content is its text, so a .Caption entry replaces it.
  EXPECT_EQ(edit_->text(), "9100");
  EXPECT_EQ(editable_->currentText(), "Typed");
  EXPECT_EQ(list_->currentText(), QStringLiteral("一"));
  EXPECT_EQ(list_->itemText(1), QStringLiteral("二"));
  EXPECT_EQ(group_->title(), "Group");
  EXPECT_EQ(tabs_->tabText(0), "Page");
}

TEST_F(LanguageApplierTest, MissingKeysKeepTextsAndEmptyValuesEmptyThem) {
  auto doc = IniDocument::parse("[FrmTest]\r\nbtn_A.Caption=\r\n");
  applyWindowLanguage(&window_, doc);
  EXPECT_EQ(button_->text(), "");
  EXPECT_EQ(button_->toolTip(), QStringLiteral("提示"));
  EXPECT_EQ(window_.windowTitle(), QStringLiteral("标题"));
  EXPECT_EQ(group_->title(), QStringLiteral("组"));

  // Applying the same document again changes nothing more; an empty window title stays empty.
  window_.setWindowTitle(QString());
  applyWindowLanguage(&window_, IniDocument::parse("[FrmTest]\r\nCaption=Title\r\n"));
  EXPECT_EQ(window_.windowTitle(), "");
}

TEST_F(LanguageApplierTest, MissingFileChangesNothing) {
  uitest::ProgramDir dir(false);
  applyLanguage(dir.path(), 1);
  EXPECT_EQ(window_.windowTitle(), QStringLiteral("标题"));
  EXPECT_EQ(text(TextId::ConnectOk), "连接成功");
  EXPECT_EQ(optionEntry(OptionList::TransMode, 0), "当前选择串口");
}

// The GBK files the program reads are generated from the UTF-8 sources; a source edited without
// running lang/generate.sh would ship stale texts.
TEST(ShippedLanguageFiles, AreTheGbkFormOfTheirSources) {
  for (const char* name : {"Chinese.lng", "English.lng"}) {
    std::string source = readFile(uitest::sourceLangDir() + "/src/" + name + ".utf8");
    std::string crlf;
    for (char c : source) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    EXPECT_EQ(readFile(uitest::sourceLangDir() + "/" + name), utf8ToGbk(crlf)) << name;
  }
}

TEST(ShippedLanguageFiles, BothCoverTheSameKeysAndEveryListAndKeyedText) {
  Sections chinese = parseSource("Chinese.lng");
  Sections english = parseSource("English.lng");
  ASSERT_EQ(chinese.size(), english.size());
  for (const auto& [section, keys] : chinese) {
    ASSERT_TRUE(english.count(section)) << section;
    std::set<std::string> a, b;
    for (const auto& kv : keys) a.insert(kv.first);
    for (const auto& kv : english[section]) b.insert(kv.first);
    EXPECT_EQ(a, b) << "section " << section;
  }
  for (const auto& list : optionListDefs()) {
    for (int i = 0; i < list.size; ++i) {
      EXPECT_TRUE(english[list.section].count(std::to_string(i))) << list.section << " " << i;
    }
  }
  for (const auto& t : textDefs()) {
    EXPECT_EQ(english["String"].count(t.name), t.hasKey ? 1u : 0u) << t.name;
  }
}

// Switching back to Chinese must restore exactly the built-in texts.
TEST(ShippedLanguageFiles, ChineseFileHoldsTheBuiltInTexts) {
  Sections chinese = parseSource("Chinese.lng");
  for (const auto& list : optionListDefs()) {
    for (int i = 0; i < list.size; ++i) {
      EXPECT_EQ(chinese[list.section][std::to_string(i)], list.entries[i]) << list.section;
    }
  }
  for (const auto& t : textDefs()) {
    if (t.hasKey) {
      EXPECT_EQ(chinese["String"][t.name], t.chineseText) << t.name;
    }
  }
}

TEST(ShippedLanguageFiles, EnglishFileHasNoChineseText) {
  for (const auto& [section, keys] : parseSource("English.lng")) {
    for (const auto& [key, value] : keys) {
      EXPECT_FALSE(uitest::hasCjk(QString::fromStdString(value))) << section << " " << key;
    }
  }
}

TEST(ShippedLanguageFiles, EnglishThenChineseWithoutAKeyKeepsTheEnglishText) {
  resetTexts();
  uitest::ProgramDir dir;
  applyLanguage(dir.path(), 1);
  EXPECT_EQ(text(TextId::FileMissing), "The file does not exist.");
  EXPECT_EQ(optionEntry(OptionList::DarkDescription, 3), "Extra dark");
  // No key, no replacement: these stay Chinese in every language.
  EXPECT_EQ(text(TextId::SettingDone), "设置完成");

  std::string chinese = readFile(uitest::sourceLangDir() + "/src/Chinese.lng.utf8");
  auto at = chinese.find("sMsg24=");
  ASSERT_NE(at, std::string::npos);
  chinese.erase(at, chinese.find('\n', at) + 1 - at);
  dir.writeGbk("Chinese.lng", chinese);
  applyLanguage(dir.path(), 0);
  EXPECT_EQ(text(TextId::FileMissing), "The file does not exist.");
  EXPECT_EQ(text(TextId::ProgramFileWrong), "程序文件错误");
  EXPECT_EQ(optionEntry(OptionList::DarkDescription, 3), "高浓度");
  resetTexts();
}

}  // namespace
}  // namespace plenar
