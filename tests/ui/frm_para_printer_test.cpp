// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter window against the printer simulator over UDP: what each tab's buttons make the
// printer store, the serial-number step, logos, font download and read-back, firmware update.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <fstream>
#include <functional>
#include <iterator>

#include "FrmParaFixture.h"
#include "SimProcess.h"
#include "app/Engine.h"
#include "engine/LinkLayer.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;
using test::stateAt;

class ParameterWindowWithPrinter : public uitest::FrmParaFixture {
 public:
  // Options for the simulator of the next test (a fixture of its own sets them).
  virtual std::vector<std::string> simArgs() const { return {}; }

  void SetUp() override {
    FrmParaFixture::SetUp();
    test::SimProcess::Options o;
    o.serial = false;
    o.udp = true;
    o.extraArgs = simArgs();
    sim_ = std::make_unique<test::SimProcess>(o);
    // No 5 s pause after a program's connect frame in these tests.
    IniFile(dir_->file("sysconfig.ini")).writeString("ParaDefault", "WaitTime", "0");
    open();
    QTest::mouseClick(child<QRadioButton>("RadioButton2"), Qt::LeftButton);
    child<QLineEdit>("edt_Ipaddress")->setText(QString::fromStdString(sim_->udpHost()));
    child<QLineEdit>("edt_Port")->setText(QString::number(sim_->udpPort()));
    para_ = std::make_unique<TFrmPara>(*window_);
    window().setParameterWindowOpener([this] { para_->showModal(); });
    // As the user does: the link test runs, and the parameter window opens.
    QTest::mouseClick(child<QPushButton>("btn_SetPara"), Qt::LeftButton);
    ASSERT_TRUE(uitest::waitUntil([&] { return para_->isVisible(); }, 10s));
    // It opens as the link test reports; its buttons wait for the worker to be idle.
    ASSERT_TRUE(uitest::waitUntil([&] { return !para_->commandRunning(); }, 10s));
  }
  void TearDown() override {
    FrmParaFixture::TearDown();
    sim_.reset();
  }

  // Clicks and waits until the worker has reported the outcome.
  void run(const char* button) {
    ASSERT_FALSE(para().commandRunning());
    click(button);
    ASSERT_TRUE(uitest::waitUntil([&] { return !para().commandRunning(); }, 30s)) << button;
  }
  QJsonObject stateWhen(const std::function<bool(const QJsonObject&)>& pred) {
    return sim_->waitForState(pred);
  }

  std::unique_ptr<test::SimProcess> sim_;
};

TEST_F(ParameterWindowWithPrinter, EachTabsButtonsReachThePrinter) {
  struct Case {
    const char* what;
    std::function<void(ParameterWindowWithPrinter&)> fill;
    const char* button;
    std::function<bool(const QJsonObject& settings)> stored;
  };
  const Case cases[] = {
      {"code page EUC-KR", [](auto& t) { t.pick("cbb_Codepage", 52); }, "btn_SetCodepage",
       [](const QJsonObject& s) { return s.value("codePage").toInt() == 250; }},
      {"switch byte: slightly dark, 16x18, no cutter, no buzzer",
       [](auto& t) {
         t.pick("cbb_Dark", 2);
         t.pick("cbb_FontValue", 3);
         t.template field<QCheckBox>("chk_buzzer")->setChecked(false);
         t.template field<QCheckBox>("chk_CutPaper")->setChecked(false);
       },
       "btn_SetForcepaper",
       [](const QJsonObject& s) { return s.value("switchByte").toInt() == 0x49; }},
      {"baud rate 115200", [](auto& t) { t.pick("cbb_BauRate", 7); }, "btn_SetBauRate",
       [](const QJsonObject& s) { return s.value("baudCode").toInt() == 4; }},
      {"sleep and power-off times",
       [](auto& t) { t.template field<QSpinBox>("edt_sleepTime")->setValue(90); },
       "btn_SetpoweroffTime",
       [](const QJsonObject& s) { return s.value("sleepTime").toInt() == 90; }},
      {"Bluetooth with only the dual-mode name", [](auto& t) { t.type("edt_smlyName", "Dual"); },
       "btn_SetlyPara",
       [](const QJsonObject& s) {
         QJsonObject bt = s.value("bluetooth").toObject();
         return bt.value("name").toString() == "Dual" && bt.value("dualName").toString() == "Dual";
       }},
      {"Wi-Fi station with a static address",
       [](auto& t) {
         t.type("edt_SSID", "ab");
         t.template field<QLineEdit>("edt_IPaddress")->setText("192.168.1.87");
         t.template field<QLineEdit>("edt_Port")->setText("9100");
       },
       "btn_SetSTAMode",
       [](const QJsonObject& s) {
         QJsonObject w = s.value("wifi").toObject();
         return w.value("ssid").toString() == "ab" && w.value("ip").toString() == "192.168.1.87" &&
                w.value("port").toInt() == 9100 && w.value("addressMode").toInt() == 1;
       }},
      // The address the link runs over: a printer on a network answers at its new address, and
      // the connection window follows it there.
      {"Ethernet address",
       [](auto& t) {
         t.template field<QLineEdit>("edt_NetIPAddress")
             ->setText(QString::fromStdString(t.sim_->udpHost()));
       },
       "btn_NetWorkSetIP",
       [](const QJsonObject& s) {
         return stateAt(s, {"ethernet"}).value("ip").toString() == "127.0.0.1";
       }},
      {"MAC address",
       [](auto& t) {
         t.template field<QLineEdit>("edt_macaddo")->setText("0A");
         t.template field<QLineEdit>("edt_macaddt")->setText("0B");
         t.template field<QLineEdit>("edt_macaddfr")->setText("0C");
         t.template field<QLineEdit>("edt_macaddfor")->setText("0D");
       },
       "btn_netgatewayt",
       [](const QJsonObject& s) {
         return stateAt(s, {"ethernet"}).value("mac").toString().contains("0a0b0c0d");
       }},
      {"infrared at 38400, IrDA",
       [](auto& t) {
         t.pick("cbb_InfraredBaurate", 2);
         t.pick("cbb_irdaProtecl", 1);
       },
       "btn_SetInfraredPara",
       [](const QJsonObject& s) {
         QJsonObject ir = s.value("infrared").toObject();
         return ir.value("baudCode").toInt() == 2 && ir.value("protocol").toInt() == 1;
       }},
      {"black-mark search distance", [](auto& t) { t.type("edt__Black_look_distance", "500"); },
       "btn_But_Black_look_dis_set",
       [](const QJsonObject& s) {
         return stateAt(s, {"blackMark"}).value("searchDistance").toInt() == 500;
       }},
      {"USB device type: virtual serial port", [](auto& t) { t.pick("cbb_UsbDeviceTpe", 0); },
       "btn_SetUsbDeviceType",
       [](const QJsonObject& s) { return s.value("usbType").toInt() == 0; }},
      {"paper size four inch", [](auto& t) { t.pick("cbb_PaperSize", 2); }, "btn_SetPaperSize",
       [](const QJsonObject& s) { return s.value("printSize").toInt() == 2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.fill(*this);
    run(c.button);
    QJsonObject settings =
        stateWhen([&](const QJsonObject& s) { return c.stored(stateAt(s, {"settings"})); });
    EXPECT_TRUE(c.stored(stateAt(settings, {"settings"}))) << panel0().toStdString();
  }
  // The connection window's report window is this one while it is shown.
  EXPECT_FALSE(panel0().isEmpty());
}

TEST_F(ParameterWindowWithPrinter, DeviceNameThenTheSerialNumberStepsForTheNextPrinter) {
  type("edt_DeviceName", "TP80");
  field<QLineEdit>("edt_DeviceSerialNo")->setText("1704269998");
  field<QRadioButton>("rb_Plus")->setChecked(true);
  run("btn_SetDevicePara");
  QJsonObject s = stateWhen([](const QJsonObject& s) {
    return stateAt(s, {"settings"}).value("deviceName").toString() == "TP80";
  });
  EXPECT_EQ(stateAt(s, {"settings"}).value("serialNumber").toString(), "1704269998");
  ASSERT_TRUE(uitest::waitUntil([&] { return panel0() == "设置设备参数成功"; }, 5s));
  EXPECT_EQ(field<QLineEdit>("edt_DeviceSerialNo")->text(), "1704269999");

  field<QRadioButton>("rb_Minus")->setChecked(true);
  run("btn_SetDevicePara");
  ASSERT_TRUE(uitest::waitUntil(
      [&] { return field<QLineEdit>("edt_DeviceSerialNo")->text() == "1704269998"; }, 5s));
}

TEST_F(ParameterWindowWithPrinter, CustomHexDataReachesThePrinterAsTyped) {
  field<QPlainTextEdit>("mmo_SendData")->setPlainText("1B40\n 0A ");
  run("btn_SendData");
  auto records = sim_->waitForRecords([](const std::vector<QJsonObject>& all) {
    for (const auto& r : all) {
      if (r.value("command").toInt() == 0x92) return true;
    }
    return false;
  });
  bool seen = false;
  for (const auto& r : records) {
    if (r.value("command").toInt() == 0x92) seen = r.value("data").toString() == "1b400a";
  }
  EXPECT_TRUE(seen);
}

TEST_F(ParameterWindowWithPrinter, TwoLogosDownloadedThenOnePrinted) {
  const std::string first = dir_->file("one.bmp");
  const std::string second = dir_->file("two.bmp");
  QImage a(20, 10, QImage::Format_RGB32);
  a.fill(Qt::black);
  ASSERT_TRUE(a.save(QString::fromStdString(first), "BMP"));
  // 24 x 24: its 1C 71 header (03 00 03 00) and blank raster hold nothing the simulator could
  // take for the start of a frame.
  QImage b(24, 24, QImage::Format_RGB32);
  b.fill(Qt::white);
  ASSERT_TRUE(b.save(QString::fromStdString(second), "BMP"));
  {
    uitest::FileDialogAnswers answers(
        {{QString::fromStdString(first), QString::fromStdString(second)}});
    click("btn_OpenLogo");
  }
  ASSERT_EQ(field<QListWidget>("ListBox1")->count(), 2);
  run("btn_EpsonDn");
  EXPECT_FALSE(panel0().contains("Failed")) << panel0().toStdString();
  QJsonObject s = stateWhen(
      [](const QJsonObject& s) { return stateAt(s, {"nvLogos"}).value("count").toInt() == 2; });
  QJsonArray images = stateAt(s, {"nvLogos"}).value("images").toArray();
  ASSERT_EQ(images.size(), 2);
  EXPECT_EQ(images[0].toObject().value("widthBytes").toInt(), 3);

  field<QListWidget>("ListBox1")->clearSelection();
  field<QListWidget>("ListBox1")->item(1)->setSelected(true);
  run("btn_PrintLogo");
  s = stateWhen([](const QJsonObject& s) {
    for (const auto& e : s.value("journal").toArray()) {
      if (e.toObject().value("kind").toString() == "logo") return true;
    }
    return false;
  });
  QStringList printed;
  for (const auto& e : s.value("journal").toArray()) {
    if (e.toObject().value("kind").toString() == "logo")
      printed << e.toObject().value("text").toString();
  }
  EXPECT_EQ(printed, QStringList{"2"});
  // The framed variant builds 1.bin in the program folder and sends it.
  run("btn_DownLogo");
  EXPECT_TRUE(QFile::exists(QString::fromStdString(dir_->file("1.bin"))));
  EXPECT_EQ(panel0().contains("Failed"), false) << panel0().toStdString();
}

TEST_F(ParameterWindowWithPrinter, FontDownloadedThenReadBackByteForByte) {
  QByteArray font;
  for (int i = 0; i < 3000; ++i) font.append(static_cast<char>((i * 7 + 3) & 0xFF));
  const QString fontPath = QString::fromStdString(dir_->file("font.bin"));
  {
    QFile f(fontPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(font);
  }
  {
    uitest::FileDialogAnswers answers({{fontPath}});
    click("btn_OpenFont");
    EXPECT_EQ(answers.lastTitle(), "选择字库文件");
  }
  EXPECT_EQ(field<QLineEdit>("edt_FontFile")->text(), fontPath);
  type("edt_FontAddress", "10000");
  run("btn_UpdateFont");
  // The transfer showed its progress and the file it was about.
  EXPECT_EQ(field<QProgressBar>("qt_transferProgress")->value(), 1000);
  EXPECT_TRUE(field<QLabel>("qt_statusPanel1")->text().contains("font.bin"));

  const QString back = QString::fromStdString(dir_->file("back.hex"));
  type("edt_StartAddress", "10000");
  type("edt_ReadLength", "3000");
  {
    uitest::FileDialogAnswers answers({{back}});
    run("btn_ReadFont");
  }
  QFile f(back);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << panel0().toStdString();
  const QByteArray read = f.readAll();
  // The printer answers in whole replies; the file holds what they carried.
  EXPECT_EQ(read.size(), 3072);
  EXPECT_TRUE(read.left(font.size()) == font);
}

TEST_F(ParameterWindowWithPrinter, ProgramUpdateIsStoredByThePrinter) {
  QByteArray program(0x3100, '\x5A');
  program.replace(0x3000, 8, "plenar80");
  const QString path = QString::fromStdString(dir_->file("fw.bin"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(program);
  }
  field<QLineEdit>("edt_Prgfile")->setText(path);
  run("btn_UpdatePrg");
  QJsonObject fw = stateAt(stateWhen([](const QJsonObject& s) {
                             return stateAt(s, {"firmware"}).value("updates").toInt() == 1;
                           }),
                           {"firmware"});
  EXPECT_EQ(fw.value("size").toInt(), 0x3100);
  EXPECT_EQ(fw.value("tag").toString(), "PLENAR80");
  EXPECT_EQ(panel0(), QString::fromStdString(text(TextId::ProgramUpdated)));
}

TEST_F(ParameterWindowWithPrinter, ClosingHandsTheWorkerBackAndEndsBootQuiet) {
  LinkState& state = window().engine().link().state();
  state.setBootQuiet(true);
  closePara();
  EXPECT_TRUE(window().isVisible());
  EXPECT_FALSE(window().connectedFlag());
  EXPECT_FALSE(state.linkOpen());
  EXPECT_FALSE(state.bootQuiet());
}

// A printer that answers every block 20 ms late: a transfer lasts long enough to close the window
// in the middle of it.
class SlowPrinter : public ParameterWindowWithPrinter {
 public:
  std::vector<std::string> simArgs() const override { return {"--fault", "delay:20"}; }
};

TEST_F(SlowPrinter, ClosingTheWindowDuringATransferNeitherHangsNorLosesTheOutcome) {
  const QString fontPath = QString::fromStdString(dir_->file("font.bin"));
  {
    QFile f(fontPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(16 * 1024, '\x11'));
  }
  field<QLineEdit>("edt_FontFile")->setText(fontPath);
  click("btn_UpdateFont");
  ASSERT_TRUE(para().commandRunning());
  QTest::qWait(200);
  ASSERT_TRUE(window().worker().isBusy());
  closePara();
  EXPECT_TRUE(window().isVisible());
  // The transfer runs to its end and reports to the connection window; its trace is saved.
  ASSERT_TRUE(uitest::waitUntil([&] { return !window().worker().isBusy(); }, 30s));
  std::ifstream log(dir_->file("debug.log"));
  std::string trace((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(trace.find("Send"), std::string::npos);
  EXPECT_TRUE(uitest::waitUntil([&] { return statusText().contains("100.0%"); }, 5s))
      << statusText().toStdString();
  // Opened again, the window takes the worker back and its buttons work.
  openPara();
  EXPECT_FALSE(para().commandRunning());
}

}  // namespace
}  // namespace plenar
