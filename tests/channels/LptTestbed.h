// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "devices/LptPortDevice.h"
#include "devices/Testbed.h"

namespace plenar::test {

// One testbed per test with the virtual ports a test asks for.
struct LptTestbed {
  sim::Testbed testbed;
  std::unique_ptr<sim::LptPortDevice> port;

  explicit LptTestbed(sim::LptPortIdentity identity = {}, bool withPort = true) {
    if (withPort) port = std::make_unique<sim::LptPortDevice>(testbed, identity);
  }
};

}  // namespace plenar::test
