// Bytes from the printer, cut into the chunks a serial reader hands on: the assembler must keep
// every copy inside the reply buffer and only ever report a frame whose checks hold.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "app/Engine.h"
#include "engine/LinkLayer.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"

namespace {

struct Assembler {
  plenar::HeadlessDispatcher dispatcher;
  plenar::HeadlessReportWindow window{dispatcher, [](int, std::intptr_t) {}};
  plenar::Engine engine{"/nonexistent", window, dispatcher};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Assembler* a = new Assembler;  // one engine for the whole run, as in the program
  plenar::TCommThread& worker = a->engine.worker();
  {
    std::lock_guard lock(worker.replyMutex);
    worker.replyLength = 0;
    worker.receivePosition = 0;
  }
  worker.replyEvent.reset();
  worker.trace().clear();
  // The first byte of each chunk gives its length (1..64), like the reader's idle-split blocks.
  std::size_t pos = 0;
  while (pos < size) {
    std::size_t n = 1 + data[pos] % 64;
    ++pos;
    n = std::min(n, size - pos);
    a->engine.link().replyAssembler(data + pos, n);
    pos += n;
    if (worker.replyEvent.isSet()) {
      std::lock_guard lock(worker.replyMutex);
      const auto& buf = worker.replyBuffer;
      // A reported reply starts with the start byte, its header check holds, and so does the
      // check of its data, all inside the buffer.
      std::uint8_t header = 0;
      for (int i = 0; i < 15; ++i) header ^= buf[i];
      if (buf[0] != 0x02 || header != buf[15]) std::abort();
      const int length = worker.replyLength;
      if (length < 0 || length + 17 > static_cast<int>(buf.size())) std::abort();
      if (length > 0) {
        std::uint8_t check = 0;
        for (int i = 16; i <= 16 + length; ++i) check ^= buf[i];
        if (check != 0) std::abort();
      }
      worker.replyLength = 0;
      worker.receivePosition = 0;
      worker.replyEvent.reset();
    }
  }
  return 0;
}
