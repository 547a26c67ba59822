// SPDX-License-Identifier: GPL-3.0-or-later
// The connection window driven like a user would: clicks, typed keys, message boxes answered.
// These cases need no printer; the simulator-backed ones are in frm_main_printer_test.cpp.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <thread>

#include "FrmMainFixture.h"
#include "UiTestSupport.h"
#include "app/Engine.h"
#include "app/MainDefault.h"
#include "engine/LinkLayer.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;
using uitest::FrmMainFixture;

// A UDP port on 127.0.0.1 that no one answers: bound here and never read.
class SilentUdpPort {
 public:
  SilentUdpPort() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~SilentUdpPort() { ::close(fd_); }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

using ConnectionWindow = FrmMainFixture;

TEST_F(ConnectionWindow, ShowsEveryControlWithItsDefaults) {
  TFrmMain& w = open();
  EXPECT_EQ(w.windowTitle(), "Plenar Setting Tool V1.0");
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);

  EXPECT_EQ(child<QGroupBox>("GroupBox1")->title(), "选择通讯端口");
  EXPECT_TRUE(child<QRadioButton>("RadioButton1")->isChecked());
  EXPECT_EQ(child<QRadioButton>("RadioButton1")->text(), "串口");
  EXPECT_EQ(child<QRadioButton>("RadioButton2")->text(), "网口");
  EXPECT_EQ(child<QRadioButton>("RadioButton3")->text(), "USB");
  EXPECT_EQ(child<QRadioButton>("RadioButton4")->text(), "并口");
  EXPECT_TRUE(child<QComboBox>("cbb_Comname")->isEditable());
  EXPECT_EQ(child<QLabel>("Label1")->text(), "波特率");
  EXPECT_EQ(child<QLabel>("Label4")->text(), "->");
  EXPECT_EQ(child<QLabel>("Label2")->text(), "校验");
  EXPECT_EQ(child<QLabel>("Label3")->text(), "端口");
  const QStringList rates = {"1200",  "2400",  "4800",   "9600",  "19200",
                             "38400", "57600", "115200", "230400"};
  for (const char* name : {"cbb_DevBauRate", "cbb_TranBauRate"}) {
    auto* box = child<QComboBox>(name);
    EXPECT_TRUE(box->isEditable());
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    EXPECT_EQ(items, rates) << name;
  }
  EXPECT_EQ(child<QComboBox>("cbb_DevBauRate")->currentText(), "9600");
  EXPECT_EQ(child<QComboBox>("cbb_TranBauRate")->currentText(), "115200");
  EXPECT_EQ(child<QComboBox>("cbb_Check")->currentText(), "NONE");
  EXPECT_EQ(child<QComboBox>("cbb_Check")->count(), 3);
  EXPECT_EQ(child<QLineEdit>("edt_Ipaddress")->text(), "192.168.1.87");
  EXPECT_EQ(child<QLineEdit>("edt_Port")->text(), "5100");
  EXPECT_EQ(child<QLabel>("lbl_language")->text(), "选择语言");
  EXPECT_EQ(child<QComboBox>("cbb_Language")->currentText(), "中文");
  EXPECT_EQ(child<QComboBox>("cbb_Language")->itemText(1), "English");
  EXPECT_EQ(child<QLabel>("lbl_TranMsg")->text(), "当前选择串口");
  EXPECT_TRUE(child<QLabel>("lbl_TranMsg")->font().bold());
  EXPECT_EQ(child<QPushButton>("btn_Test")->text(), "测试通讯");
  EXPECT_EQ(child<QPushButton>("btn_SetPara")->text(), "设置参数");
  EXPECT_EQ(child<QPushButton>("but_bootIn")->text(), "进入BOOT模式");
  EXPECT_EQ(child<QPushButton>("but_bootOut")->text(), "退出BOOT模式");
  EXPECT_FALSE(child<QPlainTextEdit>("Memo1")->isVisible());
  EXPECT_NE(w.findChild<QStatusBar*>("StatusBar1"), nullptr);
  auto* timer = w.findChild<QTimer*>("Timer1");
  ASSERT_NE(timer, nullptr);
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(timer->interval(), 1000);
  for (QWidget* c : w.findChildren<QWidget*>()) {
    if (!c->objectName().isEmpty()) {
      EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
    }
  }
}

// The shipped Chinese file restates the layout's captions: applying it changes nothing.
TEST_F(ConnectionWindow, ChineseFileKeepsTheBuiltInCaptions) {
  dir_ = std::make_unique<uitest::ProgramDir>(false);
  std::map<QString, QString> builtIn = visibleTexts(open());
  destroyWindow();
  dir_ = std::make_unique<uitest::ProgramDir>(true);
  EXPECT_EQ(visibleTexts(open()), builtIn);
}

TEST_F(ConnectionWindow, WithoutSerialPortsOffersTtyS0ToTtyS29AndSelectsNone) {
  ports_ = {};
  open();
  auto* com = child<QComboBox>("cbb_Comname");
  ASSERT_EQ(com->count(), 30);
  EXPECT_EQ(com->itemText(0), "/dev/ttyS0");
  EXPECT_EQ(com->itemText(29), "/dev/ttyS29");
  EXPECT_EQ(com->currentIndex(), -1);
  EXPECT_EQ(com->currentText(), "");

  // The remembered port name is the box's text: empty until the user types one.
  uitest::MessageBoxWatcher boxes;
  QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
  EXPECT_EQ(window().rememberedLink().serialPort, "");
  ASSERT_TRUE(boxes.waitForBox(15s));
  EXPECT_EQ(boxes.texts().last(), QString::fromStdString(text(TextId::ConnectFailed)));
}

TEST_F(ConnectionWindow, SerialListIsRefilledEachTimeItDropsDown) {
  ports_ = {"/dev/ttyUSB0", "/dev/ttyS1"};
  open();
  auto* com = child<QComboBox>("cbb_Comname");
  EXPECT_EQ(com->count(), 2);
  EXPECT_EQ(com->currentText(), "/dev/ttyUSB0");

  ports_ = {"/dev/ttyACM3"};
  // The drop-down arrow at the right end of the box.
  QTest::mouseClick(com, Qt::LeftButton, {}, QPoint(com->width() - 6, com->height() / 2));
  EXPECT_EQ(com->count(), 1);
  EXPECT_EQ(com->currentText(), "/dev/ttyACM3");
  com->hidePopup();
}

TEST_F(ConnectionWindow, StartsFromTheStoredSettings) {
  dir_->writeGbk("sysconfig.ini", "[MainDefault]\nIP Address=10.1.2.3\nLanguage=1\nTranMode=1\n");
  open();
  EXPECT_EQ(child<QLineEdit>("edt_Ipaddress")->text(), "10.1.2.3");
  EXPECT_EQ(child<QComboBox>("cbb_Language")->currentIndex(), 1);
  EXPECT_TRUE(child<QRadioButton>("RadioButton2")->isChecked());
  // Shown in English, with the network link named.
  EXPECT_EQ(child<QPushButton>("btn_Test")->text(), "Test connection");
  EXPECT_EQ(child<QLabel>("lbl_TranMsg")->text(), "Network selected");
}

TEST_F(ConnectionWindow, UnknownTranModeLeavesTheSerialLinkSelected) {
  dir_->writeGbk("sysconfig.ini", "[MainDefault]\nTranMode=7\n");
  open();
  EXPECT_TRUE(child<QRadioButton>("RadioButton1")->isChecked());
  EXPECT_EQ(child<QLabel>("lbl_TranMsg")->text(), "当前选择串口");
}

TEST_F(ConnectionWindow, RadioClickNamesTheLinkAndForgetsTheTest) {
  open();
  QTest::mouseClick(child<QRadioButton>("RadioButton4"), Qt::LeftButton);
  EXPECT_TRUE(child<QRadioButton>("RadioButton4")->isChecked());
  EXPECT_EQ(child<QLabel>("lbl_TranMsg")->text(), "当前选择并口");
  QTest::mouseClick(child<QRadioButton>("RadioButton3"), Qt::LeftButton);
  EXPECT_EQ(child<QLabel>("lbl_TranMsg")->text(), "当前选择USB");
  EXPECT_FALSE(window().connectedFlag());
}

TEST_F(ConnectionWindow, ParallelPortNumberComesFromTheListText) {
  open();
  QTest::mouseClick(child<QRadioButton>("RadioButton4"), Qt::LeftButton);
  uitest::MessageBoxWatcher boxes;
  // "LPT" alone has no number after its first three characters: port 1.
  for (auto [entry, number] : {std::pair{"LPT2", 2}, std::pair{"LPT", 1}}) {
    window().setParallelPorts({QString::fromLatin1(entry)}, QString::fromLatin1(entry));
    QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
    EXPECT_EQ(window().rememberedLink().lptNumber, number) << entry;
    ASSERT_TRUE(uitest::waitUntil([&] { return !window().worker().isBusy(); }, 20s));
  }
}

// A printer that moved: the controls show the new rate or address, and the snapshot the next
// test and request take holds it; one that left USB for a virtual serial port leaves the serial
// link chosen.
TEST_F(ConnectionWindow, FollowsTheLinkThePrinterMovedTo) {
  open();
  QTest::mouseClick(child<QRadioButton>("RadioButton1"), Qt::LeftButton);
  LinkSnapshot serial = window().linkSnapshot();
  serial.deviceBaudText = "38400";
  window().followLink(serial);
  EXPECT_EQ(child<QComboBox>("cbb_DevBauRate")->currentText(), "38400");
  EXPECT_EQ(window().linkSnapshot().deviceBaudText, "38400");

  QTest::mouseClick(child<QRadioButton>("RadioButton2"), Qt::LeftButton);
  LinkSnapshot net = window().linkSnapshot();
  net.ipAddress = "10.0.0.9";
  net.udpPort = 5200;
  window().followLink(net);
  EXPECT_EQ(child<QLineEdit>("edt_Ipaddress")->text(), "10.0.0.9");
  EXPECT_EQ(child<QLineEdit>("edt_Port")->text(), "5200");
  EXPECT_EQ(window().linkSnapshot().ipAddress, "10.0.0.9");
  EXPECT_EQ(window().linkSnapshot().udpPort, 5200);
  EXPECT_EQ(readMainDefault(IniFile(dir_->file("sysconfig.ini"))).ipAddress, "10.0.0.9");

  QTest::mouseClick(child<QRadioButton>("RadioButton3"), Qt::LeftButton);
  window().followLink(std::nullopt);
  EXPECT_TRUE(child<QRadioButton>("RadioButton1")->isChecked());
  EXPECT_EQ(window().linkSnapshot().kind, LinkKind::Serial);
  EXPECT_EQ(child<QLabel>("lbl_TranMsg")->text(),
            QString::fromStdString(optionEntry(OptionList::TransMode, 0)));
}

TEST_F(ConnectionWindow, LanguageSwitchesBetweenChineseAndEnglish) {
  open();
  auto* language = child<QComboBox>("cbb_Language");
  language->setFocus();
  QTest::keyClick(language, Qt::Key_Down);
  ASSERT_EQ(language->currentIndex(), 1);

  EXPECT_EQ(child<QGroupBox>("GroupBox1")->title(), "Communication port");
  EXPECT_EQ(child<QPushButton>("but_bootIn")->text(), "Enter BOOT mode");
  EXPECT_EQ(child<QLabel>("lbl_TranMsg")->text(), "Serial port selected");
  EXPECT_EQ(text(TextId::ConnectFailed),
            "Communication failed. Please choose the correct port and baud rate.");
  // Nothing Chinese is left in the window but the name of the Chinese language itself.
  for (const auto& [name, shown] : visibleTexts(window())) {
    if (name == "cbb_Language#0") continue;
    EXPECT_FALSE(uitest::hasCjk(shown)) << name.toStdString() << ": " << shown.toStdString();
  }

  QTest::keyClick(language, Qt::Key_Up);
  ASSERT_EQ(language->currentIndex(), 0);
  EXPECT_EQ(child<QGroupBox>("GroupBox1")->title(), "选择通讯端口");
  EXPECT_EQ(child<QLabel>("lbl_TranMsg")->text(), "当前选择串口");
  EXPECT_EQ(text(TextId::ConnectFailed), "通讯失败，请选择正确的端口和波特率");
}

TEST_F(ConnectionWindow, EnglishFileWithOnlyACaptionChangesOnlyTheCaption) {
  dir_->writeGbk("English.lng", "[FrmMain]\nCaption=Plenar (English)\n");
  open();
  std::map<QString, QString> before = visibleTexts(window());
  auto* language = child<QComboBox>("cbb_Language");
  language->setFocus();
  QTest::keyClick(language, Qt::Key_Down);
  EXPECT_EQ(window().windowTitle(), "Plenar (English)");
  std::map<QString, QString> after = visibleTexts(window());
  for (const char* changed : {"Caption", "cbb_Language"}) {
    after.erase(changed);
    before.erase(changed);
  }
  EXPECT_EQ(after, before);
  EXPECT_EQ(text(TextId::ConnectOk), "连接成功");
}

TEST_F(ConnectionWindow, RateBoxWithoutANumberStopsTheTestWithAConversionError) {
  open();
  auto* rate = child<QComboBox>("cbb_DevBauRate");
  rate->lineEdit()->selectAll();
  QTest::keyClicks(rate->lineEdit(), "96OO");
  uitest::MessageBoxWatcher boxes;
  QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
  ASSERT_TRUE(boxes.waitForBox(5s));
  EXPECT_EQ(boxes.texts().last(), "'96OO' is not a valid integer value");

  // Set-parameters swallows the same failure: no box, no command, nothing written.
  QTest::mouseClick(child<QPushButton>("btn_SetPara"), Qt::LeftButton);
  QTest::qWait(200);
  EXPECT_EQ(boxes.texts().size(), 1);
  EXPECT_FALSE(window().worker().isBusy());
  EXPECT_FALSE(dir_->exists("debug.log"));
  EXPECT_FALSE(dir_->exists("sysconfig.ini"));
}

TEST_F(ConnectionWindow, TestAgainstNothingShowsTheConnectErrorAndTheCheckingText) {
  SilentUdpPort silent;
  open();
  QTest::mouseClick(child<QRadioButton>("RadioButton2"), Qt::LeftButton);
  auto* ip = child<QLineEdit>("edt_Ipaddress");
  ip->selectAll();
  QTest::keyClicks(ip, "127.0.0.1");
  auto* port = child<QLineEdit>("edt_Port");
  port->selectAll();
  QTest::keyClicks(port, QString::number(silent.port()));

  uitest::MessageBoxWatcher boxes;
  QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
  ASSERT_TRUE(boxes.waitForBox(20s));
  EXPECT_EQ(boxes.texts().last(), "通讯失败，请选择正确的端口和波特率");
  EXPECT_FALSE(window().connectedFlag());
  EXPECT_EQ(statusText(), QStringLiteral("Checking127.0.0.1:%1").arg(silent.port()));
  EXPECT_EQ(window().rememberedLink().ipAddress, "127.0.0.1");
  EXPECT_EQ(window().rememberedLink().udpPort, silent.port());
}

TEST_F(ConnectionWindow, SetParametersWithoutAnAnswerOpensNothingAndShowsTheError) {
  SilentUdpPort silent;
  open();
  QTest::mouseClick(child<QRadioButton>("RadioButton2"), Qt::LeftButton);
  child<QLineEdit>("edt_Ipaddress")->setText("127.0.0.1");
  child<QLineEdit>("edt_Port")->setText(QString::number(silent.port()));
  int opened = 0;
  window().setParameterWindowOpener([&] { ++opened; });

  uitest::MessageBoxWatcher boxes;
  QTest::mouseClick(child<QPushButton>("btn_SetPara"), Qt::LeftButton);
  // The press has returned: its wait is over whether or not the test has answered.
  EXPECT_EQ(opened, 0);
  EXPECT_FALSE(dir_->exists("sysconfig.ini"));
  ASSERT_TRUE(boxes.waitForBox(20s));
  EXPECT_EQ(boxes.texts().last(), "通讯失败，请选择正确的端口和波特率");
  EXPECT_EQ(opened, 0);
  EXPECT_TRUE(window().isVisible());
}

TEST_F(ConnectionWindow, BootInDisablesTheLinkControlsAndPostsCode28EverySecond) {
  open();
  std::atomic<int> handshakes{0};
  window().worker().setRoutine(28, [&](TCommThread&) { ++handshakes; });

  QTest::mouseClick(child<QPushButton>("but_bootIn"), Qt::LeftButton);
  const std::vector<const char*> disabled = {
      "GroupBox1",       "RadioButton1",  "RadioButton2",   "RadioButton3",
      "RadioButton4",    "cbb_Comname",   "cbb_DevBauRate", "cbb_Check",
      "cbb_TranBauRate", "edt_Ipaddress", "edt_Port",       "cbb_UsbDeviceList",
      "cbb_Lpt",         "cbb_Language",  "btn_Test",       "btn_SetPara"};
  for (QWidget* c : window().findChildren<QWidget*>()) {
    const std::string name = c->objectName().toStdString();
    if (name.empty() || name.starts_with("qt_")) continue;
    bool listed = std::find_if(disabled.begin(), disabled.end(),
                               [&](const char* d) { return name == d; }) != disabled.end();
    // Controls inside GroupBox1 follow it; the question is which ones were switched off.
    EXPECT_EQ(c->testAttribute(Qt::WA_ForceDisabled), listed) << name;
  }
  EXPECT_TRUE(window().findChild<QTimer*>("Timer1")->isActive());

  ASSERT_TRUE(uitest::waitUntil([&] { return handshakes >= 2; }, 15s));

  window().engine().link().state().setBootFlag(true);
  QTest::mouseClick(child<QPushButton>("but_bootOut"), Qt::LeftButton);
  for (QWidget* c : window().findChildren<QWidget*>()) {
    if (!c->objectName().isEmpty()) {
      EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
    }
  }
  EXPECT_FALSE(window().findChild<QTimer*>("Timer1")->isActive());
  EXPECT_FALSE(window().engine().link().state().bootFlag());
  ASSERT_TRUE(uitest::waitUntil([&] { return !window().worker().isBusy(); }, 10s));
  int after = handshakes;
  QTest::qWait(1500);
  EXPECT_EQ(handshakes, after);
}

TEST_F(ConnectionWindow, ConfirmedBootModeEndsBootModeAtTheNextTick) {
  open();
  LinkState& state = window().engine().link().state();
  window().worker().setRoutine(28, [&state](TCommThread&) { state.confirmBoot(); });
  QTest::mouseClick(child<QPushButton>("but_bootIn"), Qt::LeftButton);
  ASSERT_TRUE(uitest::waitUntil([&] { return child<QPushButton>("btn_Test")->isEnabled(); }, 15s));
  EXPECT_TRUE(child<QComboBox>("cbb_Language")->isEnabled());
  EXPECT_FALSE(window().findChild<QTimer*>("Timer1")->isActive());
  EXPECT_FALSE(window().engine().linkOpen());
  EXPECT_FALSE(window().engine().bootConfirmed());
}

// The worker waits in a sent message 1028 whose handler the GUI thread has not run yet when the
// window goes away: the window must still stop the worker and not crash later.
TEST_F(ConnectionWindow, ClosingWhileTheWorkerWaitsForTheWindowDoesNotHang) {
  open();
  auto* com = child<QComboBox>("cbb_Comname");
  com->lineEdit()->selectAll();
  QTest::keyClicks(com->lineEdit(), "/nonexistent/ttyPLENAR");
  QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
  // The port cannot be opened, so the test fails at once and the worker sends 1028; the GUI
  // thread does not process events meanwhile.
  std::this_thread::sleep_for(300ms);

  std::atomic<bool> closed{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 300 && !closed; ++i) std::this_thread::sleep_for(100ms);
    if (!closed) {
      std::fprintf(stderr, "closing the window hangs\n");
      std::abort();
    }
  });
  destroyWindow();
  closed = true;
  watchdog.join();
  QTest::qWait(100);  // queued handlers of the gone window must not run
}

TEST(Application, StartsShowsTheWindowAndExitsCleanly) {
  uitest::ProgramDir dir(false);
  const QString png = QString::fromStdString(dir.file("window.png"));
  QProcess app;
  app.setProcessChannelMode(QProcess::ForwardedChannels);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  app.setProcessEnvironment(env);
  app.start(QStringLiteral(PLENAR_BIN_DIR "/plenar-setting-tool"),
            {QStringLiteral("--screenshot=") + png, QStringLiteral("--language=1")});
  ASSERT_TRUE(app.waitForFinished(30000));
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(app.exitCode(), 0);
  QImage image(png);
  EXPECT_FALSE(image.isNull());
  EXPECT_GE(image.width(), 500);
}

}  // namespace
}  // namespace plenar
