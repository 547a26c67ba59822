// SPDX-License-Identifier: GPL-3.0-or-later
// USB printers arriving and leaving for the batch bench, against virtual printers in this process.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "UsbTestbed.h"
#include "channels/UsbArrivals.h"

namespace plenar::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

sim::UsbPrinterIdentity printer(int port, std::uint16_t pid = 0x811E) {
  sim::UsbPrinterIdentity id;
  id.port = port;
  id.productId = pid;
  id.serial = "";  // listed by port
  return id;
}

// Only the 811E printers count.
std::vector<std::string> printersOnly(const std::vector<std::string>& present) {
  std::vector<std::string> out;
  for (const auto& e : present) {
    if (e.find("PID_811E") != std::string::npos) out.push_back(e);
  }
  return out;
}

// Looks as a bench does, every 20 ms, until an arrival or `wait` has passed.
std::optional<std::string> nextArrival(UsbArrivals& a, std::chrono::milliseconds wait = 5s) {
  const auto until = Clock::now() + wait;
  while (Clock::now() < until) {
    if (auto e = a.arrival()) return e;
    std::this_thread::sleep_for(20ms);
  }
  return std::nullopt;
}

bool goneWithin(UsbArrivals& a, const std::string& entry, std::chrono::milliseconds wait = 5s) {
  const auto until = Clock::now() + wait;
  while (Clock::now() < until) {
    if (a.gone(entry)) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

TEST(UsbArrivals, EachPrinterArrivesOnceAfterSettlingAndAgainAfterLeaving) {
  UsbTestbed bed;
  auto& attached = bed.add(printer(1));
  UsbArrivals arrivals(printersOnly, 150ms);
  EXPECT_EQ(arrivals.attachedNow(), std::vector<std::string>{"VID_1234&PID_811E&PORT_1-1"});

  bed.add(printer(2, 0x0001));  // not a printer the bench wants
  const auto plugged = Clock::now();
  auto& second = bed.add(printer(3));
  EXPECT_EQ(nextArrival(arrivals), "VID_1234&PID_811E&PORT_1-3");
  EXPECT_GE(Clock::now() - plugged, 150ms);                // it had to settle first
  EXPECT_EQ(nextArrival(arrivals, 1500ms), std::nullopt);  // still there: not again

  EXPECT_FALSE(arrivals.gone("VID_1234&PID_811E&PORT_1-3"));
  second.unplug();
  EXPECT_TRUE(goneWithin(arrivals, "VID_1234&PID_811E&PORT_1-3"));
  second.plug();
  EXPECT_EQ(nextArrival(arrivals), "VID_1234&PID_811E&PORT_1-3");

  // One pulled out before it settled never arrives.
  attached.unplug();
  auto& brief = bed.add(printer(4));
  std::this_thread::sleep_for(40ms);
  (void)arrivals.arrival();
  brief.unplug();
  EXPECT_EQ(nextArrival(arrivals, 1500ms), std::nullopt);
}

}  // namespace
}  // namespace plenar::test
