// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QJsonObject>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

namespace plenar {
namespace {

using test::SimProcess;

// The simulator's printer on LPT1 (/dev/lp0, /dev/parport0 in its testbed), and plenar run
// against it under the umockdev preload.
class LptPrinter {
 public:
  explicit LptPrinter(std::vector<std::string> faults = {}) : sim_(options(std::move(faults))) {}

  // plenar's exit code and what it wrote to stderr.
  test::ProgramRun plenar(const std::string& args) const {
    const std::string prefix = "UMOCKDEV_DIR=";
    const std::string announced = sim_.announced("lpt");
    EXPECT_EQ(announced.rfind(prefix, 0), 0u) << announced;
    const std::string env =
        "UMOCKDEV_DIR=" + test::shellQuoted(announced.substr(prefix.size())) +
        " LD_PRELOAD=\"${LD_PRELOAD:+$LD_PRELOAD:}libumockdev-preload.so.0\""
        // A sanitizer build refuses a preloaded library that comes before its runtime.
        " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" ";
    return test::runShell(
        env + test::plenarCommandLine("--dir " + dir_.path() + " " + args + " 2>&1 >/dev/null"));
  }

  // Waits until the printer has `count` records of `kind` from the parallel link.
  std::vector<QJsonObject> lptRecords(const std::string& kind, std::size_t count) const {
    auto select = [&](const std::vector<QJsonObject>& all) {
      std::vector<QJsonObject> out;
      for (const auto& r : all) {
        if (r.value("link").toString() == "lpt" && r.value("kind").toString() == kind.c_str()) {
          out.push_back(r);
        }
      }
      return out;
    };
    return select(sim_.waitForRecords(
        [&](const std::vector<QJsonObject>& all) { return select(all).size() >= count; }));
  }

  const SimProcess& sim() const { return sim_; }
  // Writes `bytes` to a file in the program folder; returns its path.
  std::string file(const std::string& name, const std::string& bytes) const {
    dir_.write(name, bytes);
    return dir_.file(name);
  }

 private:
  static SimProcess::Options options(std::vector<std::string> faults) {
    SimProcess::Options o;
    o.serial = false;
    o.extraArgs = {"--lpt", "1"};
    for (auto& f : faults) o.extraArgs.insert(o.extraArgs.end(), {"--lpt-fault", f});
    return o;
  }

  SimProcess sim_;
  TempDir dir_;
};

TEST(ParallelLinkTest, LinkTestFindsTheParallelPrinter) {
  LptPrinter printer;
  auto r = printer.plenar("--lpt 1 test");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output, "CheckingLPT1\nLPT1 Found\n");
  // The port the link test opened is the one the connection window lists.
  auto list = test::runShell("UMOCKDEV_DIR=" + printer.sim().announced("lpt").substr(13) +
                             " LD_PRELOAD=libumockdev-preload.so.0" +
                             " ASAN_OPTIONS=verify_asan_link_order=0 " +
                             test::plenarCommandLine("list-lpt"));
  EXPECT_EQ(list.output, "LPT1 0x378 /dev/lp0\n");
}

TEST(ParallelLinkTest, UsbPrinterAndParallelPortShareOneTestbed) {
  SimProcess::Options o;
  o.serial = false;
  o.usb = "1234:811E";
  o.extraArgs = {"--lpt", "1"};
  SimProcess sim(o);
  EXPECT_FALSE(sim.usbDir().empty());
  EXPECT_EQ("UMOCKDEV_DIR=" + sim.usbDir(), sim.announced("lpt"));
}

TEST(ParallelLinkTest, MissingPortFailsTheLinkTest) {
  LptPrinter printer;
  auto r = printer.plenar("--lpt 2 test");
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("Connecting Failed"), std::string::npos) << r.output;
}

TEST(ParallelLinkTest, SettingsRawSequencesAndUserDataReachThePrinter) {
  LptPrinter printer;
  for (auto args : {"set-codepage 52", "paper-type label", "send --text Hello"}) {
    auto r = printer.plenar(std::string("--lpt 1 ") + args);
    EXPECT_EQ(r.exitCode, 0) << args << ": " << r.output;
  }
  auto settings = [&] { return test::stateAt(printer.sim().state(), {"settings"}); };
  printer.sim().waitForState([](const QJsonObject& s) {
    auto set = test::stateAt(s, {"settings"});
    return set.value("codePage").toInt() == 250 && set.value("paperType").toInt() == 1;
  });
  EXPECT_EQ(settings().value("codePage").toInt(), 250);
  EXPECT_EQ(settings().value("paperType").toInt(), 1);
  bool userData = false;
  for (const auto& f : printer.lptRecords("frame", 2)) {
    userData |= f.value("command").toInt() == 0x92 && f.value("data").toString() == "48656c6c6f";
  }
  EXPECT_TRUE(userData);
  EXPECT_FALSE(printer.lptRecords("sequence", 1).empty());
}

// A port that fails part way through a command fails the command with the system's text.
TEST(ParallelLinkTest, WriteFailureMidCommandIsReportedAsFailure) {
  struct Case {
    const char* fault;
    const char* text;
  };
  const Case cases[] = {
      {"write-error-after:16", "LPT1 write failed: Input/output error"},
      {"vanish-after:16", "LPT1 write failed: No such device"},
      {"paper-out", "LPT1 write failed: Input/output error (printer paper out, fault)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    LptPrinter printer({c.fault});
    // A font of four 256-byte blocks goes out in four frames: the first is taken, then the
    // port fails.
    const std::string font = printer.file("font.bin", std::string(1024, '\x55'));
    auto r = printer.plenar("--lpt 1 font " + font + " --address 0");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find(c.text), std::string::npos) << r.output;
  }
}

}  // namespace
}  // namespace plenar
