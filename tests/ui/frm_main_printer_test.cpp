// SPDX-License-Identifier: GPL-3.0-or-later
// The connection window against the printer simulator: over a pseudo-terminal and over UDP.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "FrmMainFixture.h"
#include "SimProcess.h"
#include "UiTestSupport.h"
#include "app/Engine.h"
#include "app/MainDefault.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;

class ConnectionWindowWithPrinter : public uitest::FrmMainFixture {
 protected:
  static test::SimProcess::Options udpOnly() {
    test::SimProcess::Options o;
    o.serial = false;
    o.udp = true;
    return o;
  }
  void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  void chooseNetwork(const test::SimProcess& sim) {
    QTest::mouseClick(child<QRadioButton>("RadioButton2"), Qt::LeftButton);
    typeInto(child<QLineEdit>("edt_Ipaddress"), QString::fromStdString(sim.udpHost()));
    typeInto(child<QLineEdit>("edt_Port"), QString::number(sim.udpPort()));
  }
  bool workerIdle() { return !window().worker().isBusy(); }
};

TEST_F(ConnectionWindowWithPrinter, TestOverAPseudoTerminalFindsThePrinter) {
  test::SimProcess sim;
  open();
  const QString port = QString::fromStdString(sim.serialPath());
  typeInto(child<QComboBox>("cbb_Comname")->lineEdit(), port);

  uitest::MessageBoxWatcher boxes;
  QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
  ASSERT_TRUE(boxes.waitForBox(20s));
  EXPECT_EQ(boxes.texts().last(), "连接成功");
  EXPECT_TRUE(window().connectedFlag());
  EXPECT_EQ(window().rememberedLink().serialPort, sim.serialPath());
  ASSERT_TRUE(uitest::waitUntil([&] { return statusText() == port + "Found"; }, 10s))
      << statusText().toStdString();
}

TEST_F(ConnectionWindowWithPrinter, TestOverUdpFindsThePrinterInEnglish) {
  test::SimProcess sim(udpOnly());
  open();
  chooseNetwork(sim);
  auto* language = child<QComboBox>("cbb_Language");
  language->setFocus();
  QTest::keyClick(language, Qt::Key_Down);

  uitest::MessageBoxWatcher boxes;
  QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
  ASSERT_TRUE(boxes.waitForBox(20s));
  EXPECT_EQ(boxes.texts().last(), "Connected successfully.");
  const QString where =
      QStringLiteral("%1:%2").arg(QString::fromStdString(sim.udpHost())).arg(sim.udpPort());
  ASSERT_TRUE(uitest::waitUntil([&] { return statusText() == where + " Found"; }, 10s))
      << statusText().toStdString();
}

TEST_F(ConnectionWindowWithPrinter, SetParametersWithAnAnsweringPrinterOpensWithoutABox) {
  auto sim = std::make_unique<test::SimProcess>(udpOnly());
  open();
  chooseNetwork(*sim);
  int opened = 0;
  window().setParameterWindowOpener([&] { ++opened; });

  uitest::MessageBoxWatcher boxes;
  QTest::mouseClick(child<QPushButton>("btn_SetPara"), Qt::LeftButton);
  // The window waits for the link test without blocking its thread.
  ASSERT_TRUE(uitest::waitUntil([&] { return opened == 1; }, 10s));
  EXPECT_TRUE(boxes.texts().isEmpty());
  MainDefault stored = readMainDefault(IniFile(dir_->file("sysconfig.ini")));
  EXPECT_EQ(stored.ipAddress, sim->udpHost());
  EXPECT_EQ(stored.language, 0);
  EXPECT_EQ(stored.tranMode, 1);

  // A second press after the successful test opens at once: no new test, even with the printer
  // gone.
  ASSERT_TRUE(uitest::waitUntil([&] { return workerIdle(); }, 10s));
  sim.reset();
  QTest::mouseClick(child<QPushButton>("btn_SetPara"), Qt::LeftButton);
  EXPECT_EQ(opened, 2);
  EXPECT_TRUE(workerIdle());

  // Another link choice forgets the test: the next press tests again, and fails.
  QTest::mouseClick(child<QRadioButton>("RadioButton1"), Qt::LeftButton);
  QTest::mouseClick(child<QRadioButton>("RadioButton2"), Qt::LeftButton);
  QTest::mouseClick(child<QPushButton>("btn_SetPara"), Qt::LeftButton);
  EXPECT_EQ(opened, 2);
  ASSERT_TRUE(boxes.waitForBox(20s));
  EXPECT_EQ(boxes.texts().last(), QString::fromStdString(text(TextId::ConnectFailed)));
  EXPECT_EQ(opened, 2);
}

TEST_F(ConnectionWindowWithPrinter, ParameterWindowClosingForgetsTheTest) {
  test::SimProcess sim(udpOnly());
  open();
  chooseNetwork(sim);
  int opened = 0;
  window().setParameterWindowOpener([&] {
    ++opened;
    EXPECT_FALSE(window().isVisible());
    window().parameterWindowClosed();
  });
  QTest::mouseClick(child<QPushButton>("btn_SetPara"), Qt::LeftButton);
  ASSERT_TRUE(uitest::waitUntil([&] { return opened == 1; }, 10s));
  EXPECT_TRUE(window().isVisible());
  EXPECT_FALSE(window().connectedFlag());
  EXPECT_FALSE(window().engine().linkOpen());
}

TEST_F(ConnectionWindowWithPrinter, APortThatWillNotOpenSaysWhyInTheBoxDetails) {
  open();
  typeInto(child<QComboBox>("cbb_Comname")->lineEdit(), "/dev/ttyPLENAR-none");
  uitest::MessageBoxWatcher boxes;
  QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
  ASSERT_TRUE(boxes.waitForBox(20s));
  EXPECT_EQ(boxes.texts().last(), QString::fromStdString(text(TextId::ConnectFailed)));
  EXPECT_TRUE(boxes.details().last().contains("does not exist"))
      << boxes.details().last().toStdString();
}

TEST_F(ConnectionWindowWithPrinter, ClosingDuringTheBootHandshakeEndsPromptly) {
  test::SimProcess::Options o;
  o.extraArgs = {"--no-boot"};  // never answers the handshake: it would run 1001 x 50 ms
  test::SimProcess sim(o);
  open();
  typeInto(child<QComboBox>("cbb_Comname")->lineEdit(), QString::fromStdString(sim.serialPath()));
  QTest::mouseClick(child<QPushButton>("but_bootIn"), Qt::LeftButton);
  ASSERT_TRUE(uitest::waitUntil([&] { return window().worker().isBusy(); }, 10s));
  QTest::qWait(300);
  const auto start = std::chrono::steady_clock::now();
  destroyWindow();
  // Bounded loosely for a loaded machine; before, the handshake ran on for about 50 s.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

}  // namespace
}  // namespace plenar
