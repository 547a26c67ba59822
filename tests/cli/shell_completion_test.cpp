// SPDX-License-Identifier: GPL-3.0-or-later
// The installed completion scripts in real interactive shells: bash and zsh run in a tmux
// pane, the keys typed as a person types them, the screen read back.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "RunProgram.h"
#include "TempDir.h"

using plenar::test::runShell;
using plenar::test::shellQuoted;

namespace {

// One tmux server of this test's own, ended with the test.
class Pane {
 public:
  Pane(const std::string& shell, const std::string& folder)
      : socket_("plenar-completion-" + std::to_string(::getpid()) + "-" +
                std::to_string(++count_)) {
    const std::string path = std::string(PLENAR_BIN_DIR) + ":/usr/bin:/bin";
    run("new-session -d -x 160 -y 50 -c " + shellQuoted(folder) + " " +
        shellQuoted("env -i HOME=" + folder + " TERM=xterm PATH=" + path + " " + shell));
  }
  ~Pane() { run("kill-server"); }
  Pane(const Pane&) = delete;
  Pane& operator=(const Pane&) = delete;

  void type(const std::string& keys) { run("send-keys -t0 -l " + shellQuoted(keys)); }
  void press(const std::string& key) { run("send-keys -t0 " + key); }
  std::string screen() { return runShell(tmux() + " capture-pane -p -t0").output; }
  // The screen once it shows `text`, or after 5 s.
  std::string waitFor(const std::string& text) {
    std::string s;
    for (int i = 0; i < 100; ++i) {
      s = screen();
      if (s.find(text) != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return s;
  }
  // Clears the line being typed and the screen.
  void clear() {
    press("C-c");
    type("clear");
    press("Enter");
    for (int i = 0; i < 100 && !showsOnlyPrompt(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // The screen holds the prompt and nothing else (tmux drops blanks at the end of a line).
  bool showsOnlyPrompt() {
    std::string s = screen();
    s.erase(std::remove_if(s.begin(), s.end(), [](unsigned char c) { return std::isspace(c); }),
            s.end());
    return s == "$";
  }

 private:
  std::string tmux() const { return "tmux -L " + socket_; }
  void run(const std::string& args) {
    runShell(tmux() + " " + args + " </dev/null >/dev/null 2>&1");
  }
  static inline int count_ = 0;
  std::string socket_;
};

bool have(const char* program) {
  return runShell(std::string("command -v ") + program + " >/dev/null").exitCode == 0;
}

const std::string kScripts = std::string(PLENAR_SOURCE_DIR) + "/dist/linux/completion";

// The last line of the screen that holds text.
std::string lastLine(const std::string& screen) {
  std::string last;
  std::size_t from = 0;
  for (std::size_t end; (end = screen.find('\n', from)) != std::string::npos; from = end + 1) {
    if (end > from) last = screen.substr(from, end - from);
  }
  return last;
}

struct Case {
  const char* typed;
  const char* keys;    // tmux key names pressed after it
  const char* shown;   // on the screen afterwards
  const char* absent;  // nowhere on the screen
};

void runCases(Pane& pane, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    pane.clear();
    pane.type(c.typed);
    pane.press(c.keys);
    const std::string screen = pane.waitFor(c.shown);
    EXPECT_NE(screen.find(c.shown), std::string::npos) << screen;
    if (*c.absent) {
      EXPECT_EQ(screen.find(c.absent), std::string::npos) << screen;
    }
  }
}

}  // namespace

TEST(ShellCompletion, InteractiveBash) {
  if (!have("tmux")) GTEST_SKIP() << "no tmux (scripts/install-deps.sh installs it)";
  TempDir dir;
  dir.write("fw.bin", "");
  dir.write("shop.ini", "");
  dir.write(".bashrc", "PS1='$ '; source " + kScripts + "/plenar\n");
  Pane pane("bash --rcfile " + dir.file(".bashrc") + " -i", dir.path());
  pane.waitFor("$");
  const std::string l = "plenar --net 1.2.3.4 ";
  runCases(pane, {
                     {"plenar --net 1.2.3.4 firmware f", "Tab", "firmware fw.bin", ""},
                     {"plenar --net 1.2.3.4 send --file f", "Tab", "--file fw.bin", ""},
                     {"plenar --net 1.2.3.4 font f", "Tab", "font fw.bin", ""},
                     {"plenar --net 1.2.3.4 logo-download f", "Tab", "logo-download fw.bin", ""},
                     {"plenar --net 1.2.3.4 apply shop.ini --set Flowcontrol=h", "Tab",
                      "Flowcontrol=hard", "help"},
                     {"plenar --net 1.2.3.4 apply shop.ini --set Flowcon", "Tab",
                      "--set Flowcontrol=", ""},
                     {"plenar --net 1.2.3.4 set-codepage CP86", "Tab Tab", "CP866", ""},
                     {"plenar --net 1.2.3.4 set-codepage ISO-8859-1", "Tab Tab", "ISO-8859-15", ""},
                 });
  // A key waits for its value: no blank after '='; the value then completes after it.
  pane.clear();
  pane.type(l + "apply shop.ini --set PaperT");
  pane.press("Tab");
  pane.waitFor("PaperType=");
  pane.type("rec");
  pane.press("Tab");
  EXPECT_NE(lastLine(pane.waitFor("PaperType=receipt")).find("--set PaperType=receipt"),
            std::string::npos)
      << pane.screen();
  // Rates in the program's order.
  pane.clear();
  pane.type("plenar --device-baud ");
  pane.press("Tab Tab");
  const std::string rates = pane.waitFor("230400");
  EXPECT_LT(rates.find("1200"), rates.find("115200")) << rates;
  EXPECT_LT(rates.find("9600"), rates.find("19200")) << rates;
}

TEST(ShellCompletion, InteractiveZsh) {
  if (!have("tmux") || !have("zsh")) GTEST_SKIP() << "no tmux or zsh";
  TempDir dir;
  dir.write("fw.bin", "");
  dir.write("shop.ini", "");
  dir.write(".zshrc",
            "PS1='$ '; fpath=(" + kScripts + " $fpath); autoload -Uz compinit; compinit -u -D\n");
  Pane pane("zsh -i", dir.path());
  pane.waitFor("$");
  runCases(pane, {
                     {"plenar --net 1.2.3.4 firmware f", "Tab", "firmware fw.bin", ""},
                     {"plenar --net 1.2.3.4 apply shop.ini --set Flowcontrol=h", "Tab",
                      "Flowcontrol=hard", "help"},
                     {"plenar --net 1.2.3.4 set-codepage CP86", "Tab", "CP866", ""},
                     // Descriptions from the declared help.
                     {"plenar --net 1.2.3.4 apply shop.ini --re", "Tab Tab",
                      "-- the record to compare", ""},
                 });
  pane.clear();
  pane.type("plenar --device-baud ");
  pane.press("Tab");
  const std::string rates = pane.waitFor("230400");
  EXPECT_LT(rates.find("1200"), rates.find("115200")) << rates;
  EXPECT_LT(rates.find("9600"), rates.find("19200")) << rates;
}
