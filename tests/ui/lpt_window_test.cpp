// SPDX-License-Identifier: GPL-3.0-or-later
// The connection window's parallel port list and link test against the simulator's parallel
// printer. This process runs under the umockdev preload (linked in) and looks into the
// simulator's testbed through UMOCKDEV_DIR, as the application does when run.sh starts it.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdlib>

#include "FrmMainFixture.h"
#include "SimProcess.h"
#include "UiTestSupport.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;

class ConnectionWindowWithParallelPrinter : public uitest::FrmMainFixture {
 protected:
  void SetUp() override {
    FrmMainFixture::SetUp();
    test::SimProcess::Options o;
    o.serial = false;
    o.extraArgs = {"--lpt", "1"};
    sim_ = std::make_unique<test::SimProcess>(o);
    const std::string prefix = "UMOCKDEV_DIR=";
    const std::string announced = sim_->announced("lpt");
    ASSERT_EQ(announced.rfind(prefix, 0), 0u) << announced;
    ::setenv("UMOCKDEV_DIR", announced.substr(prefix.size()).c_str(), 1);
  }
  void TearDown() override {
    FrmMainFixture::TearDown();
    ::unsetenv("UMOCKDEV_DIR");
    sim_.reset();
  }

  std::unique_ptr<test::SimProcess> sim_;
};

TEST_F(ConnectionWindowWithParallelPrinter, ListsThePortAndTheLinkTestFindsThePrinter) {
  open();
  auto* lpt = child<QComboBox>("cbb_Lpt");
  ASSERT_EQ(lpt->count(), 1);
  EXPECT_EQ(lpt->currentText(), "LPT1");

  QTest::mouseClick(child<QRadioButton>("RadioButton4"), Qt::LeftButton);
  uitest::MessageBoxWatcher boxes;
  QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
  ASSERT_TRUE(boxes.waitForBox(20s));
  EXPECT_EQ(boxes.texts().last(), "连接成功");
  EXPECT_TRUE(window().connectedFlag());
  EXPECT_EQ(window().rememberedLink().lptNumber, 1);
  EXPECT_TRUE(uitest::waitUntil([&] { return statusText() == "LPT1 Found"; }, 10s))
      << statusText().toStdString();
}

}  // namespace
}  // namespace plenar
