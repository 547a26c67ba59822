// SPDX-License-Identifier: GPL-3.0-or-later
// Every command in both languages against the simulator: its help, a usage error and its
// example. Under --lang en no line holds a Han character; under --lang zh no line holds an
// English sentence of plenar's own (names, option names, values, paths and the printer
// family's fixed link texts aside).

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "SideBySide.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "cli/CliCommands.h"
#include "cli/CliTexts.h"
#include "cli/CommandDocs.h"

using plenar::test::plenarCommandLine;
using plenar::test::runShell;
using plenar::test::shellQuoted;
using plenar::test::SimProcess;

namespace {

std::vector<std::string> linesOf(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A Han character: three UTF-8 bytes from E4 B8 80 (U+4E00) to E9 BF BF (U+9FFF).
bool holdsHan(const std::string& line) {
  for (std::size_t i = 0; i + 2 < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c >= 0xE4 && c <= 0xE9) return true;
  }
  return false;
}

// The line with what is no sentence of plenar's taken out: the usage after "plenar", option
// names with their terms, quoted values, paths, the link's fixed texts and the names of the
// printer family, upper-case terms.
std::string withoutNames(std::string line) {
  static const std::vector<std::regex> names{
      std::regex("plenar .*$"),
      std::regex("'[^']*'|\"[^\"]*\"|“[^”]*”|`[^`]*`"),
      std::regex("(Connecting Failed|Download Data Failed|Received Failed|Checking)[^，。；]*"),
      // The system's words for a failed call.
      std::regex(
          "No such file( or directory)?|Permission denied|Connection refused|Is a directory"),
      std::regex("--?[A-Za-z][-A-Za-z0-9]*( [A-Z][-A-Za-z0-9_:.,\\[\\]|]*)?"),
      std::regex("[~./A-Za-z0-9_-]*/[^ ，。；：）]*"),
      std::regex("\\b[A-Z][A-Za-z0-9_-]*\\b"),
      std::regex("\\b(on|off|soft|hard|software|hardware|keys|raw|irda|receipt|label|normal|"
                 "reverse|printer|vcom|virtual-serial|single|dual|none|high-speed|high|static)\\b"),
  };
  for (const std::regex& r : names) line = std::regex_replace(line, r, " ");
  return line;
}

// Texts made below the command line, still English in both languages: the logo builder's and
// the file reader's refusals.
const std::vector<std::string> kStillEnglish{
    "BMP: nothing to download",
    "Cannot open file",
};

// Two words of letters in a row: a sentence, or a piece of one.
bool holdsEnglish(const std::string& line) {
  static const std::regex sentence("[A-Za-z]{2,}[ ,]+[a-z]{2,}");
  for (const std::string& text : kStillEnglish) {
    if (line.find(text) != std::string::npos) return false;
  }
  return std::regex_search(withoutNames(line), sentence);
}

// A value's texts in both languages, as profile keys lists them ("dark, 2: Dark / 微浓"), are
// values, not texts of the program.
bool holdsHanOutsideValues(const std::string& line) {
  static const std::regex item("^ +[-a-z0-9, ]*[0-9]+: .* / .*");
  return holdsHan(line) && !std::regex_match(line, item);
}

std::string offendingLines(const std::string& out, bool chinese) {
  std::string found;
  for (const std::string& line : linesOf(out)) {
    if (chinese ? holdsEnglish(line) : holdsHanOutsideValues(line)) found += line + "\n";
  }
  return found;
}

// The example's arguments from the command's name on: its link is the simulator's instead.
std::string exampleArguments(const plenar::cli::CliCommand& c) {
  const plenar::cli::CommandDoc* doc = plenar::cli::commandDoc(c.name);
  if (!doc) return c.name;
  const std::string& e = doc->example;
  const std::size_t at = e.find(" " + c.name + " ");
  if (at != std::string::npos) return e.substr(at + 1);
  return e.ends_with(" " + c.name) ? c.name : e;
}

}  // namespace

TEST(CliLanguage, EveryCommandSpeaksTheChosenLanguageOnly) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  TempDir dir;
  const std::string link = "--net 127.0.0.1:" + std::to_string(sim.udpPort()) + " ";
  struct Run {
    bool chinese;
    std::string args;
  };
  std::vector<Run> runs;
  for (const bool chinese : {false, true}) {
    for (const char* args : {"--help", "", "no-such-command", "--lang xx test"}) {
      runs.push_back({chinese, args});
    }
    for (const auto& c : plenar::cli::cliCommands()) {
      const std::string withLink = c.needsLink ? link : "";
      runs.push_back({chinese, "help " + c.name});
      runs.push_back({chinese, withLink + c.name + " --no-such-option"});
      // profile keys describes the keys with the profile's own English documentation. The boot
      // handshake's example would hold the simulator in its boot loader (and wait out 1001
      // passes): it asks nobody, once.
      if (c.name == "boot") {
        runs.push_back({chinese, "--net 127.0.0.1:9 boot --passes 1"});
      } else if (!chinese || c.name != "profile") {
        runs.push_back({chinese, withLink + exampleArguments(c)});
      }
    }
  }
  // Each in a folder of its own (a run may wait out a reply), in the test's folder, so that the
  // examples' files (none there) are looked for in it.
  std::vector<TempDir> dirs(runs.size());
  const std::vector<std::string> outs =
      plenar::test::sideBySide<std::string>(runs.size(), 8, [&](std::size_t k) {
        return runShell("cd " + shellQuoted(dir.path()) + " && timeout 60 " +
                        plenarCommandLine("--dir " + dirs[k].path() + " --lang " +
                                          (runs[k].chinese ? "zh " : "en ") + runs[k].args) +
                        " 2>&1 </dev/null")
            .output;
      });
  for (std::size_t k = 0; k < runs.size(); ++k) {
    EXPECT_EQ(offendingLines(outs[k], runs[k].chinese), "")
        << (runs[k].chinese ? "zh: " : "en: ") << runs[k].args << "\n"
        << outs[k];
  }
}

TEST(CliLanguage, TheFilterFindsWhatItLooksFor) {
  struct Case {
    std::string line;
    bool chinese;  // the language chosen
    bool offends;
  };
  const std::vector<Case> cases{
      {"plenar: unknown option --bogus", true, true},
      {"plenar：未知选项 --bogus", true, false},
      {"用法：plenar set-baud RATE", true, false},
      {"Connecting Failed，/dev/ttyUSB0: No such file", true, false},
      {"--file：文件 'a b c' 不存在", true, false},
      {"设置成功", false, true},
      {"usage: plenar set-baud RATE", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(!offendingLines(c.line, c.chinese).empty(), c.offends) << c.line;
  }
}

TEST(CliLanguage, EveryCommandsHelpFitsEightyColumnsInBothLanguages) {
  for (const bool chinese : {false, true}) {
    plenar::cli::chooseChinese(chinese);
    for (const auto& c : plenar::cli::cliCommands()) {
      const std::string help =
          plenar::cli::commandHelpText(c.name, c.usage, plenar::cli::say(c.summary), true);
      for (const std::string& line : linesOf(help)) {
        EXPECT_LE(plenar::cli::textColumns(line), 80u) << c.name << ": " << line;
        // No line starts with a mark that closes what the line before said.
        EXPECT_FALSE(line.starts_with("、") || line.starts_with("，") || line.starts_with("）"))
            << c.name << ": " << line;
      }
    }
  }
  plenar::cli::chooseChinese(false);
}
