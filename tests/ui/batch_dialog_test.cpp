// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter window's batch bench against a stream of simulated printers on a serial port
// that comes and goes: each printer gets the profile and its own name and serial number, the list
// and the count follow, Stop ends the bench, and the inputs are named by their labels.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "FrmParaFixture.h"
#include "SimProcess.h"
#include "TempDir.h"

namespace plenar::uitest {
namespace {

using namespace std::chrono_literals;

class BatchDialogTest : public FrmParaFixture {
 protected:
  QDialog* dialog() { return para_->findChild<QDialog*>(QStringLiteral("FrmBatch")); }
  template <class T>
  T* in(const char* name) {
    T* w = dialog()->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void typeInto(const char* name, const QString& text) {
    QLineEdit* edit = in<QLineEdit>(name);
    edit->clear();
    QTest::keyClicks(edit, text);
  }
};

TEST_F(BatchDialogTest, PrinterAfterPrinterGetsTheProfileAndItsOwnNumberUntilStopped) {
  TempDir dir;
  // Each printer leaves at 115200 bit/s; the next bench still watches at the rate chosen.
  {
    std::ofstream(dir.file("shop.ini")) << "[ParaDefault]\nCodePage=CP437\nRptTime=20\n"
                                           "BaudRate=115200\n";
  }
  test::SimProcess::Options o;
  o.serial = false;
  o.udp = false;
  o.extraArgs = {"--state",          dir.file("printer{n}.json"),
                 "--stream",         "2",
                 "--stream-idle-ms", "300",
                 "--stream-gap-ms",  "500",
                 "--serial-link",    dir.file("ttyBENCH")};
  open();
  // The bench runs on the link the connection window took at its last button: here a pattern
  // for the bench's serial ports, which no test can reach.
  child<QComboBox>("cbb_Comname")->setEditText(QString::fromStdString(dir.file("tty*")));
  {
    MessageBoxWatcher boxes;
    QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
    ASSERT_TRUE(boxes.waitForBox(20s));
  }
  openPara();
  const QString rateBefore = child<QComboBox>("cbb_DevBauRate")->currentText();

  QTest::mouseClick(field<QAbstractButton>("btn_Batch"), Qt::LeftButton);
  ASSERT_NE(dialog(), nullptr);
  ASSERT_TRUE(waitUntil([&] { return dialog()->isVisible(); }, 5s));
  // Every input is named by its label.
  for (const char* name : {"edt_BatchProfile", "edt_BatchName", "edt_BatchFrom"}) {
    bool labelled = false;
    for (QLabel* l : dialog()->findChildren<QLabel*>()) labelled |= l->buddy() == in<QWidget>(name);
    EXPECT_TRUE(labelled) << name;
  }
  typeInto("edt_BatchProfile", QString::fromStdString(dir.file("shop.ini")));
  typeInto("edt_BatchName", QStringLiteral("Till {n:4}"));
  typeInto("edt_BatchFrom", QStringLiteral("0700"));
  // A port attached before Start (the last printer of an earlier bench) keeps its number: were it
  // taken, it would fail as printer 0700 and the stream's printers would be 0701 and 0702.
  std::filesystem::create_symlink("/dev/null", dir.file("ttyOLD"));
  QTest::mouseClick(in<QPushButton>("btn_BatchStart"), Qt::LeftButton);
  EXPECT_FALSE(in<QPushButton>("btn_BatchStart")->isEnabled());
  // A running bench stays on screen: Close is disabled, Escape and the window's close refused.
  EXPECT_FALSE(in<QPushButton>("btn_BatchClose")->isEnabled());
  QTest::keyClick(dialog(), Qt::Key_Escape);
  dialog()->close();
  EXPECT_TRUE(dialog()->isVisible());
  // The bench says so once it has looked at what is attached; the printers come after that.
  ASSERT_TRUE(waitUntil(
      [&] { return in<QLabel>("lbl_BatchActivity")->text().startsWith("已连接的打印机不作配置"); },
      20s));
  test::SimProcess sim(o);

  auto* list = in<QTreeWidget>("lv_BatchPrinters");
  auto doneRows = [&] {
    int n = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      n += list->topLevelItem(i)->text(2) == "完成";
    return n;
  };
  ASSERT_TRUE(waitUntil([&] { return doneRows() == 2; }, 60s))
      << in<QLabel>("lbl_BatchActivity")->text().toStdString();
  EXPECT_EQ(list->topLevelItem(0)->text(0), "0700");
  EXPECT_EQ(list->topLevelItem(1)->text(0), "0701");
  EXPECT_EQ(list->topLevelItem(1)->text(1), "Till 0701");
  EXPECT_EQ(in<QLabel>("lbl_BatchCounts")->text(), "完成 2，失败 0，中断 0");
  for (int n : {1, 2}) {
    const QJsonObject settings = test::stateAt(
        QJsonDocument::fromJson(
            QByteArray::fromStdString(dir.read("printer" + std::to_string(n) + ".json")))
            .object(),
        {"settings"});
    EXPECT_EQ(settings.value("serialNumber").toString(), n == 1 ? "0700" : "0701");
    EXPECT_EQ(settings.value("retractionTime").toInt(), 20);
  }

  // Waiting for a third that never comes: Stop ends the bench and the window is free again.
  QTest::mouseClick(in<QPushButton>("btn_BatchStop"), Qt::LeftButton);
  EXPECT_TRUE(in<QPushButton>("btn_BatchStart")->isEnabled());
  EXPECT_TRUE(in<QPushButton>("btn_BatchClose")->isEnabled());
  EXPECT_EQ(child<QComboBox>("cbb_DevBauRate")->currentText(), rateBefore);
  EXPECT_TRUE(field<QAbstractButton>("btn_ApplyProfile")->isEnabled());
  const std::string report = dir_->file("batch/report.jsonl");
  std::ifstream lines(report);
  int count = 0;
  for (std::string line; std::getline(lines, line);) ++count;
  EXPECT_EQ(count, 2) << report;
}

}  // namespace
}  // namespace plenar::uitest
