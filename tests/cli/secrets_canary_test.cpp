// SPDX-License-Identifier: GPL-3.0-or-later
// One password goes in by every way plenar takes one; afterwards it is searched for in every
// output, file and argument list, as text, as hex (spaced or not) and split across the lines of
// a trace dump. It may reach the printer, and the profile files that hold it by design, and
// nothing else.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "PlenarJson.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "engine/TraceList.h"
#include "platform/Sha256.h"

using plenar::test::JsonRun;
using plenar::test::runPlenarJson;
using plenar::test::runShell;
using plenar::test::shellQuoted;
using plenar::test::SimProcess;
namespace fs = std::filesystem;

namespace {

// Unique per run, 12 characters: fits the Bluetooth password field (13 bytes).
std::string makeCanary() {
  return "Kq" + std::to_string(100000 + ::getpid() % 900000) + "zXw" + "!";
}

std::string hexOf(const std::string& text, bool spaced) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) {
    if (spaced && !out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 0x0F];
  }
  return out;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Where `text` shows the canary, or "" when it does not: plainly, as hex (any case, spaced or
// not, across lines), or split across consecutive lines of a trace dump.
std::string leakIn(const std::string& text, const std::string& canary) {
  if (text.find(canary) != std::string::npos) return "plain text";
  std::string squeezed;
  for (char c : lower(text)) {
    if (!std::isspace(static_cast<unsigned char>(c))) squeezed += c;
  }
  if (squeezed.find(hexOf(canary, false)) != std::string::npos) return "hex";
  // Dump lines: "    xx xx ... xx        ;chars". Their text columns and hex columns joined.
  static const std::regex dump(R"(^    ((?:[0-9a-f*]{2} +)+);(.*)$)");
  std::string chars, hex;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, dump)) {
      chars += m[2].str();
      for (char c : m[1].str()) {
        if (!std::isspace(static_cast<unsigned char>(c))) hex += c;
      }
    }
  }
  if (chars.find(canary) != std::string::npos) return "dump text column";
  if (hex.find(hexOf(canary, false)) != std::string::npos) return "dump hex column";
  return {};
}

// Every process's argument list, read over and over while the commands run.
class CmdlineSampler {
 public:
  explicit CmdlineSampler(std::string canary) : canary_(std::move(canary)) {
    thread_ = std::thread([this] {
      while (!stop_) {
        sampleOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  ~CmdlineSampler() { finish(); }
  void finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::set<std::string> leaks() const {
    std::lock_guard lock(mutex_);
    return leaks_;
  }
  int samples() const { return samples_; }

 private:
  void sampleOnce() {
    DIR* proc = ::opendir("/proc");
    if (!proc) return;
    while (dirent* e = ::readdir(proc)) {
      if (!std::isdigit(static_cast<unsigned char>(e->d_name[0]))) continue;
      // Plain reads: a process that ends while it is read fails the read (ESRCH), which a
      // stream would turn into an exception in this thread.
      std::string args;
      const int fd =
          ::open((std::string("/proc/") + e->d_name + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      char buf[4096];
      for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        args.append(buf, static_cast<std::size_t>(n));
      ::close(fd);
      if (args.find("plenar") == std::string::npos) continue;
      ++samples_;
      if (!leakIn(args, canary_).empty()) {
        std::lock_guard lock(mutex_);
        for (char& c : args) c = c == '\0' ? ' ' : c;
        leaks_.insert(args);
      }
    }
    ::closedir(proc);
  }

  std::string canary_;
  std::atomic<bool> stop_{false};
  std::atomic<int> samples_{0};
  mutable std::mutex mutex_;
  std::set<std::string> leaks_;
  std::thread thread_;
};

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

}  // namespace

TEST(SecretsCanary, TheSearchFindsEveryFormAPasswordCouldTake) {
  const std::string canary = "Kq123456zXw!";
  std::vector<std::uint8_t> frame(40, 0x20);
  std::copy(canary.begin(), canary.end(), frame.begin() + 10);  // across two dump lines
  std::string dump;
  for (const std::string& line : plenar::hexDump(frame)) dump += line + "\n";
  std::string upper = hexOf(canary, true);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::pair<std::string, std::string> cases[] = {
      {"x " + canary + " y", "plain text"},
      {"\"bytes\":[\"02 00 " + upper + " 19\"]", "hex"},
      {hexOf(canary, false), "hex"},
      {dump, "dump text column"},
      {"nothing here", ""},
  };
  for (const auto& [text, found] : cases) EXPECT_EQ(leakIn(text, canary), found) << text;
  std::string masked;
  for (const std::string& line : plenar::hexDump(frame, {canary})) masked += line + "\n";
  EXPECT_EQ(leakIn(masked, canary), "");
}

TEST(SecretsCanary, APasswordReachesThePrinterAndNothingElse) {
  const std::string canary = makeCanary();
  TempDir dir;
  const std::string state = dir.file("state");
  dir.write("pw", canary + "\n");
  ::chmod(dir.file("pw").c_str(), 0600);
  const std::string profile =
      "[ParaDefault]\nCodePage=CP437\nNetworkName=shop\nNetworkPsw=" + canary +
      "\nBlueToolthName=Till\nMulBlueToolthName=\nBlueToolthPsw=" + canary +
      "\nBlueToolthType=1\nBlueToolthMode=1\nBlueToolthCheck=0\n";
  dir.write("shop.ini", profile);
  ::chmod(dir.file("shop.ini").c_str(), 0600);

  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  SimProcess::Options faulty = o;
  faulty.extraArgs = {"--fault", "close-after:4"};
  SimProcess broken(faulty);
  auto link = [&](const SimProcess& s) {
    return "--dir " + shellQuoted(state) + " --net 127.0.0.1:" + std::to_string(s.udpPort());
  };
  const std::string pw = shellQuoted(dir.file("pw"));
  const std::string shop = shellQuoted(dir.file("shop.ini"));

  std::vector<std::pair<std::string, std::string>> outputs;  // what, text
  CmdlineSampler sampler(canary);
  struct Way {
    std::string args;
    std::string input = {};  // on standard input
    bool fails = false;
  };
  const std::vector<Way> ways = {
      {link(sim) + " bluetooth --name X --password-file " + pw + " --mode 1 --auth 0"},
      {link(sim) + " bluetooth --name X --password - --mode 1 --auth 0", canary + "\n"},
      {link(sim) + " wifi-ap shop -", canary},
      {link(sim) + " wifi-ap shop --password-file " + pw},
      {link(sim) + " wifi-sta --ssid shop --password-file " + pw + " --dhcp"},
      {link(sim) + " apply " + shop + " --plan"},
      {link(sim) + " apply " + shop + " --check"},
      {link(sim) + " apply " + shop},
      {link(sim) + " apply " + shop + " --check"},
      {link(broken) + " apply " + shop + " --force", "", true},
      // The batch bench: its counter, report and per-printer records live in the state folder.
      {link(sim) + " batch " + shop + " --present --name T{n} --serial-from 1 --report " +
       shellQuoted(state + "/batch/report.jsonl")},
  };
  for (const Way& w : ways) {
    for (const char* format : {"--json --events", ""}) {
      SCOPED_TRACE(w.args + " " + format);
      const std::string input = dir.file("stdin");
      dir.write("stdin", w.input);
      const std::string errFile = dir.file("stderr");
      auto r = runShell(plenar::test::plenarCommandLine(std::string(format) + " " + w.args) + " <" +
                        shellQuoted(input) + " 2>" + shellQuoted(errFile));
      EXPECT_EQ(r.exitCode != 0, w.fails) << r.output << readAll(errFile);
      outputs.emplace_back("stdout of " + w.args + " " + format, r.output);
      outputs.emplace_back("stderr of " + w.args + " " + format, readAll(errFile));
      outputs.emplace_back("debug.log after " + w.args + " " + format,
                           readAll(state + "/debug.log"));
    }
  }
  sampler.finish();

  // The printer got it: Bluetooth and the access point hold the canary.
  bool onTheWire = false;
  for (const auto& rec : sim.records()) {
    onTheWire = onTheWire || !leakIn(rec.value("data").toString().toStdString(), canary).empty() ||
                !leakIn(rec.value("meaning").toString().toStdString(), canary).empty();
  }
  EXPECT_TRUE(onTheWire || readAll(sim.statePath()).find(canary) != std::string::npos)
      << "the password never reached the printer";

  for (const auto& [what, text] : outputs) {
    const std::string where = leakIn(text, canary);
    EXPECT_EQ(where, "") << what << ":\n" << text;
  }
  // Every file plenar keeps: no canary, and private modes.
  for (const auto& e : fs::recursive_directory_iterator(state)) {
    const std::string path = e.path().string();
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    if (S_ISDIR(st.st_mode)) {
      EXPECT_EQ(st.st_mode & 0777, 0700u) << path;
      continue;
    }
    const std::string name = e.path().filename().string();
    if (name == "1.bin" || name == "2.bin") continue;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << path;
    if (name == "record.key") continue;
    EXPECT_EQ(leakIn(readAll(path), canary), "") << path;
  }
  EXPECT_GT(sampler.samples(), 0);
  for (const std::string& args : sampler.leaks()) ADD_FAILURE() << "argument list: " << args;
}

TEST(SecretsCanary, APasswordFileThatCannotBeUsedIsRefusedAndNothingIsSent) {
  TempDir dir;
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  fs::create_directory(dir.file("folder"));
  ::mkfifo(dir.file("fifo").c_str(), 0600);
  dir.write("long", std::string(40, 'p') + "\n");
  dir.write("huge", std::string(4096, 'p'));
  struct Case {
    const char* option;
    const char* kind;
    int exitCode;  // 66: the file cannot be read; 65: its content is refused
  };
  const Case cases[] = {
      {"--password-file missing", "file", 66}, {"--password-file folder", "file", 66},
      {"--password-file fifo", "file", 66},    {"--password-file huge", "file", 65},
      {"--password-file long", "refused", 65},
  };
  const std::string link = "--dir " + shellQuoted(dir.file("state")) +
                           " --net 127.0.0.1:" + std::to_string(sim.udpPort());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    std::string option = c.option;
    option.replace(option.find(' ') + 1, std::string::npos,
                   shellQuoted(dir.file(option.substr(option.find(' ') + 1))));
    JsonRun r = runPlenarJson(link + " wifi-sta --ssid shop --dhcp " + option);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
    EXPECT_EQ(r.doc.value("error").toObject().value("kind").toString(), c.kind) << r.out;
    EXPECT_EQ(r.out.find("pppppppp"), std::string::npos) << r.out;
  }
  // Both forms at once is a usage error.
  JsonRun both = runPlenarJson(link + " wifi-sta --ssid s --dhcp --password x --password-file " +
                               shellQuoted(dir.file("long")));
  EXPECT_EQ(both.exitCode, 64);
  for (const auto& r : sim.records()) EXPECT_NE(r.value("kind").toString(), "frame");
}

// A profile that names a password key gives a keyed digest even when the group that would send
// it stays out (an empty SSID): sha256sum of the file, run through a dictionary, would find the
// password. --set of a password key is refused naming the key, never the value.
TEST(SecretsCanary, NoDigestOrMessageTellsAPasswordKeysValue) {
  const std::string canary = makeCanary();
  TempDir dir;
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  const std::string link = "--lang en --dir " + shellQuoted(dir.file("state")) +
                           " --net 127.0.0.1:" + std::to_string(sim.udpPort()) + " ";
  struct Profile {
    std::string text;
    bool keyed;
  } profiles[] = {
      {"[ParaDefault]\nCodePage=CP437\nSSID=\nStaModePsw=" + canary + "\n", true},
      {"[ParaDefault]\nCodePage=CP437\n[MainDefault]\nNetworkPsw=" + canary + "\n", true},
      {"[ParaDefault]\nCodePage=CP437\n", false},
  };
  for (const Profile& p : profiles) {
    SCOPED_TRACE(p.text);
    dir.write("p.ini", p.text);
    const std::string plain = plenar::sha256Hex(p.text);
    for (const char* mode : {" --plan", ""}) {
      JsonRun r = runPlenarJson(link + "apply " + shellQuoted(dir.file("p.ini")) + mode);
      ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
      const std::string digest = r.doc.value("result")
                                     .toObject()
                                     .value("profile")
                                     .toObject()
                                     .value("sha256")
                                     .toString()
                                     .toStdString();
      EXPECT_EQ(digest == plain, !p.keyed) << mode;
    }
  }
  for (const std::string& set : {"NetworkPsw=a\n" + canary, "StaModePsw=" + canary,
                                 "networkpsw\n" + canary, "BlueToolthPsw=" + canary + "\r"}) {
    SCOPED_TRACE(set);
    JsonRun r = runPlenarJson(link + "apply " + shellQuoted(dir.file("p.ini")) + " --set " +
                              shellQuoted(set));
    EXPECT_EQ(r.exitCode, 65);
    const QJsonObject error = r.doc.value("error").toObject();
    EXPECT_EQ(error.value("code").toString(), "password-on-command-line");
    EXPECT_TRUE(error.value("field").toString().contains("psw", Qt::CaseInsensitive));
    EXPECT_EQ(leakIn(r.out + r.err, canary), "") << r.out << r.err;
  }
}
