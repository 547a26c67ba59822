// SPDX-License-Identifier: GPL-3.0-or-later
// Times a font download (code 3) and a read-back (code 16) of 64 KiB through the whole engine
// (worker, link layer, serial channel or UDP socket, reply assembler on the owner thread) against
// plenar-printer-sim, and compares each with the line-rate lower bound: every byte that crossed
// the line in either direction (requests and replies, counted from the simulator's record) at
// 10 bits per byte at the line rate, one frame at a time as the protocol's stop and wait demands.
// The whole command's ratio includes its fixed cost (the pause after the port opens, the
// printer's erase time); the median cycle's ratio is the cost of each block.
//
// usage: bench_transfer [--size BYTES] [--repeat N] [--baud RATE] [--serial-only | --udp-only]
#include <unistd.h>

#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "EngineRunner.h"
#include "SimProcess.h"
#include "app/Engine.h"
#include "engine/TCommThread.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"
#include "requests/FileActions.h"

using namespace plenar;
using plenar::test::SimProcess;
using Clock = std::chrono::steady_clock;

namespace {

int lineRate = 115200;  // --baud: the serial rate, and the bound's rate on both links
constexpr double kBitsPerByte = 10.0;  // start bit, 8 data bits, stop bit

struct Wire {
  std::size_t bytes = 0;   // both directions
  std::size_t frames = 0;  // request frames (each one round trip)
  // The median over the transfer's cycles (from one frame's arrival at the simulator to the
  // next one's, by its record's clock) of the cycle time over that round trip's line time: the
  // cost of each block once the transfer runs, without the fixed cost of the command's start
  // (the pause after the port opens, the printer's erase) and end.
  double medianCycleMs = 0;
  double medianCycleRatio = 0;
  // From the first frame's start on the line to the last answer's end: the command's time
  // without its start (port open, the pause after it) and end (close, log save).
  double framesMs = 0;
};

// Bytes on the line for everything the simulator received after record `from`.
Wire wireBytes(const SimProcess& sim, std::size_t from) {
  Wire w;
  auto records = sim.records();
  std::vector<double> times;  // when each frame had arrived whole
  std::vector<std::size_t> requestBytes, replyBytes;
  for (std::size_t i = from; i < records.size(); ++i) {
    const QJsonObject& r = records[i];
    if (r.value("kind").toString() != "frame") continue;
    times.push_back(r.value("time").toDouble());
    auto n = static_cast<std::size_t>(r.value("length").toDouble());
    requestBytes.push_back(n == 0 ? 16 : 17 + n);
    replyBytes.push_back(static_cast<std::size_t>(r.value("reply").toString().size()) / 2);
    w.bytes += requestBytes.back() + replyBytes.back();
    ++w.frames;
  }
  auto lineMs = [](std::size_t bytes) {
    return static_cast<double>(bytes) * kBitsPerByte * 1000.0 / lineRate;
  };
  // Cycle i: frame i-1's answer, then frame i.
  std::vector<std::pair<double, double>> cycles;  // (ratio to the line time, milliseconds)
  for (std::size_t i = 1; i < times.size(); ++i) {
    const double ms = times[i] - times[i - 1];
    cycles.emplace_back(ms / lineMs(replyBytes[i - 1] + requestBytes[i]), ms);
  }
  if (!times.empty()) {
    w.framesMs =
        lineMs(requestBytes.front()) + times.back() - times.front() + lineMs(replyBytes.back());
  }
  if (!cycles.empty()) {
    std::nth_element(cycles.begin(), cycles.begin() + cycles.size() / 2, cycles.end());
    w.medianCycleRatio = cycles[cycles.size() / 2].first;
    w.medianCycleMs = cycles[cycles.size() / 2].second;
  }
  return w;
}

using Outcome = test::EngineRunner::Outcome;

void report(const char* what, const Outcome& o, const Wire& w) {
  if (!o.ok) {
    std::printf("%-28s FAILED: %s\n", what, o.error.c_str());
    return;
  }
  double bound = static_cast<double>(w.bytes) * kBitsPerByte / lineRate;
  double frames = w.frames ? static_cast<double>(w.frames) : 1.0;
  double wirePerFrameMs = bound * 1000.0 / frames;
  std::printf("%-26s %7.3f s  bound %6.3f s  ratio %6.3f  (%zu bytes, %zu frames)\n", what,
              o.seconds, bound, o.seconds / bound, w.bytes, w.frames);
  std::printf(
      "%-26s per frame: %.2f ms measured, %.2f ms on the wire; median cycle %.3f ms, "
      "ratio %.3f to its line time\n",
      "", o.seconds * 1000.0 / frames, wirePerFrameMs, w.medianCycleMs, w.medianCycleRatio);
  std::printf("%-26s start and end of the command (open, pause, close, log): %.1f ms\n", "",
              o.seconds * 1000.0 - w.framesMs);
}

void runLink(const char* name, bool serial, std::size_t size, int repeat) {
  SimProcess::Options options;
  options.serial = serial;
  options.udp = !serial;
  options.baud = lineRate;
  if (serial) options.extraArgs = {"--pace"};
  SimProcess sim(options);
  test::EngineRunner bench;

  LinkSnapshot link;
  if (serial) {
    link.kind = LinkKind::Serial;
    link.serialPort = sim.serialPath();
    link.deviceBaudText = std::to_string(lineRate);
    link.transferBaudText = std::to_string(lineRate);
  } else {
    link.kind = LinkKind::Network;
    link.ipAddress = sim.udpHost();
    link.udpPort = sim.udpPort();
  }

  const std::string font = bench.dir() + "/font.bin";
  {
    std::vector<char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    std::ofstream(font, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
  }
  std::printf("%s, %zu bytes at %d bit/s%s\n", name, size, lineRate,
              serial ? " (simulator paces the line)" : " (loopback, no pacing)");
  for (int i = 0; i < repeat; ++i) {
    std::size_t mark = sim.records().size();
    Outcome down = bench.run(*fontDownloadRequest(font, "100000"), link);
    report("  font download (code 3)", down, wireBytes(sim, mark));

    mark = sim.records().size();
    Outcome back =
        bench.run(readBackRequest("100000", std::to_string(size), bench.dir() + "/back.bin"), link);
    report("  read-back (code 16)", back, wireBytes(sim, mark));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t size = 64 * 1024;
  int repeat = 1;
  bool doSerial = true, doUdp = true;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--size") && i + 1 < argc) {
      size = std::strtoul(argv[++i], nullptr, 10);
    } else if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--baud") && i + 1 < argc) {
      lineRate = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--serial-only")) {
      doUdp = false;
    } else if (!std::strcmp(argv[i], "--udp-only")) {
      doSerial = false;
    } else {
      std::fprintf(stderr,
                   "usage: bench_transfer [--size BYTES] [--repeat N] [--baud RATE] "
                   "[--serial-only|--udp-only]\n");
      return 64;
    }
  }
  try {
    if (doSerial) runLink("pseudo-terminal", true, size, repeat);
    if (doUdp) runLink("UDP loopback", false, size, repeat);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_transfer: %s\n", e.what());
    return 1;
  }
  return 0;
}
