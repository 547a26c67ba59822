// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's options for several USB printers: file names per printer, and --stream with
// --usb becoming a stream of USB printers.
#include <gtest/gtest.h>

#include <stdexcept>

#include "SimOptions.h"
#include "UsbOptions.h"

namespace plenar::sim {
namespace {

TEST(UsbOptions, EachPrinterGetsAFileOfItsOwn) {
  struct Case {
    const char* pattern;
    int n;
    const char* path;
  };
  for (const Case& c :
       {Case{"state.json", 2, "state-2.json"}, Case{"/t/s-{n}.json", 3, "/t/s-3.json"},
        Case{"/t/{n}/s{n}", 10, "/t/10/s10"}, Case{"/a.b/state", 2, "/a.b/state-2"},
        Case{"/t/.state", 2, "/t/.state-2"}, Case{"", 2, ""}}) {
    EXPECT_EQ(numberedPath(c.pattern, c.n), c.path) << c.pattern;
  }
}

TEST(UsbOptions, StreamWithUsbIsAStreamOfUsbPrinters) {
  bool help = false;
  SimOptions o = parseSimOptions({"--usb", "--stream", "4", "--stream-pull", "2:5", "--state",
                                  "/t/s-{n}.json", "--record", "/t/r.jsonl", "--usb-no-serial"},
                                 help);
  EXPECT_EQ(o.stream.count, 0);  // not one simulator per printer
  EXPECT_EQ(o.usbHost.stream, 4);
  EXPECT_EQ(o.usbHost.pullPrinter, 2);
  EXPECT_EQ(o.usbHost.pullFrames, 5);
  EXPECT_EQ(o.usbHost.serialPattern, "");
  EXPECT_EQ(o.usbHost.statePattern, "/t/s-{n}.json");
  EXPECT_EQ(o.stateFile, "/t/s-0.json");  // the simulator's own printer
  EXPECT_EQ(o.recordFile, "/t/r-0.jsonl");

  for (const auto& bad :
       {std::vector<std::string>{"--usb-count", "16"}, std::vector<std::string>{"--usb-count", "0"},
        std::vector<std::string>{"--usb-count", "2", "--stream", "2", "--state", "/t/{n}"},
        std::vector<std::string>{"--usb", "--stream", "2", "--state", "/t/s"}}) {
    EXPECT_THROW(parseSimOptions(bad, help), std::invalid_argument) << bad[0];
  }
}

}  // namespace
}  // namespace plenar::sim
