// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter window without a printer: its controls, what it stores in sysconfig.ini, field
// filters and checks, refusals, the logo list and its preview, and what a screen reader hears.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <fstream>
#include <iterator>
#include <optional>

#include "FrmParaFixture.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "platform/ManualResetEvent.h"
#include "profile/ApplyRun.h"
#include "requests/FieldParsing.h"
#include "requests/NetworkRequests.h"
#include "shared/SharedTexts.h"
#include "ui/para/ApplyProgressDialog.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;

class ParameterWindow : public uitest::FrmParaFixture {
 public:
  std::unique_ptr<uitest::FileDialogAnswers> answers_;
  QString file(const char* name) { return QString::fromStdString(dir_->file(name)); }

  QString stored(const char* key) {
    return QString::fromStdString(
        IniFile(dir_->file("sysconfig.ini")).readString("ParaDefault", key, "<absent>"));
  }
  // The keys of section ParaDefault in file order.
  QStringList storedKeys() {
    QStringList keys;
    std::ifstream in(dir_->file("sysconfig.ini"));
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
      if (!line.empty() && line[0] == '[')
        inSection = line.rfind("[ParaDefault]", 0) == 0;
      else if (inSection && line.find('=') != std::string::npos) {
        keys << QString::fromStdString(line.substr(0, line.find('=')));
      }
    }
    return keys;
  }
  // A new parameter window, as at the next start of the program: only the file carries over.
  void reopenFresh() {
    closePara();
    para_.reset();
    openPara();
  }
  QString lineText(const char* name) { return field<QLineEdit>(name)->text(); }
  QString listText(const char* name) { return field<QComboBox>(name)->currentText(); }
};

TEST_F(ParameterWindow, HasEveryControlTheLanguageFilesNameAndItsEightTabs) {
  openPara();
  std::ifstream in(uitest::sourceLangDir() + "/src/Chinese.lng.utf8");
  std::string line;
  bool inSection = false;
  int checked = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') {
      inSection = line.rfind("[FrmPara]", 0) == 0;
      continue;
    }
    const auto dot = line.find('.');
    if (!inSection || dot == std::string::npos || line.rfind("Caption=", 0) == 0) continue;
    const QString name = QString::fromStdString(line.substr(0, dot));
    EXPECT_NE(para().findChild<QWidget*>(name), nullptr) << name.toStdString();
    ++checked;
  }
  EXPECT_GT(checked, 120);
  auto* tabs = field<QTabWidget>("PageControl1");
  const QStringList pages = {"ts_Basic",    "ts_Bluetooth", "ts_Wifi",      "ts_Network",
                             "ts_Infrared", "ts_Program",   "ts_BlackMark", "ts_Product"};
  ASSERT_EQ(tabs->count(), pages.size());
  for (int i = 0; i < tabs->count(); ++i) EXPECT_EQ(tabs->widget(i)->objectName(), pages[i]);
  EXPECT_EQ(tabs->currentIndex(), 0);
}

TEST_F(ParameterWindow, FirstShowTakesTheStoredDefaultsNotTheDesignValues) {
  openPara();
  EXPECT_EQ(listText("cbb_Dark"), "正常");
  EXPECT_EQ(listText("cbb_PaperSize"), "3寸");
  EXPECT_EQ(listText("cbb_Flowcontrol"), "硬件流控");
  EXPECT_EQ(listText("Cbx_Bluetooth"), "取消蓝牙隐身");
  EXPECT_EQ(lineText("edt_NetWorkPort"), "1345678");
  EXPECT_EQ(field<QSpinBox>("edt_sleepTime")->value(), 600);
  EXPECT_EQ(lineText("edt_cutter_optocoupler"), "5");
  EXPECT_TRUE(field<QRadioButton>("rb_Plus")->isChecked());
  EXPECT_TRUE(field<QLineEdit>("edt_IPaddress")->isEnabled());
  EXPECT_TRUE(field<QComboBox>("cbb_InfraredBaurate")->isEnabled());
  EXPECT_TRUE(field<QPushButton>("bt_firmware")->isHidden());
  EXPECT_FALSE(field<QPushButton>("btn_UpdatePrg")->isHidden());
  EXPECT_FALSE(window().isVisible());

  // Closing writes every key in order and brings the connection window back.
  closePara();
  EXPECT_TRUE(window().isVisible());
  const QStringList keys = storedKeys();
  ASSERT_GE(keys.size(), 58);
  EXPECT_EQ(keys.mid(0, 5),
            (QStringList{"BaudRate", "CodePage", "FontValue", "Dark", "ForcePaper"}));
  EXPECT_EQ(keys.last(), "Printeropto");
  EXPECT_EQ(stored("blueCmdCount"), "1");
  EXPECT_EQ(stored("MAC"), "ABCD65666768");
  EXPECT_EQ(stored("NetIPaddress"), "192.168.1.87");
}

TEST_F(ParameterWindow, EveryFieldComesBackAfterCloseAndAFreshStart) {
  openPara();
  struct Edit {
    const char* name;
    QString text;
  };
  const Edit edits[] = {
      {"edt_lyName", "Counter-1"},
      {"edt_smlyName", "双模"},
      {"edt_lyPsw", "1234"},
      {"edt_lyType", "7"},
      {"edt_GuangboName", "ap"},
      {"edt_APPsw", "appass"},
      {"edt_SSID", "shop"},
      {"edt_StaModePsw", "wifipass"},
      {"edt_NetIPAddress", "10.0.0.9"},
      {"edt_Subnetmask", "255.255.0.0"},
      {"edt_gatewayt", "10.0.0.1"},
      {"edt_Netport", "9101"},
      {"edt_macaddo", "0A"},
      {"edt_macaddfor", "FF"},
      {"edt_IPaddress", "10.0.0.50"},
      {"edt_Mask", "255.0.0.0"},
      {"edt_Gateway", "10.0.0.254"},
      {"edt_Port", "9200"},
      {"edt_Prgfile", "/tmp/fw.bin"},
      {"edt_FontFile", "/tmp/font.bin"},
      {"edt_FontAddress", "10000"},
      {"edt_StartAddress", "200"},
      {"edt_ReadLength", "4096"},
      {"edt_DeviceName", "TP-80"},
      {"edt_DeviceSerialNo", "42"},
      {"edt__Black_look_distance", "500"},
      {"edt__Black_width", "60"},
      {"edt_cutter_optocoupler", "12"},
      {"edt_2", "9"},
  };
  for (const Edit& e : edits) field<QLineEdit>(e.name)->setText(e.text);
  struct Pick {
    const char* name;
    int item;
  };
  const Pick picks[] = {{"cbb_BauRate", 8},         {"cbb_Codepage", 52},
                        {"cbb_FontValue", 3},       {"cbb_Dark", 3},
                        {"cbb_Forcepaper", 1},      {"cbb_lyWorkMode", 0},
                        {"cbb_InfraredBaurate", 4}, {"cbb_irdaProtecl", 1},
                        {"cbb_UsbDeviceTpe", 0},    {"cbb_PrinterOrder", 0},
                        {"cbb_PaperType", 0},       {"cbb_Flowcontrol", 0},
                        {"Cbx_Bluetooth", 0},       {"cbb_PaperSize", 2}};
  for (const Pick& p : picks) pick(p.name, p.item);
  field<QCheckBox>("chk_buzzer")->setChecked(false);
  field<QCheckBox>("chk_CutPaper")->setChecked(false);
  field<QSpinBox>("edt_sleepTime")->setValue(120);
  field<QSpinBox>("edt_poweroffTime")->setValue(3600);
  field<QSpinBox>("edt_RptTime")->setValue(45);
  field<QGroupBox>("rg_lyMode")->findChildren<QRadioButton*>()[2]->setChecked(true);
  field<QGroupBox>("rg_lyPswcheck")->findChildren<QRadioButton*>()[1]->setChecked(true);
  field<QRadioButton>("rb_AutoIp")->setChecked(true);
  field<QRadioButton>("rb_notInfrared")->setChecked(true);
  field<QRadioButton>("rb_Minus")->setChecked(true);
  field<QPlainTextEdit>("mmo_1")->setPlainText("AT+NAME=A\n\nAT+PIN=1");

  reopenFresh();
  for (const Edit& e : edits) EXPECT_EQ(lineText(e.name), e.text) << e.name;
  for (const Pick& p : picks) EXPECT_EQ(field<QComboBox>(p.name)->currentIndex(), p.item) << p.name;
  EXPECT_FALSE(field<QCheckBox>("chk_buzzer")->isChecked());
  EXPECT_FALSE(field<QCheckBox>("chk_CutPaper")->isChecked());
  EXPECT_TRUE(field<QCheckBox>("chk_HexFlag")->isChecked());  // not stored
  EXPECT_EQ(field<QSpinBox>("edt_sleepTime")->value(), 120);
  EXPECT_EQ(field<QSpinBox>("edt_poweroffTime")->value(), 3600);
  EXPECT_EQ(field<QSpinBox>("edt_RptTime")->value(), 45);
  EXPECT_TRUE(field<QGroupBox>("rg_lyMode")->findChildren<QRadioButton*>()[2]->isChecked());
  EXPECT_TRUE(field<QGroupBox>("rg_lyPswcheck")->findChildren<QRadioButton*>()[1]->isChecked());
  EXPECT_TRUE(field<QRadioButton>("rb_AutoIp")->isChecked());
  EXPECT_FALSE(field<QLineEdit>("edt_IPaddress")->isEnabled());
  EXPECT_TRUE(field<QRadioButton>("rb_notInfrared")->isChecked());
  EXPECT_FALSE(field<QComboBox>("cbb_irdaProtecl")->isEnabled());
  EXPECT_TRUE(field<QRadioButton>("rb_Minus")->isChecked());
  EXPECT_EQ(field<QPlainTextEdit>("mmo_1")->toPlainText(), "AT+NAME=A\n\nAT+PIN=1");
  EXPECT_EQ(stored("MAC"), "ABCD0A6667FF");
  EXPECT_EQ(stored("blueCmdCount"), "3");
}

TEST_F(ParameterWindow, StoredTextsFallBackAsTheKeyTableSays) {
  struct Case {
    const char* key;
    const char* value;
    const char* control;
    QString shown;  // the list's text, or the edit boxes joined by "|"
  };
  const Case cases[] = {
      // Texts of the other language: lists with a fallback show item 0, the others nothing.
      {"Dark", "Slightly dark", "cbb_Dark", "微淡"},
      {"Flowcontrol", "Hardware", "cbb_Flowcontrol", "软件流控"},
      {"BaudRate", "abc", "cbb_BauRate", ""},
      {"CodePage", "cp437:usa/standard europe", "cbb_Codepage", "CP437:USA/Standard Europe"},
      // MAC shorter and longer than twelve characters.
      {"MAC", "AB12C", "Edit3", "AB|12|C|||"},
      {"MAC", "001122334455EE", "Edit3", "00|11|22|33|44|55"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    IniFile(dir_->file("sysconfig.ini")).writeString("ParaDefault", c.key, c.value);
    openPara();
    QString shown;
    if (std::string(c.key) == "MAC") {
      QStringList boxes;
      for (const char* n :
           {"Edit3", "Edit5", "edt_macaddo", "edt_macaddt", "edt_macaddfr", "edt_macaddfor"}) {
        boxes << lineText(n);
      }
      shown = boxes.join('|');
    } else {
      shown = listText(c.control);
    }
    EXPECT_EQ(shown, c.shown);
    para_.reset();
  }
}

TEST_F(ParameterWindow, PairValuesOutsideZeroAndOneChangeNothing) {
  IniFile ini(dir_->file("sysconfig.ini"));
  ini.writeString("ParaDefault", "IpType", "5");
  ini.writeString("ParaDefault", "calculate", "7");
  ini.writeString("ParaDefault", "BlueToolthMode", "9");
  openPara();
  EXPECT_TRUE(field<QRadioButton>("rb_StaticIP")->isChecked());
  EXPECT_FALSE(field<QRadioButton>("rb_Minus")->isChecked());
  EXPECT_FALSE(field<QRadioButton>("rb_Plus")->isChecked());
  for (auto* r : field<QGroupBox>("rg_lyMode")->findChildren<QRadioButton*>()) {
    EXPECT_FALSE(r->isChecked());
  }
  closePara();
  // Kept as "neither" for the next start.
  EXPECT_EQ(stored("calculate"), "2");
  EXPECT_EQ(stored("BlueToolthMode"), "-1");
}

TEST_F(ParameterWindow, EnglishListTextsAfterALanguageSwitch) {
  IniFile(dir_->file("sysconfig.ini")).writeString("ParaDefault", "Dark", "微浓");
  openPara();
  EXPECT_EQ(field<QComboBox>("cbb_Dark")->currentIndex(), 2);
  closePara();
  window().applyLanguageIndex(1);
  openPara();
  // The stored Chinese text matches no English item: item 0, in English.
  EXPECT_EQ(field<QComboBox>("cbb_Dark")->currentIndex(), 0);
  EXPECT_FALSE(uitest::hasCjk(listText("cbb_Dark")));
  EXPECT_FALSE(
      uitest::hasCjk(field<QGroupBox>("rg_lyMode")->findChildren<QRadioButton*>()[0]->text()));
  EXPECT_FALSE(uitest::hasCjk(field<QPushButton>("btn_SetCodepage")->text()));
}

TEST_F(ParameterWindow, FieldsTakeOnlyTheirKeys) {
  openPara();
  struct Case {
    const char* name;
    const char* typed;
    const char* kept;
  };
  const Case cases[] = {
      {"edt_Netport", "9a1.0-0", "9100"},
      {"edt_NetIPAddress", "1a0.0,0.x1", "10.00.1"},
      {"edt_DeviceSerialNo", "17 04x", "1704"},
      {"edt__Black_width", "4q0", "40"},
      {"edt_lyPsw", "12345678901234567", "1234567890123"},
      {"edt_macaddo", "ABC", "AB"},
  };
  for (const Case& c : cases) {
    type(c.name, QString::fromUtf8(c.typed));
    EXPECT_EQ(lineText(c.name), c.kept) << c.name;
  }
}

TEST_F(ParameterWindow, LeavingABadAddressShowsItsMessageAndReturnsTheFocus) {
  openPara();
  field<QTabWidget>("PageControl1")->setCurrentIndex(3);
  uitest::MessageBoxWatcher boxes;
  type("edt_NetIPAddress", "1.2.3.999");
  QTest::keyClick(field<QLineEdit>("edt_NetIPAddress"), Qt::Key_Tab);
  ASSERT_TRUE(boxes.waitForBox(5s));
  EXPECT_EQ(boxes.texts().last(), "IP 地址不正确");
  EXPECT_TRUE(uitest::waitUntil(
      [&] { return para().focusWidget() == field<QLineEdit>("edt_NetIPAddress"); }, 5s));
  // The gateway row has no such check.
  type("edt_gatewayt", "999");
  QTest::keyClick(field<QLineEdit>("edt_gatewayt"), Qt::Key_Tab);
  QTest::qWait(100);
  EXPECT_EQ(boxes.texts().size(), 1);
}

// A refusal names its field: the window shows that field's page with the cursor in the field
// (whichever page was in view), then the message; nothing is sent.
TEST_F(ParameterWindow, RefusedFieldsShowTheirMessageAtTheFieldAndSendNothing) {
  struct Case {
    const char* what;
    std::function<void(ParameterWindow&)> setup;
    const char* button;
    QString message;
    const char* field;  // where the cursor goes
  };
  const std::string badAddress = std::get<Refusal>(buildNetworkAddress("192.168.1")).message;
  const QString notGbk = QString::fromStdString(std::string("The text ") + kNotGbkMessage);
  const Case cases[] = {
      {"empty device name", [](ParameterWindow& t) { t.type("edt_DeviceName", ""); },
       "btn_SetDevicePara", "设备名称不能为空", "edt_DeviceName"},
      {"address part out of range",
       [](ParameterWindow& t) { t.field<QLineEdit>("edt_NetIPAddress")->setText("192.168.1.300"); },
       "btn_NetWorkSetIP", "输入的IP有错!", "edt_NetIPAddress"},
      {"address without its third dot",
       [](ParameterWindow& t) { t.field<QLineEdit>("edt_Subnetmask")->setText("192.168.1"); },
       "btn_Subnetmask", QString::fromStdString(badAddress), "edt_Subnetmask"},
      {"Bluetooth model that is no number",
       [](ParameterWindow& t) {
         t.field<QLineEdit>("edt_lyName")->setText("bt");
         t.field<QLineEdit>("edt_lyType")->setText("");
       },
       "btn_SetlyPara", "'' is not a valid integer value", "edt_lyType"},
      {"logo list larger than the printer's logo memory",
       [](ParameterWindow& t) {
         // 2048 x 1100 dots: a 282624-byte raster, above the 262144 bytes of 1.bin.
         QImage big(2048, 1100, QImage::Format_Mono);
         big.fill(0);
         const QString path = t.file("big.bmp");
         ASSERT_TRUE(big.save(path, "BMP"));
         t.field<QListWidget>("ListBox1")->addItem(path);
       },
       "btn_DownLogo", "BMP 文件不能超过256", "ListBox1"},
      {"read-back length that is no number",
       [](ParameterWindow& t) {
         t.field<QLineEdit>("edt_StartAddress")->setText("0");
         t.field<QLineEdit>("edt_ReadLength")->setText("12x");
         t.answers_ =
             std::make_unique<uitest::FileDialogAnswers>(QList<QStringList>{{t.file("out.hex")}});
       },
       "btn_ReadFont", "'12x' is not a valid integer value", "edt_ReadLength"},
      {"program file missing",
       [](ParameterWindow& t) { t.field<QLineEdit>("edt_Prgfile")->setText("/no/such/file.bin"); },
       "btn_UpdatePrg", "文件不存在", "edt_Prgfile"},
      // What GBK lacks would reach the printer as '?'.
      {"Bluetooth password outside GBK",
       [](ParameterWindow& t) {
         t.field<QLineEdit>("edt_lyName")->setText("bt");
         t.field<QLineEdit>("edt_lyType")->setText("1");
         t.field<QLineEdit>("edt_lyPsw")->setText(QString::fromUtf8("pässwörd"));
       },
       "btn_SetlyPara", notGbk, "edt_lyPsw"},
      {"device name with an emoji",
       [](ParameterWindow& t) {
         t.field<QLineEdit>("edt_DeviceName")->setText(QString::fromUtf8("shop\xF0\x9F\x98\x80"));
       },
       "btn_SetDevicePara", notGbk, "edt_DeviceName"},
  };
  openPara();
  auto* pages = field<QTabWidget>("PageControl1");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.setup(*this);
    pages->setCurrentIndex(0);
    uitest::MessageBoxWatcher boxes;
    click(c.button);
    ASSERT_TRUE(boxes.waitForBox(5s));
    EXPECT_EQ(boxes.texts().last(), c.message);
    auto* refused = field<QWidget>(c.field);
    EXPECT_TRUE(pages->currentWidget()->isAncestorOf(refused))
        << pages->currentWidget()->objectName().toStdString();
    EXPECT_TRUE(uitest::waitUntil([&] { return para().focusWidget() == refused; }, 5s));
    EXPECT_FALSE(para().commandRunning());
    EXPECT_FALSE(window().worker().isBusy());
  }
}

TEST_F(ParameterWindow, LogoListBrowseDeleteAndPreviewAsPrinted) {
  const std::string small = dir_->file("small.bmp");
  const std::string wide = dir_->file("wide.bmp");
  QImage black(20, 10, QImage::Format_RGB32);
  black.fill(Qt::black);
  ASSERT_TRUE(black.save(QString::fromStdString(small), "BMP"));
  QImage white(384, 100, QImage::Format_RGB32);
  white.fill(Qt::white);
  ASSERT_TRUE(white.save(QString::fromStdString(wide), "BMP"));
  openPara();
  auto* list = field<QListWidget>("ListBox1");

  {
    uitest::FileDialogAnswers answers(
        {{QString::fromStdString(small), QString::fromStdString(wide)}, {}});
    click("btn_OpenLogo");
    click("btn_OpenLogo");  // cancelled: nothing added
    EXPECT_EQ(answers.answered(), 2);
  }
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->currentRow(), 0);
  // 20 x 10 pixels print as 3 bytes x 2 bands: 48 bytes; the list takes the directory plus both
  // rasters (48 + 4800 bytes).
  EXPECT_EQ(field<QLabel>("lbl_LogoInfo")->text(), "20 x 10 点，48 字节");
  EXPECT_EQ(field<QLabel>("lbl_LogoBudget")->text(), "LOGO 文件 8.9 / 256 KB");
  EXPECT_EQ(field<QLabel>("img_LogoPreview")->pixmap().isNull(), false);

  list->item(0)->setSelected(true);
  click("btn_DeleteLogo");
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), QString::fromStdString(wide));
  list->clearSelection();
  click("btn_DeleteLogo");  // nothing selected: the last entry goes
  EXPECT_EQ(list->count(), 0);
  click("btn_DeleteLogo");  // empty list: nothing happens
  EXPECT_EQ(list->count(), 0);
}

TEST_F(ParameterWindow, InputsAreNamedAndSetButtonsSayWhatTheySet) {
  openPara();
  auto nameOf = [](QWidget* w) { return w->accessibleName(); };
  int inputs = 0;
  for (QWidget* w : para().findChildren<QWidget*>()) {
    const QString name = w->objectName();
    const bool input = qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                       qobject_cast<QSpinBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                       qobject_cast<QListWidget*>(w);
    if (!input || name.isEmpty() || name.startsWith("qt_") || name == "edt_NetWorkPort") continue;
    if (w->window() != &para()) continue;  // the file dialogs' own parts
    if (qobject_cast<QLineEdit*>(w) && qobject_cast<QSpinBox*>(w->parentWidget())) continue;
    ++inputs;
    EXPECT_FALSE(nameOf(w).isEmpty()) << name.toStdString();
  }
  EXPECT_GT(inputs, 50);
  for (auto* b : para().findChildren<QPushButton*>()) {
    if (b->text() == "设置" && b->isEnabled()) {
      EXPECT_FALSE(b->accessibleDescription().isEmpty()) << b->objectName().toStdString();
    }
  }
  EXPECT_EQ(nameOf(field<QComboBox>("cbb_Codepage")), "设置语言");
  // On Linux a list's accessible name is its text; the label reaches it as its labelling relation.
  auto* list = QAccessible::queryAccessibleInterface(field<QComboBox>("cbb_Codepage"));
  bool labelled = false;
  for (const auto& [other, relation] : list->relations(QAccessible::Label)) {
    labelled = labelled || other->object() == field<QLabel>("lbl_Codepage");
  }
  EXPECT_TRUE(labelled);
  EXPECT_EQ(field<QPushButton>("btn_SetCodepage")->accessibleDescription(), "设置语言");
  EXPECT_EQ(nameOf(field<QLineEdit>("edt_macaddfor")), "MAC 6");

  // The keyboard walks the first tab row by row, each field before its own button.
  QStringList order;
  QWidget* w = field<QWidget>("cbb_BauRate");
  while (order.size() < 14) {
    if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisible() &&
        !w->objectName().isEmpty() && !w->objectName().startsWith("qt_")) {
      order << w->objectName();
    }
    w = w->nextInFocusChain();
  }
  EXPECT_EQ(order,
            (QStringList{"cbb_BauRate", "btn_SetBauRate", "cbb_Flowcontrol", "btn_flowcontrol",
                         "cbb_Codepage", "btn_SetCodepage", "cbb_FontValue", "cbb_Dark",
                         "cbb_Forcepaper", "chk_buzzer", "chk_CutPaper", "btn_SetForcepaper",
                         "edt_sleepTime", "edt_poweroffTime"}));
}

// Reordering a tab's code must not reorder its keyboard walk: on every tab, Tab goes left to right
// along a row and then down, as the controls are laid out.
TEST_F(ParameterWindow, EveryTabIsWalkedInReadingOrder) {
  openPara();
  auto* pages = field<QTabWidget>("PageControl1");
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    QApplication::processEvents();
    QWidget* tab = pages->widget(page);
    QWidget* previous = nullptr;
    QRect previousBox;
    int walked = 0;
    for (QWidget* w = tab->nextInFocusChain(); w != tab && tab->isAncestorOf(w);
         w = w->nextInFocusChain()) {
      if (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || !w->isVisible() ||
          w->objectName().isEmpty() || w->objectName().startsWith("qt_")) {
        continue;
      }
      const QRect box(w->mapTo(tab, QPoint()), w->size());
      if (previous) {
        const bool sameRow = box.top() <= previousBox.bottom() && previousBox.top() <= box.bottom();
        EXPECT_TRUE(sameRow ? box.left() > previousBox.left() : box.top() > previousBox.top())
            << tab->objectName().toStdString() << ": " << previous->objectName().toStdString()
            << " -> " << w->objectName().toStdString();
      }
      previous = w;
      previousBox = box;
      ++walked;
    }
    EXPECT_GE(walked, 3) << tab->objectName().toStdString();
  }
}

TEST_F(ParameterWindow, AWheelOverAFieldTheUserIsNotEditingChangesNothing) {
  openPara();
  auto* codePage = field<QComboBox>("cbb_Codepage");
  auto* sleep = field<QSpinBox>("edt_sleepTime");
  field<QComboBox>("cbb_BauRate")->setFocus();
  for (QWidget* w : {static_cast<QWidget*>(codePage), static_cast<QWidget*>(sleep)}) {
    QWheelEvent wheel(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
  }
  EXPECT_EQ(codePage->currentIndex(), 4);
  EXPECT_EQ(sleep->value(), 600);
}

TEST_F(ParameterWindow, ASettingsFileThatCannotBeReadIsNotReplaced) {
  const std::string path = dir_->file("sysconfig.ini");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  openPara();  // does not wait for a writer
  closePara();
  struct stat st {};
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ParameterWindow, LinesTheFileHoldsBesidesOursAreKept) {
  dir_->writeGbk("sysconfig.ini",
                 "; notes of the technician\r\n[MainDefault]\r\nLanguage=0\r\n"
                 "[ParaDefault]\r\nDark=微浓\r\nnot a key line\r\nMyOwnKey=x\r\n");
  openPara();
  closePara();
  std::ifstream in(dir_->file("sysconfig.ini"), std::ios::binary);
  auto text = std::make_optional(std::string(std::istreambuf_iterator<char>(in), {}));
  EXPECT_NE(text->find("; notes of the technician"), std::string::npos);
  EXPECT_NE(text->find("not a key line"), std::string::npos);
  EXPECT_NE(text->find("MyOwnKey=x"), std::string::npos);
  EXPECT_EQ(stored("Dark"), "微浓");
}

// A command whose outcome is reported to the connection window (it ran on while this window was
// closed and opened again) still gives the buttons back: the worker says when it is idle.
TEST_F(ParameterWindow, TheWorkersIdleNoticeGivesTheButtonsBack) {
  ManualResetEvent release;
  openPara();
  window().worker().setRoutine(45, [&](TCommThread&) { release.waitFor(10s); });
  click("btn_5");  // the test page
  ASSERT_TRUE(para().commandRunning());
  EXPECT_FALSE(field<QPushButton>("btn_5")->isEnabled());
  window().worker().setReportWindow(&window().reportWindow());
  release.set();
  EXPECT_TRUE(uitest::waitUntil([&] { return !para().commandRunning(); }, 5s));
  EXPECT_TRUE(field<QPushButton>("btn_5")->isEnabled());
}

// The eight page captions side by side and whole, in both languages: no scroll arrows, none cut.
TEST_F(ParameterWindow, EveryPageCaptionFitsInBothLanguages) {
  open();
  for (int language : {0, 1}) {
    SCOPED_TRACE(language);
    window().applyLanguageIndex(language);
    openPara();
    auto* pages = field<QTabWidget>("PageControl1");
    QTabBar* bar = pages->tabBar();
    ASSERT_EQ(bar->count(), 8);
    EXPECT_EQ(bar->tabText(0),
              language == 0 ? QStringLiteral("基础设置") : QStringLiteral("Basic"));
    EXPECT_FALSE(bar->usesScrollButtons());
    for (QToolButton* arrow : bar->findChildren<QToolButton*>()) EXPECT_FALSE(arrow->isVisible());
    for (int i = 0; i < bar->count(); ++i) {
      SCOPED_TRACE(bar->tabText(i).toStdString());
      const QRect tab = bar->tabRect(i);
      EXPECT_TRUE(bar->rect().contains(tab));
      EXPECT_TRUE(pages->rect().contains(tab.translated(bar->pos())));
      // The whole caption, with room to spare for the tab's frame.
      EXPECT_GT(tab.width(), bar->fontMetrics().horizontalAdvance(bar->tabText(i)));
    }
    closePara();
  }
}

// Every kind of apply note in the window's language, with each text it names kept.
TEST_F(ParameterWindow, ApplyNotesComeInTheWindowsLanguage) {
  using Kind = ApplyRun::NoteKind;
  const std::pair<Kind, int> kinds[] = {
      {Kind::NoRecordKey, 1},
      {Kind::RecordUnreadable, 1},
      {Kind::RecordOfAnotherLink, 2},
      {Kind::NowUsbVirtualSerial, 0},
      {Kind::NoAnswerOnRecordedLink, 2},
      {Kind::RecordStale, 2},
      {Kind::AnsweredWhereLeft, 2},
      {Kind::AnotherModel, 2},
  };
  open();
  for (int language : {0, 1}) {
    SCOPED_TRACE(language);
    window().applyLanguageIndex(language);
    openPara();
    auto* dialog = static_cast<ApplyProgressDialog*>(
        para().findChild<QDialog*>(QStringLiteral("qt_applyProgress")));
    ASSERT_NE(dialog, nullptr);
    for (const auto& [kind, count] : kinds) {
      SCOPED_TRACE(static_cast<int>(kind));
      ApplyRun::Note note{kind, {}};
      // The second text holds a "%1" of its own: it stays as it is.
      const std::vector<std::string> args = {"net 127.0.0.9:5100", "/tmp/a%1b"};
      note.args.assign(args.begin(), args.begin() + count);
      const QString text = dialog->noteText(note);
      EXPECT_EQ(uitest::hasCjk(text), language == 0) << text.toStdString();
      for (const std::string& a : note.args) {
        EXPECT_TRUE(text.contains(QString::fromStdString(a))) << text.toStdString();
      }
      EXPECT_EQ(text.count('%'), count == 2 ? 1 : 0) << text.toStdString();
    }
    closePara();
  }
}

}  // namespace
}  // namespace plenar
