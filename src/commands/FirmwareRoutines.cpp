// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <span>
#include <string>

#include "commands/Routines.h"
#include "engine/LinkLayer.h"
#include "engine/TCommThread.h"
#include "requests/FileActions.h"
#include "shared/Errors.h"
#include "shared/SharedTexts.h"

namespace plenar {

namespace {

constexpr std::size_t kProgramBlock = 256;
constexpr std::uint16_t kBlockCommand = 0x33;
constexpr std::uint16_t kEndCommand = 0x2E;
constexpr int kAttempts = 3;
constexpr std::uint8_t kBootByte = 0x61;  // 'a': sent until the boot loader echoes it
constexpr auto kHandshakePass = std::chrono::milliseconds(50);

// The program file's tag; a file that ends inside its tag matches no printer.
std::optional<std::string> programTag(std::span<const std::uint8_t> program) {
  try {
    return prgModelTag(program);
  } catch (const FileActionRefused&) {
    return std::nullopt;
  }
}

// Code 4. The program file is in dataStream, the wait after the connect frame in value2.
void updateFirmware(TCommThread& worker, LinkLayer& link) {
  bool keepLinkOpen = false;
  worker.runGuarded([&] {
    link.openLink();
    const CommandRequest& r = worker.request();
    const std::vector<std::uint8_t>& program = r.dataStream;
    // The parallel port has no return channel, so the printer's tag is unknown there.
    if (r.link.kind != LinkKind::Parallel) {
      const std::optional<std::string> fileTag = programTag(program);
      const std::optional<std::string> refusal =
          fileTag ? firmwareTagRefusal(link.printerModelTag(), *fileTag, r.forceFirmware)
                  : std::optional<std::string>("The program file ends inside its model tag");
      if (refusal) {
        // A program built for another model (or for one nobody can tell) must not reach the
        // boot loader. The tool reported this as done; it is a refusal, so the caller sees a
        // failure with the same text, and the reason under it.
        worker.reportProgress(text(TextId::ProgramFileWrong));
        link.restoreDeviceRate();
        keepLinkOpen = true;
        throw Error(text(TextId::ProgramFileWrong), {.code = "firmware-mismatch", .cause = *refusal});
      }
    }
    link.connectHandshake();
    // The printer restarts into its boot loader: the channel is released while it does.
    link.suspendLink();
    worker.reportProgress(text(TextId::WaitForRestart));
    worker.pause(std::chrono::milliseconds(std::max(0, r.value2)));
    link.resumeLink();

    std::array<std::uint8_t, kProgramBlock> block;
    for (std::size_t pos = 0; pos < program.size();) {
      std::size_t n = std::min(kProgramBlock, program.size() - pos);
      block.fill(0xFF);
      std::copy_n(program.begin() + static_cast<std::ptrdiff_t>(pos), n, block.begin());
      link.framedRequest(kBlockCommand, static_cast<std::uint32_t>(pos), 0, block, kAttempts);
      pos += n;
      worker.reportProgress("", static_cast<long long>(pos),
                            static_cast<long long>(program.size()));
    }
    link.framedRequest(kEndCommand, 0, 0, {}, kAttempts);
    worker.reportProgress(text(TextId::ProgramUpdated));
  });
  // An update ends the quiet mode of the boot handshake, so that a later command to a printer
  // that does not answer fails instead of reporting success.
  link.state().setBootQuiet(false);
  // After a refused program file the link stays open, as the tool has always left it; the next
  // command's open link closes and reopens it.
  if (!keepLinkOpen) {
    try {
      link.closeLink();
    } catch (...) {
      // Closing only releases the port or socket; the routine's own outcome stands.
    }
  }
}

// Code 28: sends 'a' every 50 ms until the boot loader answers with the same byte. The answer
// is looked for in the serial receive path only. Value1 > 0 limits the passes (the window
// always runs the full 1001).
void bootHandshake(TCommThread& worker, LinkLayer& link) {
  link.state().setBootQuiet(true);
  link.state().setBootFlag(true);
  const int passes = worker.request().value1 > 0 ? worker.request().value1 : kBootHandshakePasses;
  worker.runGuarded([&] {
    if (worker.request().link.kind == LinkKind::Serial) {
      // Open at the device rate whatever state an earlier run left the port in: the boot
      // loader listens at the device rate, and a port left closed would send nothing.
      link.dropSerialPort();
      worker.pause(std::chrono::milliseconds(10));
      link.reopenSerialPort(worker.request().link.serialPort);
      worker.pause(std::chrono::milliseconds(100));
    }
    const std::uint8_t boot[1] = {kBootByte};
    for (int pass = 0; pass < passes; ++pass) {
      if (worker.reply().firstByte() == kBootByte) {
        link.dropSerialPort();
        worker.pause(std::chrono::milliseconds(10));
        break;
      }
      link.sendRaw(boot);
      worker.pause(kHandshakePass);
    }
    if (worker.reply().firstByte() == kBootByte) {
      link.state().confirmBoot();
      worker.reply().fill(0xFF);
    }
  });
}

}  // namespace

void registerFirmwareRoutines(TCommThread& worker, LinkLayer& link) {
  worker.setRoutine(kFirmwareUpdateCode, [&link](TCommThread& w) { updateFirmware(w, link); });
  worker.setRoutine(kEnterBootCode, [&link](TCommThread& w) { bootHandshake(w, link); });
}

}  // namespace plenar
