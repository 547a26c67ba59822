// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "commands/Routines.h"
#include "engine/LinkLayer.h"
#include "engine/TCommThread.h"
#include "platform/SafeFiles.h"
#include "requests/FileActions.h"
#include "shared/Errors.h"
#include "shared/Frame.h"
#include "shared/SharedTexts.h"

namespace plenar {

namespace {

constexpr std::size_t kDownloadBlock = 256;
constexpr std::size_t kRawPiece = 1024;
constexpr std::uint16_t kReadCommand = 0x34;
constexpr int kAttempts = 3;

bool fileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec) &&
         !std::filesystem::is_directory(path, ec);
}

// A FIFO or a device in the list would block the worker or fill memory: only regular files up to
// the largest font image are sent.
std::vector<std::uint8_t> loadFile(const std::string& path) {
  if (!fileExists(path)) throw EPrinterError("File " + path + " not Exist");
  try {
    return readInputBytes(path, kMaxFontFileBytes);
  } catch (const InputFileError& e) {
    throw EPrinterError(e.what());
  }
}

const std::string& listEntry(const std::vector<std::string>& list, std::size_t i) {
  if (i >= list.size()) throw EPrinterError("List index out of bounds (" + std::to_string(i) + ")");
  return list[i];
}

std::uint32_t listNumber(const std::vector<std::string>& list, std::size_t i) {
  const std::string& entry = listEntry(list, i);
  auto value = parseIntText(entry);
  if (!value) throw EPrinterError(notAnIntegerText(entry));
  return static_cast<std::uint32_t>(*value);
}

// The file under `path` is either the complete read-back or whatever it was before; it is
// the user's own (0600), never written through a link or over another user's file.
void saveAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (path.empty()) errno = ENOENT;
  if (path.empty() || !saveOutputFile(path, view)) {
    int err = errno;
    throw EPrinterError("Cannot create file \"" + path + "\". " + saveErrorText(err));
  }
}

void closeQuietly(LinkLayer& link) {
  try {
    link.closeLink();
  } catch (...) {
    // Closing only releases the port or socket; the routine's own outcome stands.
  }
}

// Codes 3 and 7: each file of the list to consecutive addresses from its start address, in
// acknowledged blocks of 256 bytes (the last one shorter, not padded).
void addressedDownload(TCommThread& worker, LinkLayer& link) {
  worker.runGuarded([&] {
    link.openLink();
    const CommandRequest& r = worker.request();
    for (std::size_t i = 0; i < r.fileList.size(); ++i) {
      const std::string& path = r.fileList[i];
      if (!fileExists(path)) throw EPrinterError("File " + path + " not Exist");
      auto command = static_cast<std::uint16_t>(listNumber(r.cmdList, i));
      std::uint32_t start = listNumber(r.paramList, i);
      std::vector<std::uint8_t> file = loadFile(path);
      // Addresses are 32 bits wide: a file running past 4 GiB would wrap and overwrite the
      // start of the printer's memory.
      if (std::string refusal = addressRangeRefusal(start, file.size()); !refusal.empty()) {
        throw EPrinterError(refusal);
      }
      worker.reportProgress("Downloading " + listEntry(r.nameList, i) + path, 0, 0, true);
      for (std::size_t pos = 0; pos < file.size();) {
        std::size_t n = std::min(kDownloadBlock, file.size() - pos);
        link.framedRequest(command, start + static_cast<std::uint32_t>(pos), 0,
                           std::span(file).subspan(pos, n), kAttempts);
        pos += n;
        worker.reportProgress("", static_cast<long long>(pos), static_cast<long long>(file.size()));
      }
    }
    link.restoreDeviceRate();
  });
  closeQuietly(link);
}

// Code 16: reads Value2 bytes from Value1 on in the printer's reply sizes and saves them.
void readBack(TCommThread& worker, LinkLayer& link) {
  worker.runGuarded([&] {
    link.openLink();
    const CommandRequest& r = worker.request();
    const auto start = static_cast<std::uint32_t>(r.value1);
    const long long wanted = r.value2;
    // A datagram holds at most 2049 bytes, so a longer data length on the network cannot have
    // arrived whole; on serial and USB the reply had to fit the 4096-byte reply buffer.
    const std::size_t maxData =
        r.link.kind == LinkKind::Network ? kMaxReadData : kReplyBufferSize - kFrameHeaderSize - 1;
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> reply(kReplyBufferSize);
    long long received = 0;
    while (received < wanted) {
      int n = link.framedRead(kReadCommand, start + static_cast<std::uint32_t>(received), 0, {},
                              reply, kAttempts);
      // A reply without data (or none at all while BootQuiet is set) would make the same read
      // again without end.
      if (n <= 0 || static_cast<std::size_t>(n) > maxData) {
        throw ECommunicationException("Received Failed");
      }
      data.insert(data.end(), reply.begin(), reply.begin() + n);
      received += n;
      worker.reportProgress("", received, wanted);
    }
    if (r.exactLength && data.size() > static_cast<std::size_t>(wanted)) {
      data.resize(static_cast<std::size_t>(wanted));
    }
    saveAtomically(r.saveFileName, data);
    link.restoreDeviceRate();
    worker.reportProgress(text(TextId::UploadDone));
  });
  closeQuietly(link);
}

// Code 46: the prepared 1C 71 file as it is, in raw pieces of 1024 bytes; the printer does not
// acknowledge them.
void rawLogoDownload(TCommThread& worker, LinkLayer& link) {
  worker.runGuarded([&] {
    link.openLink();
    for (const std::string& path : worker.request().fileList) {
      std::vector<std::uint8_t> file = loadFile(path);
      for (std::size_t pos = 0; pos < file.size();) {
        std::size_t n = std::min(kRawPiece, file.size() - pos);
        link.sendRaw(std::span(file).subspan(pos, n));
        pos += n;
        worker.reportProgress("", static_cast<long long>(pos), static_cast<long long>(file.size()));
      }
    }
    link.restoreDeviceRate();
  });
  closeQuietly(link);
}

}  // namespace

void registerFileRoutines(TCommThread& worker, LinkLayer& link) {
  worker.setRoutine(kFontDownloadCode, [&link](TCommThread& w) { addressedDownload(w, link); });
  worker.setRoutine(kLogoDownloadCode, [&link](TCommThread& w) { addressedDownload(w, link); });
  worker.setRoutine(kReadBackCode, [&link](TCommThread& w) { readBack(w, link); });
  worker.setRoutine(kRawLogoDownloadCode, [&link](TCommThread& w) { rawLogoDownload(w, link); });
}

}  // namespace plenar
