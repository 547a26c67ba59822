// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter window's profile buttons against the printer simulator over UDP: the fields saved
// as a profile that plenar apply takes as it is, applied back from the window with every step
// listed, a second apply that sends nothing, and refused profiles that send nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "FrmParaFixture.h"
#include "SimProcess.h"
#include "platform/IniFile.h"
#include "profile/ApplyRecord.h"
#include "profile/Profile.h"
#include "profile/ProfileGroups.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;
using test::stateAt;

class ProfileButtons : public uitest::FrmParaFixture {
 public:
  virtual std::vector<std::string> simArgs() const { return {}; }

  void SetUp() override {
    FrmParaFixture::SetUp();
    test::SimProcess::Options o;
    o.serial = false;
    o.udp = true;
    o.extraArgs = simArgs();
    sim_ = std::make_unique<test::SimProcess>(o);
    open();
    QTest::mouseClick(child<QRadioButton>("RadioButton2"), Qt::LeftButton);
    child<QLineEdit>("edt_Ipaddress")->setText(QString::fromStdString(sim_->udpHost()));
    child<QLineEdit>("edt_Port")->setText(QString::number(sim_->udpPort()));
    para_ = std::make_unique<TFrmPara>(*window_);
    window().setParameterWindowOpener([this] { para_->showModal(); });
    QTest::mouseClick(child<QPushButton>("btn_SetPara"), Qt::LeftButton);
    ASSERT_TRUE(uitest::waitUntil([&] { return para_->isVisible(); }, 10s));
    // The window opens as the link test reports; its buttons wait for the worker to be idle.
    ASSERT_TRUE(uitest::waitUntil([&] { return !para_->commandRunning(); }, 10s));
  }
  void TearDown() override {
    FrmParaFixture::TearDown();
    sim_.reset();
  }

  // As the user who tabs to the button and presses the space bar; `file` answers its file
  // dialog, and the groups dialog of a save is answered with its defaults but `toggle`.
  void press(const char* button, const std::string& file, QStringList toggle = {}) {
    groups_ = std::make_unique<uitest::SaveGroupsAnswer>(std::move(toggle));
    uitest::FileDialogAnswers answers({{QString::fromStdString(file)}});
    auto* b = field<QToolButton>(button);
    ASSERT_TRUE(b->isEnabled()) << button;
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Space);
  }
  // The status column of the progress dialog.
  QStringList statuses() {
    QStringList out;
    auto* steps = field<QTreeWidget>("qt_applySteps");
    for (int i = 0; i < steps->topLevelItemCount(); ++i) out << steps->topLevelItem(i)->text(2);
    return out;
  }

  std::unique_ptr<test::SimProcess> sim_;
  std::unique_ptr<uitest::SaveGroupsAnswer> groups_;
};

TEST_F(ProfileButtons, SavedFieldsApplyBackToThePrinterAndASecondApplySendsNothing) {
  // An existing profile others may read is replaced by one only its owner reads.
  const std::string path = dir_->file("shop.ini");
  { std::ofstream(path) << "[Files]\nFirmware=old.bin\n"; }
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  pick("cbb_Codepage", 52);
  field<QSpinBox>("edt_sleepTime")->setValue(90);
  // Per printer: left out by default, so the apply below leaves the printer's own alone.
  field<QLineEdit>("edt_NetIPAddress")->setText("10.1.2.3");
  type("edt_DeviceName", "TP80");
  QStringList warnings;
  {
    // The dialog asks before it replaces the file: yes. Any other box is a warning.
    QTimer replace;
    QObject::connect(&replace, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
        yes->click();
      } else {
        warnings << box->text();
        box->buttons().first()->click();
      }
    });
    replace.start(20);
    press("btn_SaveProfile", path);
  }
  EXPECT_TRUE(warnings.isEmpty()) << warnings.join("\n").toStdString();
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A profile for plenar apply as it is, without what differs per printer; nothing of the old
  // file is left.
  const Profile profile = loadProfile(path);
  const ProfileGroups groups = buildProfileGroups(profile, {}, std::nullopt);
  EXPECT_GT(groups.groups.size(), 18u);
  EXPECT_EQ(profile.find("CodePage")->value.rfind("EUC-KR", 0), 0u)
      << profile.find("CodePage")->value;
  EXPECT_FALSE(profile.files.firmware);
  for (const ProfileGroup& g : groups.groups) {
    EXPECT_NE(g.name, "net-ip");
    EXPECT_NE(g.name, "net-mac");
  }
  EXPECT_TRUE(profile.ignored.empty()) << profile.ignored.front().key;
  const QJsonObject ethernetBefore = stateAt(sim_->state(), {"settings", "ethernet"});

  press("btn_ApplyProfile", path);
  // Running: the window's buttons wait, the dialog lists every group.
  EXPECT_TRUE(para().commandRunning());
  EXPECT_FALSE(field<QPushButton>("btn_SetCodepage")->isEnabled());
  EXPECT_FALSE(field<QToolButton>("btn_ApplyProfile")->isEnabled());
  ASSERT_TRUE(uitest::waitUntil([&] { return !para().commandRunning(); }, 60s));
  EXPECT_TRUE(field<QPushButton>("btn_SetCodepage")->isEnabled());
  EXPECT_EQ(statuses(), QStringList(static_cast<int>(groups.groups.size()), "已完成"))
      << field<QPlainTextEdit>("qt_applyResult")->toPlainText().toStdString();
  const QJsonObject settings = stateAt(sim_->state(), {"settings"});
  EXPECT_EQ(settings.value("codePage").toInt(), 250);
  EXPECT_EQ(settings.value("sleepTime").toInt(), 90);
  EXPECT_TRUE(QFile::exists(QString::fromStdString(
      defaultRecordPath(window().paths().stateDir, window().linkSnapshot()))));
  EXPECT_EQ(field<QTreeWidget>("qt_applySteps")->accessibleName(), "步骤");
  EXPECT_EQ(stateAt(sim_->state(), {"settings", "ethernet"}), ethernetBefore);

  // The record says every group is in place: nothing at all goes to the printer.
  const std::size_t sent = sim_->records().size();
  press("btn_ApplyProfile", path);
  ASSERT_TRUE(uitest::waitUntil([&] { return !para().commandRunning(); }, 10s));
  EXPECT_EQ(statuses(), QStringList(static_cast<int>(groups.groups.size()), "未变"));
  QTest::qWait(100);
  EXPECT_EQ(sim_->records().size(), sent);
}

// The groups to save, in either language: the per-printer ones start unchecked under the line
// that says why, and the file holds the checked groups' keys and no others.
TEST_F(ProfileButtons, SaveWritesTheCheckedGroupsAndLeavesThePerPrinterOnesOutByDefault) {
  struct Case {
    int language;
    QStringList toggle;  // from the defaults
    std::vector<std::string> present, absent;
  };
  const Case cases[] = {
      {0, {}, {"CodePage", "Subnetmask"}, {"NetIPAddress", "MAC", "DeviceName", "DeviceSerialNo"}},
      {1,
       {"net-ip", "codepage"},
       {"NetIPAddress", "Subnetmask"},
       {"CodePage", "MAC", "DeviceName"}},
      {1, {"device", "net-mac"}, {"DeviceName", "DeviceSerialNo", "MAC"}, {"NetIPAddress"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    window().applyLanguageIndex(c.language);
    const std::string path = dir_->file("groups.ini");
    std::remove(path.c_str());
    press("btn_SaveProfile", path, c.toggle);
    ASSERT_FALSE(groups_->seen().isEmpty());
    // Named by its label, without the colon.
    EXPECT_FALSE(groups_->accessibleName.isEmpty());
    EXPECT_TRUE(groups_->listCaption.startsWith(groups_->accessibleName));
    EXPECT_EQ(groups_->listCaption.size(), groups_->accessibleName.size() + 1);
    EXPECT_EQ(uitest::hasCjk(groups_->why), c.language == 0) << groups_->why.toStdString();
    EXPECT_EQ(groups_->accessibleDescription, groups_->why);
    for (const auto& item : groups_->seen()) {
      SCOPED_TRACE(item.text.toStdString());
      const bool perPrinter = QStringList{"net-ip", "net-mac", "device"}.contains(item.group);
      EXPECT_EQ(item.checked, !perPrinter);
      EXPECT_TRUE(item.text.contains(item.group));
      EXPECT_EQ(uitest::hasCjk(item.text), c.language == 0);
    }
    const IniDocument saved = IniFile(path).load();
    for (const std::string& key : c.present) EXPECT_TRUE(saved.find("ParaDefault", key)) << key;
    for (const std::string& key : c.absent) EXPECT_FALSE(saved.find("ParaDefault", key)) << key;
  }
  // Cancelled: nothing is written.
  const std::string path = dir_->file("none.ini");
  groups_ = std::make_unique<uitest::SaveGroupsAnswer>(QStringList{}, true);
  auto* b = field<QToolButton>("btn_SaveProfile");
  b->setFocus();
  QTest::keyClick(b, Qt::Key_Space);
  ASSERT_FALSE(groups_->seen().isEmpty());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

TEST_F(ProfileButtons, RefusedProfilesNameKeyAndLineAndSendNothing) {
  struct Case {
    const char* profile;
    const char* key;
    const char* line;
  };
  const Case cases[] = {
      {"[ParaDefault]\nCodePage=CP437\nPaperType=A4\n", "PaperType", "line 3"},
      {"[ParaDefault]\nRptTime=30\nNoSuchKey=1\n", "NoSuchKey", "line 3"},
      // Both Wi-Fi modes named, as a window whose two Wi-Fi forms were both filled stores them.
      {"[ParaDefault]\nNetworkName=ap\nNetworkPsw=\nSSID=sta\nStaModePsw=\nIpType=0\nPort=9100\n",
       "SSID", "line 4"},
  };
  const std::size_t sent = sim_->records().size();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    const std::string path = dir_->file("bad.ini");
    { std::ofstream(path) << c.profile; }
    uitest::MessageBoxWatcher boxes;
    press("btn_ApplyProfile", path);
    ASSERT_TRUE(boxes.waitForBox(5s));
    EXPECT_TRUE(boxes.texts().first().contains(c.key)) << boxes.texts().first().toStdString();
    EXPECT_TRUE(boxes.texts().first().contains(c.line)) << boxes.texts().first().toStdString();
    EXPECT_FALSE(para().commandRunning());
  }
  EXPECT_EQ(sim_->records().size(), sent);

  // Saved with both Wi-Fi forms filled: the file is written, and the warning says what plenar
  // apply would refuse in it.
  type("edt_GuangboName", "ap");
  type("edt_SSID", "sta");
  const std::string saved = dir_->file("both.ini");
  uitest::MessageBoxWatcher boxes;
  press("btn_SaveProfile", saved);
  ASSERT_TRUE(boxes.waitForBox(5s));
  EXPECT_TRUE(boxes.texts().first().contains("SSID")) << boxes.texts().first().toStdString();
  EXPECT_TRUE(QFile::exists(QString::fromStdString(saved)));
}

// A password typed into the window reaches the printer, the saved profile and sysconfig.ini
// (0600, by design), and nothing else: not the trace, the apply record or the apply dialog.
TEST_F(ProfileButtons, APasswordFromTheWindowReachesOnlyThePrinterAndItsFiles) {
  const std::string canary = "Wq" + std::to_string(::getpid()) + "Cy";
  type("edt_GuangboName", "shop");
  type("edt_APPsw", QString::fromStdString(canary));
  QTest::mouseClick(field<QPushButton>("btn_SetAPMode"), Qt::LeftButton);
  ASSERT_TRUE(uitest::waitUntil([&] { return !para().commandRunning(); }, 10s));
  const std::string path = dir_->file("ap.ini");
  press("btn_SaveProfile", path);
  ASSERT_TRUE(uitest::waitUntil([&] { return QFile::exists(QString::fromStdString(path)); }, 5s));
  press("btn_ApplyProfile", path);
  ASSERT_TRUE(uitest::waitUntil([&] { return !para().commandRunning(); }, 60s));

  auto readAll = [](const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };
  std::string hex;
  for (unsigned char c : canary) {
    static const char* digits = "0123456789abcdef";
    hex += std::string(hex.empty() ? "" : " ") + digits[c >> 4] + digits[c & 0x0F];
  }
  bool reached = false;
  for (const auto& r : sim_->records()) {
    std::string data = r.value("data").toString().toLower().toStdString();
    reached = reached || data.find(hex) != std::string::npos ||
              data.find(QString::fromStdString(hex).remove(' ').toStdString()) != std::string::npos;
  }
  EXPECT_TRUE(reached) << "the password never reached the printer";

  const std::string stateDir = window().paths().stateDir;
  const std::string kept[] = {stateDir + "/debug.log",
                              defaultRecordPath(stateDir, window().linkSnapshot())};
  for (const std::string& file : kept) {
    const std::string text = readAll(file);
    ASSERT_FALSE(text.empty()) << file;
    EXPECT_EQ(text.find(canary), std::string::npos) << file;
    EXPECT_EQ(text.find(hex), std::string::npos) << file;
  }
  const QString shown = field<QPlainTextEdit>("qt_applyResult")->toPlainText();
  EXPECT_FALSE(shown.contains(QString::fromStdString(canary))) << shown.toStdString();
  for (const std::string& file : {path, window().paths().settingsFile()}) {
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0) << file;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
  }
}

// The result's notes and line heads in the window's language: a record that cannot be read.
TEST_F(ProfileButtons, TheResultSpeaksTheWindowsLanguage) {
  struct Case {
    int language;
    QStringList expected;
  };
  const Case cases[] = {
      {0, {"注意: ", "所有配置组都会发送", "记录: "}},
      {1, {"note: ", "every group is sent", "record: "}},
  };
  const std::string path = dir_->file("shop.ini");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    window().applyLanguageIndex(c.language);
    { std::ofstream(path) << "[ParaDefault]\nRptTime=" << 40 + c.language << "\n"; }
    const std::string record =
        defaultRecordPath(window().paths().stateDir, window().linkSnapshot());
    std::filesystem::create_directories(std::filesystem::path(record).parent_path());
    chmod(std::filesystem::path(record).parent_path().c_str(), 0700);
    { std::ofstream(record) << "not a record"; }
    press("btn_ApplyProfile", path);
    ASSERT_TRUE(uitest::waitUntil([&] { return !para().commandRunning(); }, 30s));
    const QString result = field<QPlainTextEdit>("qt_applyResult")->toPlainText();
    for (const QString& e : c.expected) EXPECT_TRUE(result.contains(e)) << result.toStdString();
    EXPECT_EQ(uitest::hasCjk(result), c.language == 0) << result.toStdString();
  }
}

// A printer that stops answering part-way through the apply.
class PrinterGoneMidway : public ProfileButtons {
 public:
  std::vector<std::string> simArgs() const override { return {"--fault", "close-after:6"}; }
};

TEST_F(PrinterGoneMidway, TheFailedStepAndItsErrorAreShownAndTheRestIsNotRun) {
  const std::string path = dir_->file("shop.ini");
  { std::ofstream(path) << "[ParaDefault]\nCodePage=CP850\nRptTime=45\nPaperType=receipt\n"; }
  press("btn_ApplyProfile", path);
  ASSERT_TRUE(uitest::waitUntil([&] { return !para().commandRunning(); }, 60s));
  EXPECT_TRUE(field<QToolButton>("btn_ApplyProfile")->isEnabled());
  const QStringList st = statuses();
  const qsizetype failed = st.indexOf("失败");
  ASSERT_GE(failed, 0) << st.join(' ').toStdString();
  for (qsizetype i = 0; i < st.size(); ++i) {
    EXPECT_EQ(st[i], i < failed ? "已完成" : i == failed ? "失败" : "未执行") << i;
  }
  // The summary, then the failure text of the printer's link.
  const QStringList result = field<QPlainTextEdit>("qt_applyResult")->toPlainText().split('\n');
  ASSERT_GE(result.size(), 2);
  EXPECT_TRUE(result[0].contains("失败: 1")) << result[0].toStdString();
  EXPECT_TRUE(result[1].contains("Failed")) << result[1].toStdString();
}

// A printer whose UDP link moves with its Ethernet address, as one on a network does.
class PrinterOnANetwork : public ProfileButtons {
 public:
  std::vector<std::string> simArgs() const override { return {"--udp-follows-ip"}; }
};

// A new address, by an apply and by the address's own button: the connection window shows it
// and its link test finds the printer there.
TEST_F(PrinterOnANetwork, TheConnectionWindowFollowsANewAddress) {
  struct Case {
    bool apply;
    const char* address;
  };
  for (const Case& c : {Case{true, "127.0.0.2"}, Case{false, "127.0.0.3"}}) {
    SCOPED_TRACE(c.address);
    if (c.apply) {
      const std::string path = dir_->file("move.ini");
      { std::ofstream(path) << "[ParaDefault]\nRptTime=30\nNetIPAddress=" << c.address << "\n"; }
      press("btn_ApplyProfile", path);
      ASSERT_TRUE(uitest::waitUntil([&] { return !para().commandRunning(); }, 30s));
      EXPECT_EQ(statuses(), QStringList({"已完成", "已完成"}))
          << field<QPlainTextEdit>("qt_applyResult")->toPlainText().toStdString();
    } else {
      type("edt_NetIPAddress", c.address);
      click("btn_NetWorkSetIP");
      ASSERT_TRUE(uitest::waitUntil([&] { return !para().commandRunning(); }, 30s));
    }
    EXPECT_EQ(stateAt(sim_->state(), {"settings", "ethernet"}).value("ip").toString(), c.address);
    EXPECT_EQ(child<QLineEdit>("edt_Ipaddress")->text(), c.address);
    EXPECT_EQ(window().linkSnapshot().ipAddress, c.address);

    closePara();
    uitest::MessageBoxWatcher boxes;
    QTest::mouseClick(child<QPushButton>("btn_Test"), Qt::LeftButton);
    ASSERT_TRUE(boxes.waitForBox(10s));
    EXPECT_EQ(boxes.texts().first(), QString::fromStdString(text(TextId::ConnectOk)));
    // Back to the parameter window for the next case.
    QTest::mouseClick(child<QPushButton>("btn_SetPara"), Qt::LeftButton);
    ASSERT_TRUE(uitest::waitUntil([&] { return para_->isVisible(); }, 10s));
    ASSERT_TRUE(uitest::waitUntil([&] { return !para_->commandRunning(); }, 10s));
  }
}

}  // namespace
}  // namespace plenar
