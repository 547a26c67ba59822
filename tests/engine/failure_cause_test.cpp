// SPDX-License-Identifier: GPL-3.0-or-later
// Where a failure becomes one of the described texts, what it stood for is kept: the worker
// writes it to debug.log after the text and hands it to plenar as the failure's cause.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "EngineHarness.h"
#include "UdpPeer.h"
#include "shared/Errors.h"
#include "shared/Frame.h"

using namespace plenar;
using Bytes = std::vector<std::uint8_t>;

namespace {

// A printer that answers every request at once with a datagram that is no frame: each wait for
// an answer ends without one, and nothing waits out its time.
Bytes junk(const Bytes&) {
  return Bytes{0x55};
}

TEST(FailureCause, TheDescribedTextKeepsWhatItStoodFor) {
  struct Case {
    const char* name;
    std::function<void(EngineHarness&, TCommThread&)> routine;  // null: the link test (code 1)
    std::string error;
    std::string cause;  // "%" stands for the printer's port
  };
  const std::vector<Case> cases = {
      {"the link test without an answer", nullptr, "Connecting Failed",
       "127.0.0.1:%: Received Failed"},
      {"an unacknowledged rate switch",
       [](EngineHarness& h, TCommThread& w) {
         w.runGuarded([&] { h.link().switchBaudRate(19200); });
       },
       "Set Baudrate Failed", "switching to 19200 bit/s: Download Data Failed"},
      {"an unacknowledged boot connect request",
       [](EngineHarness& h, TCommThread& w) { w.runGuarded([&] { h.link().connectHandshake(); }); },
       "Connecting Failed", "the boot connect request: Download Data Failed"},
      {"a failure without a text of its own",
       [](EngineHarness&, TCommThread& w) {
         w.runGuarded([] { throw std::length_error("frame of 5000 bytes"); });
       },
       "Undefined Error", "frame of 5000 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UdpPeer printer(junk);
    EngineHarness h;
    if (c.routine) {
      h.runRoutine(networkLink(printer.port()), [&](TCommThread& w) { c.routine(h, w); });
    } else {
      CommandRequest test;
      test.code = 1;
      h.run(test, networkLink(printer.port()));
    }
    std::string cause = c.cause;
    if (auto at = cause.find('%'); at != std::string::npos) {
      cause.replace(at, 1, std::to_string(printer.port()));
    }
    ASSERT_FALSE(h.messages().empty());
    EXPECT_EQ(h.messages().back().msg, kMsgFailed);
    EXPECT_EQ(h.messages().back().error, c.error);
    EXPECT_EQ(h.worker().lastResult().cause, cause);
    EXPECT_EQ(h.worker().lastResult().detail, "");  // the windows show the text alone
    const auto heads = h.traceHeads();
    const std::string line = c.error + ": " + cause + " ";
    EXPECT_TRUE(std::any_of(heads.begin(), heads.end(),
                            [&](const std::string& l) { return l.rfind(line, 0) == 0; }))
        << "debug.log has no line starting \"" << line << "\"";
  }
}

}  // namespace
