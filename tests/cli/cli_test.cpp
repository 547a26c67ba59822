// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>

#include "RunProgram.h"
#include "TempDir.h"
#include "cli/CliArgs.h"
#include "cli/CliCommands.h"

using namespace plenar;
using namespace plenar::cli;

namespace {

struct Run {
  int exitCode;
  std::string out;
};

// Runs the built plenar program; stderr joins stdout.
Run runPlenar(const std::string& args) {
  auto r = plenar::test::runShell(plenar::test::plenarCommandLine(args) + " 2>&1");
  return {r.exitCode, r.output};
}

}  // namespace

TEST(CliOptions, SharedOptionsAnywhereOnTheLine) {
  auto o = parseCommonOptions({"set-baud", "--serial", "/dev/ttyUSB0", "115200", "--device-baud",
                               "19200", "--dir=/tmp/x", "--lang", "en"});
  EXPECT_EQ(o.command, "set-baud");
  EXPECT_EQ(o.rest, std::vector<std::string>{"115200"});
  EXPECT_EQ(o.link.kind, LinkKind::Serial);
  EXPECT_EQ(o.link.serialPort, "/dev/ttyUSB0");
  EXPECT_EQ(o.link.deviceBaudText, "19200");
  EXPECT_EQ(o.link.transferBaudText, "115200");
  EXPECT_EQ(o.paths.configDir, "/tmp/x/");
  EXPECT_EQ(o.paths.stateDir, "/tmp/x/");
  EXPECT_EQ(o.language, 1);

  auto n = parseCommonOptions({"--net", "127.0.0.1", "test"});
  EXPECT_EQ(n.link.kind, LinkKind::Network);
  EXPECT_EQ(n.link.udpPort, 5100);
  auto p = parseCommonOptions({"--net", "10.0.0.2:9100", "test"});
  EXPECT_EQ(p.link.ipAddress, "10.0.0.2");
  EXPECT_EQ(p.link.udpPort, 9100);
}

TEST(CliOptions, BadLinesAreUsageErrors) {
  EXPECT_THROW(parseCommonOptions({"--serial", "a", "--net", "b", "test"}), UsageError);
  EXPECT_THROW(parseCommonOptions({"--net", "1.2.3.4:99999", "test"}), UsageError);
  EXPECT_THROW(parseCommonOptions({"--lang", "fr", "test"}), UsageError);
  EXPECT_THROW(parseCommonOptions({"--serial"}), UsageError);
  EXPECT_THROW(parseCommonOptions({"--bogus", "test"}), UsageError);
  ArgList args({"--density", "2", "x", "--extra"});
  EXPECT_EQ(args.takeInt("--density", 0, 3), 2);
  EXPECT_THROW(args.positionals(), UsageError);
  ArgList range({"--density", "4"});
  EXPECT_THROW(range.takeInt("--density", 0, 3), UsageError);
}

TEST(CliProgram, HelpListsTheSharedOptionsAndExitCodesAreDistinct) {
  auto help = runPlenar("--help");
  EXPECT_EQ(help.exitCode, 0);
  for (const char* opt :
       {"--serial PORT", "--device-baud N", "--transfer-baud N", "--net ADDR[:PORT]", "--usb ID",
        "--lpt N", "--dir DIR", "--lang zh|en", "--help"}) {
    EXPECT_NE(help.out.find(opt), std::string::npos) << opt;
  }
  EXPECT_EQ(runPlenar("").exitCode, kExitUsage);
  EXPECT_EQ(runPlenar("no-such-command").exitCode, kExitUsage);
  EXPECT_EQ(runPlenar("test").exitCode, kExitUsage);  // no link chosen
}

TEST(CliProgram, AnEmptyCommandRunsTheWorkerAndWritesItsTrace) {
  TempDir dir;
  dir.write("debug.log", "stale");
  // Code 0 runs nothing, so no printer need answer; a link is still asked for.
  auto r = runPlenar("--dir " + dir.path() + " --net 127.0.0.1:9 run-code 0");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(dir.read("debug.log"), "");
  EXPECT_EQ(runPlenar("--dir " + dir.path() + " run-code 0").exitCode, kExitUsage);
}

TEST(CliProgram, ATestWithoutPrinterFailsWithItsText) {
  TempDir dir;
  // Nothing listens on this port of the loopback address.
  auto r = runPlenar("--dir " + dir.path() + " --net 127.0.0.1:9 test");
  EXPECT_EQ(r.exitCode, kExitFailed) << r.out;
  EXPECT_NE(r.out.find("Checking127.0.0.1:9"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Connecting Failed"), std::string::npos) << r.out;
  EXPECT_NE(dir.read("debug.log").find("Send 25 Bytes"), std::string::npos);
  // A --dir that does not exist yet gets the same trace.
  const std::string fresh = dir.path() + "/fresh/state";
  EXPECT_EQ(runPlenar("--dir " + fresh + " --net 127.0.0.1:9 test").exitCode, kExitFailed);
  EXPECT_NE(dir.read("fresh/state/debug.log").find("Send 25 Bytes"), std::string::npos);
}

TEST(CliProgram, RefusalsComeInTheChosenLanguage) {
  TempDir dir;
  // Whether the folder holds language files or not (then the program's own are read), the
  // language asked for is the one answered in.
  for (const std::string& folder : {dir.path(), std::string(PLENAR_BIN_DIR)}) {
    SCOPED_TRACE(folder);
    auto en = runPlenar("--dir " + folder + " --lang en --serial /dev/null firmware /nonexistent");
    EXPECT_EQ(en.exitCode, kExitNoInput);
    EXPECT_EQ(en.out, "The file does not exist.\n");
    auto zh = runPlenar("--dir " + folder + " --lang zh --serial /dev/null firmware /nonexistent");
    EXPECT_NE(zh.out.find("文件不存在"), std::string::npos) << zh.out;
  }
  // Without --lang: the language the window stored, else the locale's.
  struct Case {
    std::string environment;
    std::string stored;  // sysconfig.ini's Language, empty: none
    bool chinese;
  };
  const Case cases[] = {
      {"LANG=zh_CN.UTF-8", "", true},
      {"LANG=en_US.UTF-8", "", false},
      {"LANG=zh_CN.UTF-8 LC_MESSAGES=C", "", false},
      {"LANG=C LC_ALL=zh_TW.UTF-8", "", true},
      {"LANG=zh_CN.UTF-8", "1", false},
      {"LANG=en_US.UTF-8", "0", true},
  };
  for (const Case& c : cases) {
    TempDir home;
    if (!c.stored.empty())
      home.write("sysconfig.ini", "[MainDefault]\nLanguage=" + c.stored + "\n");
    auto r = plenar::test::runShell(
        "env -u LC_ALL -u LC_MESSAGES " + c.environment + " " +
        plenar::test::plenarCommandLine("--dir " + home.path() +
                                        " --serial /dev/null firmware /nonexistent") +
        " 2>&1");
    EXPECT_EQ(r.output.find("文件不存在") != std::string::npos, c.chinese)
        << c.environment << " stored " << c.stored << ": " << r.output;
  }
}

TEST(CliProgram, EveryCommandHasItsOwnHelpWithinEightyColumns) {
  auto fits = [](const std::string& text) {
    std::size_t from = 0;
    while (from < text.size()) {
      std::size_t end = text.find('\n', from);
      if (end == std::string::npos) end = text.size();
      if (end - from > 80) return text.substr(from, end - from);
      from = end + 1;
    }
    return std::string();
  };
  const auto all = runPlenar("--help");
  ASSERT_EQ(all.exitCode, 0);
  EXPECT_EQ(fits(all.out), "");
  EXPECT_EQ(all.out.find("(code "), std::string::npos) << "internal codes in the help";
  for (const auto& c : cliCommands()) {
    SCOPED_TRACE(c.name);
    const auto help = runPlenar("help " + c.name);
    const auto option = runPlenar(c.name + " --help");
    EXPECT_EQ(help.exitCode, 0) << help.out;
    EXPECT_EQ(help.out, option.out);
    EXPECT_NE(help.out.find("usage:"), std::string::npos) << help.out;
    EXPECT_EQ(fits(help.out), "");
  }
  const auto misspelt = runPlenar("aply shop.ini");
  EXPECT_EQ(misspelt.exitCode, 64);
  EXPECT_NE(misspelt.out.find("did you mean `apply`?"), std::string::npos) << misspelt.out;
  EXPECT_EQ(runPlenar("help no-such-command").exitCode, 64);
}

// The installed completion script, driven as bash drives it: COMP_WORDS and COMP_CWORD set, the
// function called, COMPREPLY read.
TEST(CliProgram, CompletionOffersCommandsOptionsValuesAndFiles) {
  TempDir dir;
  dir.write("shop.ini", "");
  dir.write("notes.txt", "");
  const struct {
    const char* line;
    std::vector<std::string> offered;  // all of these among the words offered
    std::vector<std::string> absent;
  } cases[] = {
      {"plenar --ser", {"--serial"}, {}},
      {"plenar --js", {"--json"}, {}},
      {"plenar set-fl", {"set-flow"}, {}},
      {"plenar set-flow ", {"soft", "hard"}, {"shop.ini"}},
      {"plenar --lang ", {"zh", "en"}, {}},
      {"plenar --net 1.2.3.4 set-switches --font ", {"9x17", "12x24"}, {}},
      {"plenar apply ", {"shop.ini"}, {"notes.txt"}},
      {"plenar apply shop.ini --", {"--check", "--plan", "--force", "--record", "--verify"}, {}},
      {"plenar --serial /dev/ttyUSB0 --device-baud ", {"9600", "115200"}, {}},
      {"plenar --serial /dev/ttyNoSuch", {}, {"/dev/ttyNoSuch", "/dev/ttyUSB[0-9]*"}},
  };
  const std::string script = std::string(PLENAR_SOURCE_DIR) + "/dist/linux/completion/plenar";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string body =
        "PATH=" + std::string(PLENAR_BIN_DIR) + ":$PATH; cd " + dir.path() + "; source " + script +
        "; line='" + c.line +
        "'; read -ra COMP_WORDS <<< \"$line\"; [[ $line == *' ' ]] && COMP_WORDS+=(''); "
        "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _plenar; printf '%s\\n' \"${COMPREPLY[@]}\"";
    const auto r = plenar::test::runShell("bash -c " + plenar::test::shellQuoted(body));
    std::vector<std::string> words;
    std::size_t from = 0;
    for (std::size_t end; (end = r.output.find('\n', from)) != std::string::npos; from = end + 1) {
      if (end > from) words.push_back(r.output.substr(from, end - from));
    }
    for (const std::string& w : c.offered) {
      EXPECT_NE(std::find(words.begin(), words.end(), w), words.end()) << w << " in: " << r.output;
    }
    for (const std::string& w : c.absent) {
      EXPECT_EQ(std::find(words.begin(), words.end(), w), words.end()) << w;
    }
  }
}
