// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "platform/ManualResetEvent.h"

using namespace plenar;
using namespace std::chrono_literals;

EngineHarness::EngineHarness() {
  dispatcher_.start();
  window_ = std::make_unique<HeadlessReportWindow>(dispatcher_, [this](int msg, std::intptr_t w) {
    std::lock_guard lock(mutex_);
    // A progress message carries the text it was posted with; others the texts of the moment.
    std::string status = msg == 1025 ? engine_->worker().takePostedProgress()
                                     : engine_->worker().mainTexts().statusText();
    messages_.push_back({msg, w, status, engine_->worker().lastResult().message});
  });
  engine_ = std::make_unique<Engine>(dir_.path(), *window_, dispatcher_);
}

EngineHarness::~EngineHarness() {
  engine_.reset();
  dispatcher_.stop();
}

void EngineHarness::run(CommandRequest request, const LinkSnapshot& link) {
  request.link = link;
  ASSERT_TRUE(worker().postCommand(std::move(request)));
  ASSERT_TRUE(worker().waitIdle(60s));
  ManualResetEvent flushed;
  dispatcher_.post([&] { flushed.set(); });
  ASSERT_TRUE(flushed.waitFor(10s));
}

void EngineHarness::runRoutine(const LinkSnapshot& link, std::function<void(TCommThread&)> body) {
  worker().setRoutine(25, std::move(body));
  CommandRequest r;
  r.code = 25;
  run(std::move(r), link);
}

std::vector<EngineHarness::Message> EngineHarness::messages() {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<std::string> EngineHarness::progressTexts() {
  std::vector<std::string> out;
  for (auto& m : messages())
    if (m.msg == 1025) out.push_back(m.status);
  return out;
}

std::vector<std::string> EngineHarness::traceHeads() {
  std::vector<std::string> out;
  std::istringstream in(dir_.read("debug.log"));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("    ", 0) != 0) out.push_back(line);
  }
  return out;
}

LinkSnapshot serialLink(const std::string& port, const std::string& device,
                        const std::string& transfer) {
  LinkSnapshot l;
  l.kind = LinkKind::Serial;
  l.serialPort = port;
  l.deviceBaudText = device;
  l.transferBaudText = transfer;
  return l;
}

LinkSnapshot networkLink(int port, const std::string& host) {
  LinkSnapshot l;
  l.kind = LinkKind::Network;
  l.ipAddress = host;
  l.udpPort = port;
  return l;
}
