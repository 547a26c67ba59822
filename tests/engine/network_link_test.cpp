// SPDX-License-Identifier: GPL-3.0-or-later
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "EngineHarness.h"
#include "UdpPeer.h"
#include "channels/TComm.h"
#include "shared/Errors.h"
#include "shared/Frame.h"

using namespace plenar;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes ack(const Bytes& request) {
  auto h = parseHeader(request);
  return buildFrame(h.command, 0, 0, {});
}

Bytes identifyReply(const Bytes& request) {
  auto h = parseHeader(request);
  if (h.command == 0x30) {
    Bytes tag{'p', 'l', 'e', 'n', 'a', 'r', '8', '0'};
    return buildFrame(0x30, 0, 0, tag);
  }
  return ack(request);
}

}  // namespace

TEST(NetworkLink, LinkTestFindsAnAnsweringPrinterAndReadsItsTag) {
  UdpPeer printer(identifyReply);
  EngineHarness h;
  CommandRequest r;
  r.code = 1;
  h.run(r, networkLink(printer.port()));
  std::string where = "127.0.0.1:" + std::to_string(printer.port());
  EXPECT_EQ(h.progressTexts().front(), "Checking" + where);
  EXPECT_EQ(h.messages().back().status, where + " Found");
  auto msgs = h.messages();
  ASSERT_GE(msgs.size(), 2u);
  EXPECT_EQ(msgs[msgs.size() - 2].msg, 1024);
  EXPECT_EQ(msgs.back().msg, 1026);
  EXPECT_EQ(h.link().printerModelTag(), "PLENAR80");
  ASSERT_EQ(printer.received().size(), 1u);
  EXPECT_EQ(printer.received()[0].size(), 25u);  // the identify frame only
}

TEST(NetworkLink, LinkTestWithoutPrinterWaitsItsTimeAndFails) {
  UdpPeer silent([](const Bytes&) { return Bytes{}; });
  EngineHarness h;
  CommandRequest r;
  r.code = 1;
  auto start = std::chrono::steady_clock::now();
  h.run(r, networkLink(silent.port()));
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(2900));
  auto msgs = h.messages();
  ASSERT_GE(msgs.size(), 2u);
  EXPECT_EQ(msgs[msgs.size() - 2].msg, 1028);
  EXPECT_EQ(msgs.back().msg, 1027);
  EXPECT_EQ(msgs.back().wParam, 1);
  EXPECT_EQ(msgs.back().error, "Connecting Failed");
  // The Checking text stays: nothing replaced it.
  EXPECT_EQ(msgs.back().status, "Checking127.0.0.1:" + std::to_string(silent.port()));
}

TEST(NetworkLink, OnlyTheStartOfAnAcknowledgementIsChecked) {
  UdpPeer printer([](const Bytes& req) {
    Bytes reply = ack(req);
    reply[14] ^= 0xFF;  // wrong header check: still an acknowledgement on the network
    return reply;
  });
  EngineHarness h;
  int length = -1;
  h.runRoutine(networkLink(printer.port()), [&](TCommThread& w) {
    w.runGuarded([&] {
      h.link().openLink();  // the identify read accepts it too
      length = h.link().framedRequest(0x80, 0, 0, Bytes{0}, 3);
    });
  });
  EXPECT_EQ(length, 0);
  EXPECT_EQ(h.messages().back().msg, 1026);
}

TEST(NetworkLink, DatagramsFromAnyOtherSenderAreIgnored) {
  UdpPeer printer([](const Bytes&) { return Bytes{}; });  // the printer stays silent
  int stranger = ::socket(AF_INET, SOCK_DGRAM, 0);
  EngineHarness h;
  std::string error;
  h.runRoutine(networkLink(printer.port()), [&](TCommThread&) {
    // A stranger answers the request, to the tool's own port, while the tool waits.
    std::thread intruder([&] {
      for (int i = 0; i < 200 && printer.received().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      sockaddr_in to = printer.lastSender();
      Bytes reply = buildFrame(0x80, 0, 0, {});
      ::sendto(stranger, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&to),
               sizeof to);
    });
    try {
      h.link().openLink();
    } catch (const EPrinterError& e) {
      error = e.what();
    }
    intruder.join();
  });
  ::close(stranger);
  EXPECT_EQ(error, "Received Failed");
}

TEST(NetworkLink, ReadReturnsTheAnnouncedLengthAndNeverWritesPastTheBuffer) {
  UdpPeer printer([](const Bytes& req) {
    auto h = parseHeader(req);
    Bytes reply = buildFrame(h.command, 0, 0, Bytes(300, 0xAB));
    reply.resize(16 + 100);  // cut short: announces 300, carries 100
    return reply;
  });
  EngineHarness h;
  int length = 0;
  std::vector<std::uint8_t> small(64, 0);
  h.runRoutine(networkLink(printer.port()), [&](TCommThread& w) {
    w.runGuarded([&] {
      h.link().openLink();
      length = h.link().framedRead(0x34, 0, 0, {}, small, 3);
    });
  });
  EXPECT_EQ(length, 300);
  EXPECT_EQ(small, std::vector<std::uint8_t>(64, 0xAB));
}

TEST(NetworkLink, BootQuietTurnsAnUnansweredRequestIntoAReturn) {
  UdpPeer silent([](const Bytes&) { return Bytes{}; });
  EngineHarness h;
  int length = -1;
  h.runRoutine(networkLink(silent.port()), [&](TCommThread& w) {
    h.link().state().setBootQuiet(true);
    w.runGuarded([&] {
      h.link().openLink();  // the identify read gets no answer and does not fail
      length = h.link().framedRequest(0x80, 0, 0, Bytes{1}, 1);
    });
    h.link().state().setBootQuiet(false);
  });
  EXPECT_EQ(length, 0);
  EXPECT_EQ(h.messages().back().msg, 1026);
  EXPECT_EQ(silent.received().size(), 2u);
}

TEST(NetworkLink, OversizedRequestsAndBadRatesAreRefusedBeforeSending) {
  UdpPeer printer(identifyReply);
  EngineHarness h;
  std::string tooBig, badRate;
  h.runRoutine(networkLink(printer.port()), [&](TCommThread&) {
    h.link().openLink();
    try {
      h.link().framedRequest(0x35, 0, 0, Bytes(1017, 0), 3);
    } catch (const EPrinterError& e) {
      tooBig = e.what();
    }
    try {
      h.link().switchBaudRate(14400);
    } catch (const EPrinterError& e) {
      badRate = e.what();
    }
  });
  EXPECT_NE(tooBig.find("1016"), std::string::npos) << tooBig;
  EXPECT_NE(badRate.find("14400"), std::string::npos) << badRate;
  EXPECT_EQ(printer.received().size(), 1u);  // only the identify request went out
}

TEST(NetworkLink, RestoringTheDeviceRateTravelsOverTheNetwork) {
  UdpPeer printer(identifyReply);
  EngineHarness h;
  LinkSnapshot link = networkLink(printer.port());
  link.deviceBaudText = "19200";
  h.runRoutine(link, [&](TCommThread& w) {
    w.runGuarded([&] {
      h.link().openLink();
      h.link().restoreDeviceRate();
    });
  });
  auto got = printer.received();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1], buildFrame(0x31, 1, 0, {}));
  EXPECT_EQ(h.engine().serial().rate(), 19200u);
  EXPECT_EQ(h.messages().back().msg, 1026);
}
