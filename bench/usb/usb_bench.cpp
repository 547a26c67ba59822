// SPDX-License-Identifier: GPL-3.0-or-later
// The USB channel against the printer simulator's virtual USB printer (umockdev):
//  1. a 64 KiB font download (code 3) through the whole engine (worker, link layer, TUSBComm,
//     reply assembler on the owner thread), against the same bulk exchanges done directly with
//     synchronous libusb calls in this process: the frames the simulator recorded, each written
//     on bulk OUT and its acknowledgement read on bulk IN. Prints medians and the ratio.
//  2. the CPU time this process and the simulator use in 5 s with the device open and idle.
// The executable links the umockdev preload; UMOCKDEV_DIR is pointed at the simulator's testbed.
//
// usage: bench_usb [--repeat N] [--idle SECONDS]
#include <libusb.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "EngineRunner.h"
#include "SimProcess.h"
#include "app/Engine.h"
#include "engine/TCommThread.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"
#include "requests/FileActions.h"
#include "shared/Frame.h"

using namespace plenar;
using plenar::test::SimProcess;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kFontSize = 64 * 1024;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::vector<std::uint8_t> fromHex(const QString& hex) {
  std::vector<std::uint8_t> out;
  const std::string s = hex.toStdString();
  for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(s.substr(i, 2), nullptr, 16)));
  }
  return out;
}

// CPU seconds (user + system) of a process, from /proc.
double cpuSeconds(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::vector<std::string> fields;
  std::size_t pos = close + 2;
  while (pos < stat.size()) {
    const auto end = stat.find(' ', pos);
    fields.push_back(stat.substr(pos, end - pos));
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  // Fields after the name start at "state"; utime and stime are the 12th and 13th of them.
  if (fields.size() < 13) return 0;
  const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
  return (std::stod(fields[11]) + std::stod(fields[12])) / ticks;
}

// The same frames as the engine sent, each written and its answer read with blocking libusb
// calls: what the exchange costs without the channel's threads and the owner-thread hop.
class DirectLibusb {
 public:
  DirectLibusb() {
    if (libusb_init(&context_) != 0) throw std::runtime_error("libusb_init failed");
    handle_ = libusb_open_device_with_vid_pid(context_, 0x1234, 0x811E);
    if (handle_ == nullptr) throw std::runtime_error("the virtual printer cannot be opened");
    if (libusb_claim_interface(handle_, 0) != 0) throw std::runtime_error("claim failed");
  }
  ~DirectLibusb() {
    libusb_release_interface(handle_, 0);
    libusb_close(handle_);
    libusb_exit(context_);
  }
  // Seconds for all frames, or a negative number on a failed transfer.
  double run(const std::vector<std::vector<std::uint8_t>>& frames) {
    std::vector<std::uint8_t> answer(2048);
    const auto start = Clock::now();
    for (const auto& f : frames) {
      int done = 0;
      if (libusb_bulk_transfer(handle_, 0x01, const_cast<std::uint8_t*>(f.data()),
                               static_cast<int>(f.size()), &done, 3000) != 0) {
        return -1;
      }
      if (libusb_bulk_transfer(handle_, 0x82, answer.data(), static_cast<int>(answer.size()), &done,
                               3000) != 0) {
        return -1;
      }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

 private:
  libusb_context* context_ = nullptr;
  libusb_device_handle* handle_ = nullptr;
};

// The frames the simulator recorded from `mark` on, rebuilt as the engine sent them.
std::vector<std::vector<std::uint8_t>> framesSince(const SimProcess& sim, std::size_t mark) {
  std::vector<std::vector<std::uint8_t>> frames;
  auto records = sim.records();
  for (std::size_t r = mark; r < records.size(); ++r) {
    const QJsonObject& rec = records[r];
    if (rec.value("kind").toString() != "frame") continue;
    frames.push_back(buildFrame(static_cast<std::uint16_t>(rec.value("command").toInt()),
                                static_cast<std::uint32_t>(rec.value("value1").toDouble()),
                                static_cast<std::uint32_t>(rec.value("value2").toDouble()),
                                fromHex(rec.value("data").toString())));
  }
  return frames;
}

std::string writeFont(const std::string& path) {
  std::vector<char> bytes(kFontSize);
  for (std::size_t i = 0; i < kFontSize; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  std::ofstream(path, std::ios::binary).write(bytes.data(), kFontSize);
  return path;
}

void printIdleCpu(const SimProcess& sim, int idleSeconds) {
  const double toolBefore = cpuSeconds(::getpid());
  const double simBefore = cpuSeconds(sim.pid());
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  const double toolIdle = (cpuSeconds(::getpid()) - toolBefore) / idleSeconds * 100;
  const double simIdle = (cpuSeconds(sim.pid()) - simBefore) / idleSeconds * 100;
  std::printf(
      "idle with the device open for %d s: tool %.2f %% CPU, simulator %.2f %% CPU "
      "(target under 1 %%)\n",
      idleSeconds, toolIdle, simIdle);
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  int idleSeconds = 5;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--idle") && i + 1 < argc) {
      idleSeconds = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: bench_usb [--repeat N] [--idle SECONDS]\n");
      return 64;
    }
  }
  try {
    SimProcess::Options options;
    options.serial = false;
    options.usb = "1234:811E";
    SimProcess sim(options);
    ::setenv("UMOCKDEV_DIR", sim.usbDir().c_str(), 1);

    std::vector<double> tool;
    std::vector<std::vector<std::uint8_t>> frames;
    {
      test::EngineRunner engine;
      LinkSnapshot usbLink;
      usbLink.kind = LinkKind::Usb;
      usbLink.usbDevice = "VID_1234&PID_811E";
      const std::string font = writeFont(engine.dir() + "/font.bin");
      if (!engine.run(linkTestRequest(usbLink), usbLink).ok) {
        throw std::runtime_error("the link test failed");
      }
      for (int i = 0; i < repeat; ++i) {
        const std::size_t mark = sim.records().size();
        const auto outcome = engine.run(*fontDownloadRequest(font, "100000"), usbLink);
        if (!outcome.ok) throw std::runtime_error("the font download failed: " + outcome.error);
        tool.push_back(outcome.seconds);
        if (i == 0) {
          frames = framesSince(sim, mark);
        }
      }

      // The device stays open after a command; nothing moves now.
      printIdleCpu(sim, idleSeconds);
    }

    std::vector<double> direct;
    {
      DirectLibusb usb;
      for (int i = 0; i < repeat; ++i) {
        const double s = usb.run(frames);
        if (s < 0) throw std::runtime_error("a direct libusb transfer failed");
        direct.push_back(s);
      }
    }
    const double t = median(tool);
    const double d = median(direct);
    std::printf(
        "64 KiB font download, %zu frames, median of %d: engine %.1f ms, direct libusb "
        "%.1f ms, ratio %.2f (target <= 1.10)\n",
        frames.size(), repeat, t * 1000, d * 1000, t / d);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_usb: %s\n", e.what());
    return 1;
  }
  return 0;
}
