// SPDX-License-Identifier: GPL-3.0-or-later
// The help beyond the usage line (CommandDocs, the declared options) and the zsh completion:
// both read the command table, so a command added without its declarations or example, or an
// example that no longer runs as written, fails here.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "RunProgram.h"
#include "TempDir.h"
#include "cli/CliArgs.h"
#include "cli/CliCommands.h"
#include "cli/CommandDocs.h"
#include "cli/OptionTable.h"

using namespace plenar::cli;

TEST(CommandDocs, EveryCommandHasItsOptionsAndAnExampleThatNamesIt) {
  for (const CliCommand& c : cliCommands()) {
    SCOPED_TRACE(c.name);
    const CommandDoc* doc = commandDoc(c.name);
    ASSERT_NE(doc, nullptr);
    ASSERT_NE(optionTableOf(c.name), nullptr);
    // Every declared option and argument is listed in the help, with what it takes.
    const std::vector<std::pair<std::string, std::string>> terms = commandTerms(c.name);
    EXPECT_EQ(terms.size(), optionTableOf(c.name)->size());
    for (const auto& [term, text] : terms) {
      EXPECT_NE(c.usage.find(term.substr(0, term.find(' '))), std::string::npos) << term;
      EXPECT_FALSE(text.empty()) << term;
    }
    // The example as the shell splits it (one quoted argument at most).
    std::vector<std::string> argv;
    std::istringstream in(doc->example);
    for (std::string word; in >> word;) {
      if (!argv.empty() && argv.back().front() == '"' && argv.back().back() != '"') {
        argv.back() += " " + word;
      } else {
        argv.push_back(word);
      }
    }
    for (auto& a : argv) a.erase(std::remove(a.begin(), a.end(), '"'), a.end());
    const CommonOptions o = parseCommonOptions(argv);
    EXPECT_EQ(o.command, c.name);
    EXPECT_EQ(o.linkGiven, c.needsLink) << doc->example;
  }
}

// _plenar as zsh runs it: words and CURRENT set, compadd and _files standing in for the
// completion system's, printing what they were given.
TEST(CommandDocs, ZshCompletionOffersWhatBashOffers) {
  if (plenar::test::runShell("command -v zsh >/dev/null").exitCode != 0) {
    GTEST_SKIP() << "no zsh";
  }
  TempDir dir;
  const struct {
    const char* words;
    std::vector<std::string> offered;
  } cases[] = {
      {"plenar set-fl", {"set-flow"}},
      {"plenar set-flow ''", {"soft", "hard"}},
      {"plenar --lang ''", {"zh", "en"}},
      {"plenar apply shop.ini --", {"--check", "--plan", "--set"}},
      {"plenar apply ''", {"_files -g *.ini(-.)"}},
      {"plenar --dir ''", {"_files -/"}},
      {"plenar profile ''", {"keys"}},
  };
  const std::string script = std::string(PLENAR_SOURCE_DIR) + "/dist/linux/completion/_plenar";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    const std::string body = "PATH=" + std::string(PLENAR_BIN_DIR) + ":$PATH; cd " + dir.path() +
                             "; compadd() { while (( $# )); do [[ $1 == -a ]] && print -l -- "
                             "\"${(@P)2}\"; shift; done; }; "
                             "_files() { print -r -- \"_files $*\"; }; source " +
                             script + "; words=(" + c.words + "); CURRENT=${#words}; _plenar";
    const auto r = plenar::test::runShell("zsh -f -c " + plenar::test::shellQuoted(body));
    for (const std::string& w : c.offered) {
      EXPECT_NE(r.output.find(w + "\n"), std::string::npos) << w << " in: " << r.output;
    }
  }
}
