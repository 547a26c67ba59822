// SPDX-License-Identifier: GPL-3.0-or-later
// `plenar apply` of a full profile, timed as whole processes the way a provisioning script runs
// it: the built plenar started with fork/exec, --dir in a temporary folder, against
// plenar-printer-sim over UDP loopback and over a pseudo-terminal the simulator paces at the
// line rate. Two figures per link:
//
// 1. A fresh apply (no record: every group goes out), the time per printer, split into
//      fixed waits  the pauses the protocol makes by design, counted from the steps the --json
//                   result reports done:
//                     - serial: 30 ms after the port opens, once for every engine command that
//                       opens the link (the link test at the start, the link test on the new
//                       parameters after a group that changed the link in use, and every group
//                       except the six below);
//                     - the Ethernet address, mask, gateway, port and MAC and the Bluetooth-hiding
//                       sequences do not open the link; they refresh the port (serial: close,
//                       10 ms, reopen) and wait 10 ms before and after the sequence: 30 ms on
//                       serial, 20 ms on the network.
//                   The device rate equals the transfer rate, so no rate switch (2 x 30 ms
//                   each way) happens. A link-opening command identifies the printer first, so
//                   the identify requests the simulator recorded must match the count; the
//                   benchmark says so when they do not.
//      line time    every byte that crossed the line in either direction (requests, replies and
//                   raw sequences, from the simulator's record) at 10 bits per byte at the line
//                   rate; replies wait for their request, so nothing overlaps, except the six
//                   port-refresh sequences, which go out during the 10 ms pause after them (33
//                   bytes in this profile, 2.9 ms at 115200, counted in both). Loopback UDP has
//                   no line rate: 0.
//      the rest     total - fixed waits - line time: process start, profile and language files,
//                   the engine's threads, debug.log after every engine command and the record
//                   after every group (each written, synced to disk and renamed), the
//                   simulator's own answer time, exit. Printed with its ratio to the total, per
//                   engine command, and once more without a rerun's time (the process's own
//                   start and end).
// 2. A rerun with the record the fresh apply left (every hash matches, nothing is sent, not even
//    a link test): the whole process's time against its 20 ms target, next to `plenar --version`
//    (the program's start and exit alone).
//
// The profile holds every settings group plus --device and a small font and logo in [Files];
// firmware is left out (its wait for the printer to restart is seconds, and a shop profile does
// not carry one on every run). Its values leave the link as it is: BaudRate is the line rate, the
// flow control is software (the port's own setting), the Ethernet address is 127.0.0.1, its port
// the simulator's UDP port, the Ethernet port stays on and the Wi-Fi station takes its address by
// DHCP. Every repetition starts from a deleted record. plenar keeps its files (--dir, the record)
// in a temporary folder on the disk, as in a user's state folder; the simulator's folder is on
// tmpfs (see startSimulator).
//
// usage: bench_apply [--repeat N] [--baud RATE] [--font-size BYTES] [--no-logo]
//                    [--serial-only | --udp-only]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "SimProcess.h"
#include "requests/OptionLists.h"

extern char** environ;

namespace {

using plenar::test::SimProcess;
using Clock = std::chrono::steady_clock;

constexpr double kBitsPerByte = 10.0;  // start bit, 8 data bits, stop bit
constexpr double kSerialOpenPauseMs = 30.0;
constexpr double kRefreshPausesSerialMs = 30.0;  // close, 10 ms, reopen; 10 ms; send; 10 ms
constexpr double kRefreshPausesNetMs = 20.0;     // 10 ms; send; 10 ms
constexpr double kRerunTargetMs = 20.0;
constexpr int kIdentifyCommand = 0x30;

// Groups whose routine refreshes the port instead of opening the link.
const std::set<std::string> kPortRefreshGroups = {"net-ip",  "net-mask", "net-gateway",
                                                  "net-mac", "net-port", "bt-hide"};
// Groups whose routine opens the link (and identifies the printer) and then sends its frames,
const std::set<std::string> kFramedGroups = {
    "font",     "logos",        "baud",        "flow",    "codepage", "switches",
    "times",    "bluetooth",    "bt-workmode", "wifi-ap", "wifi-sta", "infrared",
    "ethernet", "retract-time", "paper-size",  "device"};
// or its raw sequence.
const std::set<std::string> kOpenAndSendGroups = {
    "black-mark", "black-mark-distance", "black-mark-width", "cutter-feed",
    "usb-type",   "paper-type",          "print-order"};

struct Options {
  int repeat = 5;
  int baud = 115200;
  std::size_t fontSize = 4096;
  bool logo = true;
  bool serial = true;
  bool udp = true;
};

// ---------------------------------------------------------------- the process

struct ProcessRun {
  int exitCode = -1;  // -1: did not exit normally
  double ms = 0;
  std::string out;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Starts `args` with stdout and stderr in files, waits for it; the time is from the start to
// the moment it was reaped.
ProcessRun runProcess(const std::vector<std::string>& args, const std::string& outPath,
                      const std::string& errPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);

  ProcessRun run;
  pid_t pid = -1;
  const auto start = Clock::now();
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = readFile(outPath);
  return run;
}

// ---------------------------------------------------------------- the profile

void writeBinary(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void putLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A 64 x 32 checkerboard as a 24-bit BMP.
std::vector<std::uint8_t> logoBmp() {
  constexpr std::uint32_t kWidth = 64, kHeight = 32;
  constexpr std::uint32_t kRow = (kWidth * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> b;
  b.push_back('B');
  b.push_back('M');
  putLe(b, 54 + kRow * kHeight, 4);
  putLe(b, 0, 4);
  putLe(b, 54, 4);
  putLe(b, 40, 4);
  putLe(b, kWidth, 4);
  putLe(b, kHeight, 4);
  putLe(b, 1, 2);
  putLe(b, 24, 2);
  putLe(b, 0, 4);
  putLe(b, kRow * kHeight, 4);
  putLe(b, 2835, 4);
  putLe(b, 2835, 4);
  putLe(b, 0, 4);
  putLe(b, 0, 4);
  for (std::uint32_t y = 0; y < kHeight; ++y) {
    for (std::uint32_t x = 0; x < kWidth; ++x) {
      const std::uint8_t v = ((x / 8 + y / 8) % 2 == 0) ? 0 : 255;
      b.insert(b.end(), {v, v, v});
    }
    b.insert(b.end(), kRow - kWidth * 3, 0);
  }
  return b;
}

// Writes the profile (and its files) into `dir`; returns its path.
std::string writeProfile(const std::string& dir, const Options& o, int netPort) {
  std::ostringstream p;
  p << "[ParaDefault]\n"
    << "BaudRate=" << o.baud << "\n"
    << "Flowcontrol=soft\n"
    << "CodePage=0\n"
    << "FontValue=12x24\nDark=1\nForcePaper=0A\nbuzzer=on\nCutPaper=on\n"
    << "sleepTime=60\npoweroffTime=7200\n"
    << "BlueToolthName=SHOP-BT\nMulBlueToolthName=SHOP-BT2\nBlueToolthPsw=1234\n"
    << "BlueToolthType=1\nBlueToolthMode=0\nBlueToolthCheck=0\n"
    << "BlueToolthWorkMode=normal\n"
    << "SSID=shopnet\nStaModePsw=secret123\nIpType=dhcp\nPort=9100\n"
    << "NetIPAddress=127.0.0.1\nSubnetmask=255.0.0.0\ngatewayt=127.0.0.1\n"
    << "MAC=00:11:22:33:44:55\n"
    << "Netport=" << netPort << "\n"
    << "Ethernet=on\n"
    << "InfraredType=off\nInfraredBaurate=9600\nirdaProtecl=raw\n"
    << "BlackMark=off\nBlacklookdistance=400\nBlackwidth=40\nCutteroptocoupler=0\n"
    << "UsbDeviceTpe=printer\nPaperType=receipt\nPrinterOrder=normal\nRptTime=10\n"
    << "BluetoothSEEK=off\nPaperSizeType=3\n";
  if (o.fontSize > 0 || o.logo) p << "[Files]\n";
  if (o.fontSize > 0) {
    std::vector<std::uint8_t> font(o.fontSize);
    for (std::size_t i = 0; i < font.size(); ++i) font[i] = static_cast<std::uint8_t>(i * 7 + 3);
    writeBinary(dir + "/font.bin", font);
    p << "Font=font.bin\nFontAddress=100000\n";
  }
  if (o.logo) {
    writeBinary(dir + "/logo.bmp", logoBmp());
    p << "Logo1=logo.bmp\n";
  }
  const std::string path = dir + "/shop.ini";
  std::ofstream(path) << p.str();
  return path;
}

// ---------------------------------------------------------------- what happened

struct ApplyResult {
  bool parsed = false;
  bool ok = false;
  bool changed = false;
  bool linkAfterAnswered = false;
  std::vector<std::string> done;  // groups sent, in order
  std::size_t steps = 0;
  std::string error;
};

ApplyResult parseResult(const std::string& json) {
  ApplyResult r;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
  if (!doc.isObject()) return r;
  r.parsed = true;
  const QJsonObject root = doc.object();
  r.ok = root.value("ok").toBool();
  const QJsonObject result = root.value("result").toObject();
  r.changed = result.value("changed").toBool();
  r.linkAfterAnswered = result.value("link_after_answered").toBool();
  for (const auto& s : result.value("steps").toArray()) {
    ++r.steps;
    const QJsonObject step = s.toObject();
    if (step.value("status").toString() == "done") {
      r.done.push_back(step.value("group").toString().toStdString());
    }
  }
  r.error = root.value("error").toObject().value("message").toString().toStdString();
  return r;
}

struct Waits {
  int linkOpens = 0;  // engine commands that open the link (link tests included)
  int refreshes = 0;  // port-refresh sequences
  std::vector<std::string> unknown;

  double ms(bool serial) const {
    return serial ? linkOpens * kSerialOpenPauseMs + refreshes * kRefreshPausesSerialMs
                  : refreshes * kRefreshPausesNetMs;
  }
  int commands() const { return linkOpens + refreshes; }
};

Waits waitsOf(const ApplyResult& r) {
  Waits w;
  w.linkOpens = 1 + (r.linkAfterAnswered ? 1 : 0);
  for (const std::string& g : r.done) {
    if (kPortRefreshGroups.count(g)) {
      ++w.refreshes;
    } else if (kFramedGroups.count(g) || kOpenAndSendGroups.count(g)) {
      ++w.linkOpens;
    } else {
      w.unknown.push_back(g);
    }
  }
  return w;
}

struct Wire {
  std::size_t frames = 0;
  std::size_t identifies = 0;
  std::size_t sequences = 0;
  std::size_t bytes = 0;  // both directions
};

// What the simulator received from record `from` on.
Wire wireSince(const std::vector<QJsonObject>& records, std::size_t from) {
  Wire w;
  for (std::size_t i = from; i < records.size(); ++i) {
    const QJsonObject& r = records[i];
    const QString kind = r.value("kind").toString();
    const auto length = static_cast<std::size_t>(r.value("length").toDouble());
    // A datagram is recorded once as it came and once decoded; an event is no byte.
    if (kind == "datagram" || kind == "event") continue;
    if (kind == "frame") {
      ++w.frames;
      if (r.value("command").toInt() == kIdentifyCommand) ++w.identifies;
      w.bytes += length == 0 ? 16 : 17 + length;
      w.bytes += static_cast<std::size_t>(r.value("reply").toString().size()) / 2;
    } else {
      if (kind == "sequence") ++w.sequences;
      w.bytes += length;
    }
  }
  return w;
}

// The record once the simulator has written what the last exchange left (it stops growing).
std::vector<QJsonObject> settledRecords(const SimProcess& sim) {
  auto records = sim.records();
  for (int i = 0; i < 50; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auto again = sim.records();
    if (again.size() == records.size()) return again;
    records = std::move(again);
  }
  return records;
}

struct Stats {
  double min = 0, median = 0, max = 0;
};

Stats statsOf(std::vector<double> v) {
  Stats s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  s.min = v.front();
  s.max = v.back();
  const std::size_t n = v.size();
  s.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
  return s;
}

std::string joined(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& s : v) out += (out.empty() ? "" : ", ") + s;
  return out;
}

// ---------------------------------------------------------------- one link

// The simulator saves its state file (synced to disk) on every change before it answers: a
// printer's own store, not the tool's time. Its folder goes on tmpfs where there is one.
std::unique_ptr<SimProcess> startSimulator(const SimProcess::Options& options) {
  const char* kTmpfs = "/dev/shm";
  if (access(kTmpfs, W_OK) != 0) return std::make_unique<SimProcess>(options);
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  setenv("TMPDIR", kTmpfs, 1);
  std::unique_ptr<SimProcess> sim;
  try {
    sim = std::make_unique<SimProcess>(options);
  } catch (...) {
    before ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
    throw;
  }
  before ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
  return sim;
}

// What the first repetition sent, and where the wait model and the simulator disagree.
void describeRun(const ApplyResult& r, const Waits& wt, const Wire& w) {
  std::printf("  %zu groups: %s\n", r.done.size(), joined(r.done).c_str());
  if (!wt.unknown.empty()) {
    std::printf("  note: no wait model for %s (counted as no wait)\n", joined(wt.unknown).c_str());
  }
  if (w.identifies != static_cast<std::size_t>(wt.linkOpens)) {
    std::printf(
        "  note: the model counts %d link openings, the simulator saw %zu identify "
        "requests\n",
        wt.linkOpens, w.identifies);
  }
}

// What the repetitions of one link measured.
struct Samples {
  std::vector<double> totals, rests, reruns, versions;
  Waits waits;
  Wire wire;
};

// plenar apply of the bench's profile over the simulator's link, with a record of its own.
std::vector<std::string> applyArgs(const SimProcess& sim, bool serial, const Options& o,
                                   const std::string& stateDir, const std::string& profile,
                                   const std::string& record) {
  std::vector<std::string> args{plenar::test::binaryPath("plenar"), "--dir", stateDir, "--json"};
  if (serial) {
    const std::string rate = std::to_string(o.baud);
    args.insert(args.end(),
                {"--serial", sim.serialPath(), "--device-baud", rate, "--transfer-baud", rate});
  } else {
    args.insert(args.end(), {"--net", sim.udpHost() + ":" + std::to_string(sim.udpPort())});
  }
  args.insert(args.end(), {"apply", profile, "--device", "BENCH-1", "000001", "--record", record});
  return args;
}

// The fresh applies: time per printer, split into fixed waits, line time and the rest.
void printFresh(const Samples& samples, bool serial, const Options& o) {
  const auto& [totals, rests, reruns, versions, waits, wire] = samples;
  if (totals.empty()) return;
  {
    const Stats t = statsOf(totals);
    const Stats rest = statsOf(rests);
    const double line =
        serial ? static_cast<double>(wire.bytes) * kBitsPerByte * 1000.0 / o.baud : 0.0;
    const int commands = waits.commands();
    std::printf(
        "  fresh record, %zu run(s): %d engine commands (%d open the link, %d refresh "
        "the port), %zu frames and %zu sequences, %zu bytes both ways\n",
        totals.size(), commands, waits.linkOpens, waits.refreshes, wire.frames, wire.sequences,
        wire.bytes);
    std::printf("    time per printer  min %8.1f  median %8.1f  max %8.1f ms\n", t.min, t.median,
                t.max);
    if (serial) {
      std::printf(
          "    fixed waits       %8.1f ms  (%d x %.0f ms after the port opens, %d x %.0f "
          "ms around a port refresh)\n",
          waits.ms(true), waits.linkOpens, kSerialOpenPauseMs, waits.refreshes,
          kRefreshPausesSerialMs);
      std::printf("    line time         %8.1f ms  (%zu bytes at %d bit/s)\n", line, wire.bytes,
                  o.baud);
    } else {
      std::printf("    fixed waits       %8.1f ms  (%d x %.0f ms around a port refresh)\n",
                  waits.ms(false), waits.refreshes, kRefreshPausesNetMs);
      std::printf("    line time         %8.1f ms  (loopback)\n", line);
    }
    std::printf("    the rest          %8.1f ms  (min %.1f, max %.1f)  ratio rest/total %.3f\n",
                rest.median, rest.min, rest.max, rest.median / t.median);
    if (commands > 0) {
      std::printf("    the rest per engine command %.1f ms", rest.median / commands);
      if (!reruns.empty()) {
        const double own = statsOf(reruns).median;
        std::printf("; without the process's own start and end (a rerun, %.1f ms): %.1f ms", own,
                    (rest.median - own) / commands);
      }
      std::printf("\n");
    }
  }
}

// The reruns against the record the fresh apply left, next to plenar --version.
void printRerun(const Samples& samples) {
  const auto& reruns = samples.reruns;
  const auto& versions = samples.versions;
  if (reruns.empty()) return;
  {
    const Stats r = statsOf(reruns);
    std::printf("  rerun, matching record (nothing sent), %zu run(s)\n", reruns.size());
    std::printf(
        "    whole process     min %8.1f  median %8.1f  max %8.1f ms  ratio to the %.0f "
        "ms target %.3f\n",
        r.min, r.median, r.max, kRerunTargetMs, r.median / kRerunTargetMs);
    if (!versions.empty()) {
      const Stats v = statsOf(versions);
      std::printf(
          "    plenar --version  min %8.1f  median %8.1f  max %8.1f ms  (start and exit "
          "alone; the rerun's own work %.1f ms)\n",
          v.min, v.median, v.max, r.median - v.median);
    }
  }
}

void runLink(const char* name, bool serial, const Options& o) {
  SimProcess::Options simOptions;
  simOptions.serial = serial;
  simOptions.udp = !serial;
  simOptions.baud = o.baud;
  if (serial) simOptions.extraArgs = {"--pace"};
  const std::unique_ptr<SimProcess> simProcess = startSimulator(simOptions);
  const SimProcess& sim = *simProcess;

  std::string tmpl =
      (std::filesystem::temp_directory_path() / "plenar-bench-apply-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  const std::string dir = tmpl;
  const std::string stateDir = dir + "/state";
  std::filesystem::create_directory(stateDir);
  const std::string profile = writeProfile(dir, o, serial ? 9100 : sim.udpPort());
  const std::string record = dir + "/record.json";

  const std::vector<std::string> args = applyArgs(sim, serial, o, stateDir, profile, record);

  if (serial) {
    std::printf("%s %s at %d bit/s (the simulator paces the line)\n", name,
                sim.serialPath().c_str(), o.baud);
  } else {
    std::printf("%s %s:%d (no line rate)\n", name, sim.udpHost().c_str(), sim.udpPort());
  }

  Samples samples;
  bool described = false;
  for (int i = 0; i < o.repeat; ++i) {
    std::filesystem::remove(record);
    std::size_t mark = sim.records().size();
    const ProcessRun fresh = runProcess(args, dir + "/out.json", dir + "/err.txt");
    const ApplyResult r = parseResult(fresh.out);
    if (fresh.exitCode != 0 || !r.parsed || !r.ok || !r.changed || r.done.size() != r.steps) {
      std::printf("  apply FAILED (exit %d, %zu of %zu groups sent): %s\n", fresh.exitCode,
                  r.done.size(), r.steps, r.parsed ? r.error.c_str() : "no JSON result");
      std::printf("  stderr: %s\n", readFile(dir + "/err.txt").c_str());
      break;
    }
    const auto records = settledRecords(sim);
    const Wire w = wireSince(records, mark);
    const Waits wt = waitsOf(r);
    const double line =
        serial ? static_cast<double>(w.bytes) * kBitsPerByte * 1000.0 / o.baud : 0.0;
    samples.totals.push_back(fresh.ms);
    samples.rests.push_back(fresh.ms - wt.ms(serial) - line);
    if (!described) {
      described = true;
      samples.waits = wt;
      samples.wire = w;
      describeRun(r, wt, w);
    } else if (w.bytes != samples.wire.bytes) {
      std::printf("  note: repetition %d moved %zu bytes, the first %zu\n", i + 1, w.bytes,
                  samples.wire.bytes);
    }

    // The rerun: the record matches every group.
    mark = records.size();
    const ProcessRun again = runProcess(args, dir + "/out.json", dir + "/err.txt");
    const ApplyResult ra = parseResult(again.out);
    const std::size_t sent = settledRecords(sim).size() - mark;
    if (again.exitCode != 0 || !ra.parsed || !ra.ok || ra.changed || sent != 0) {
      std::printf("  rerun FAILED (exit %d, changed %s, %zu records at the simulator): %s\n",
                  again.exitCode, ra.changed ? "true" : "false", sent, ra.error.c_str());
      break;
    }
    samples.reruns.push_back(again.ms);
    const ProcessRun version =
        runProcess({args.front(), "--version"}, dir + "/out.json", dir + "/err.txt");
    if (version.exitCode == 0) samples.versions.push_back(version.ms);
  }

  printFresh(samples, serial, o);
  printRerun(samples);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

bool knownRate(int rate) {
  const std::string text = std::to_string(rate);
  return std::find(plenar::kBaudRateItems.begin(), plenar::kBaudRateItems.end(), text) !=
         plenar::kBaudRateItems.end();
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) {
      o.repeat = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--baud") && i + 1 < argc) {
      o.baud = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--font-size") && i + 1 < argc) {
      o.fontSize = std::strtoul(argv[++i], nullptr, 10);
    } else if (!std::strcmp(argv[i], "--no-logo")) {
      o.logo = false;
    } else if (!std::strcmp(argv[i], "--serial-only")) {
      o.udp = false;
    } else if (!std::strcmp(argv[i], "--udp-only")) {
      o.serial = false;
    } else {
      std::fprintf(stderr,
                   "usage: bench_apply [--repeat N] [--baud RATE] [--font-size BYTES] "
                   "[--no-logo] [--serial-only|--udp-only]\n");
      return 64;
    }
  }
  if (!knownRate(o.baud)) {
    std::fprintf(stderr, "bench_apply: %d is not a rate the printer takes (1200..230400)\n",
                 o.baud);
    return 64;
  }
  std::string files;
  if (o.fontSize > 0) files += ", a " + std::to_string(o.fontSize) + "-byte font";
  if (o.logo) files += ", a 64x32 logo";
  std::printf("plenar apply, whole process: every settings group, --device%s; %d repetition(s)\n",
              files.c_str(), o.repeat);
  try {
    if (o.udp) runLink("UDP loopback", false, o);
    if (o.serial) runLink("pseudo-terminal", true, o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_apply: %s\n", e.what());
    return 1;
  }
  return 0;
}
