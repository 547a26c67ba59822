// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/transport/AssembledReplies.h"

#include "engine/TCommThread.h"
#include "shared/Frame.h"

namespace plenar {

using std::chrono::milliseconds;

bool awaitAssembledAck(TCommThread& worker, std::uint16_t command) {
  if (command == kUserDataCommand) {
    worker.pause(milliseconds(30));
    return true;
  }
  return worker.waitReply(milliseconds(3000));
}

std::optional<int> awaitAssembledRead(TCommThread& worker, std::span<std::uint8_t> reply) {
  if (!worker.waitReply(milliseconds(600))) return std::nullopt;
  return worker.reply().copyData(reply);
}

}  // namespace plenar
