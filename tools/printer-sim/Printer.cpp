// SPDX-License-Identifier: GPL-3.0-or-later
#include "Printer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "Hex.h"
#include "SettingsFrames.h"
#include "platform/Sha256.h"
#include "shared/RateCodes.h"

namespace plenar::sim {

namespace {
std::string fmt(const char* format, auto... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, args...);
  return buf;
}
constexpr std::uint8_t kBootByte = 0x61;
constexpr std::size_t kTagOffset = 0x3000;
}  // namespace

const char* linkName(Link link) {
  switch (link) {
    case Link::Serial:
      return "serial";
    case Link::Udp:
      return "udp";
    case Link::Usb:
      return "usb";
    case Link::Lpt:
      return "lpt";
  }
  return "?";
}

Printer::Printer(PrinterState& state, PrinterConfig config, Recorder& recorder, int rate)
    : state_(state), config_(config), recorder_(recorder), rate_(rate) {
  for (Link link : kLinks) {
    input(link).decoder = std::make_unique<RawDecoder>(
        state_, [this, link](std::span<const std::uint8_t> bytes, const std::string& meaning) {
          record(link, "sequence", bytes, meaning);
        });
  }
}

Record arrivalRecord(Link link, int rate, std::string kind) {
  Record r;
  r.link = linkName(link);
  r.rate = link == Link::Serial ? rate : 0;
  r.kind = std::move(kind);
  return r;
}

namespace {
void setHeader(Record& r, const FrameHeader& h) {
  r.command = h.command;
  r.value1 = h.value1;
  r.value2 = h.value2;
}
}  // namespace

void Printer::record(Link link, std::string kind, std::span<const std::uint8_t> data,
                     std::string meaning) {
  Record r = arrivalRecord(link, rate_, std::move(kind));
  r.data.assign(data.begin(), data.end());
  r.meaning = std::move(meaning);
  recorder_.write(r);
}

int Printer::storedRate() const {
  return codeToRate(state_.settings.baudCode).value_or(9600);
}

bool Printer::bootRequest(Link link, std::span<const std::uint8_t> bytes) const {
  // The tool's handshake sends 0x61 alone and waits; a 0x61 inside other input is just a byte.
  if (!config_.bootEnabled && !loader_) return false;
  const Input& in = input(link);
  if (bytes.empty() || !in.scanner.empty() || !in.decoder->idle()) return false;
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == kBootByte; });
}

std::vector<Output> Printer::receive(Link link, std::span<const std::uint8_t> bytes) {
  std::vector<Output> out;
  if (bootRequest(link, bytes)) {
    Record r = arrivalRecord(link, rate_, "boot");
    r.data.assign(bytes.begin(), bytes.end());
    r.meaning = loader_ ? "boot handshake (already in the boot loader)"
                        : "boot handshake: entering the boot loader";
    r.reply = std::vector<std::uint8_t>{kBootByte};
    recorder_.write(r);
    out.push_back({{kBootByte}, rate_, false});
    if (!loader_) enterLoader();
    return out;
  }
  input(link).scanner.feed(bytes);
  process(link, out);
  return out;
}

void Printer::process(Link link, std::vector<Output>& out) {
  Input& in = input(link);
  for (;;) {
    FrameScanner::Item item = in.scanner.next();
    using Kind = FrameScanner::Item::Kind;
    if (item.kind == Kind::None) break;
    if (item.kind == Kind::Raw) {
      rawInput(link, item.bytes);
      continue;
    }
    if (item.kind == Kind::BadFrame) {
      Record r = arrivalRecord(link, rate_, "bad-frame");
      setHeader(r, item.header);
      r.data = item.bytes;
      r.meaning = "data check wrong: frame ignored";
      recorder_.write(r);
      continue;
    }
    const int rateBefore = rate_;
    handleFrame(link, item, out);
    if (link == Link::Serial && rate_ != rateBefore && !in.scanner.empty()) {
      // The tool sent these after the switch request, still at the old rate: the printer's UART
      // now samples them at the new one.
      lineNoise(link, in.scanner.takePending(),
                fmt("sent at %d bit/s after the switch to %d bit/s", rateBefore, rate_));
    }
  }
}

void Printer::rawInput(Link link, std::span<const std::uint8_t> bytes) {
  if (loader_) {
    record(link, "sequence", bytes, "ignored by the boot loader");
    return;
  }
  input(link).decoder->feed(bytes);
}

void Printer::handleFrame(Link link, const FrameScanner::Item& item, std::vector<Output>& out) {
  Input& in = input(link);
  ++in.frames;
  // A frame ends any sequence that was left half-sent before it.
  in.decoder->abandon("a frame followed");
  const int arrivalRate = rate_;
  Answer a = loader_ ? loaderFrame(item.header, item.data())
                     : applicationFrame(link, item.header, item.data());
  Record r = arrivalRecord(link, arrivalRate, "frame");
  setHeader(r, item.header);
  r.data.assign(item.data().begin(), item.data().end());
  r.meaning = a.meaning;
  if (a.send) {
    auto reply = buildFrame(item.header.command, item.header.value1, item.header.value2, a.data,
                            kMaxReadData);
    r.reply = reply;
    out.push_back({std::move(reply), rate_, true});
  }
  recorder_.write(r);
  if (a.rateAfter != 0) rate_ = a.rateAfter;
  if (a.restart) {
    // The new program starts at the stored rate.
    loader_ = false;
    rate_ = storedRate();
  }
}

Printer::Answer Printer::identify(std::span<const std::uint8_t> data) {
  Answer a;
  if (!std::equal(data.begin(), data.end(), kIdentifyData.begin(), kIdentifyData.end())) {
    a.meaning = "identify refused: unexpected request data";
    return a;
  }
  a.send = true;
  a.data.assign(8, 0);
  std::copy_n(state_.modelTag.begin(), std::min<std::size_t>(8, state_.modelTag.size()),
              a.data.begin());
  a.meaning = "identify: model " + state_.modelTag;
  return a;
}

Printer::Answer Printer::switchRate(const FrameHeader& h) {
  Answer a;
  auto rate = h.value1 <= 0xFF ? codeToRate(static_cast<int>(h.value1)) : std::nullopt;
  if (!rate) {
    a.meaning = fmt("switch rate refused: undefined rate code %u", h.value1);
    return a;
  }
  a.send = true;
  a.rateAfter = *rate;
  a.meaning = fmt("switch rate to %d (code %u)", *rate, h.value1);
  return a;
}

Printer::Answer Printer::applicationFrame(Link link, const FrameHeader& h,
                                          std::span<const std::uint8_t> data) {
  Answer a;
  switch (h.command) {
    case kIdentifyCommand:
      return identify(data);
    case kSwitchRateCommand:
      return switchRate(h);
    case kBootConnectCommand:
      // Connect: the program hands over to the boot loader, which takes the blocks that follow.
      a.send = true;
      a.meaning = "connect: entering the boot loader";
      enterLoader();
      return a;
    case 0x34: {
      a.send = true;
      a.data = state_.memory.read(h.value1, static_cast<std::size_t>(config_.readChunk));
      a.meaning = fmt("read memory at 0x%x, %d bytes", h.value1, config_.readChunk);
      return a;
    }
    case 0x35:
      state_.memory.write(h.value1, data);
      state_.changedBulk();
      a.send = true;
      a.meaning = fmt("write memory at 0x%x, %zu bytes", h.value1, data.size());
      return a;
    case kUserDataCommand:
      // User data is printer input; on serial (and USB) the printer does not acknowledge it.
      a.send = link == Link::Udp;
      a.meaning = fmt("user data, %zu bytes", data.size());
      input(link).decoder->feed(data);
      return a;
    default:
      break;
  }
  SettingResult s = config_.refuseSettings ? refuseSettingFrame(h.command)
                                           : applySettingFrame(state_, h.command, data);
  switch (s.outcome) {
    case SettingResult::Outcome::Stored:
      a.send = true;
      a.meaning = s.meaning;
      if (h.command == 0x81) {
        // The new stored rate is also the current one once the acknowledgement is out. (The
        // rate inside "all parameters" takes effect at the next power-up only.)
        a.rateAfter = storedRate();
      }
      return a;
    case SettingResult::Outcome::Refused:
      a.meaning = s.meaning;
      return a;
    case SettingResult::Outcome::NotASetting:
      break;
  }
  a.send = true;
  a.meaning = fmt("command 0x%02x: not a known command, acknowledged", h.command);
  return a;
}

Printer::Answer Printer::loaderFrame(const FrameHeader& h, std::span<const std::uint8_t> data) {
  Answer a;
  switch (h.command) {
    case kIdentifyCommand:
      return identify(data);
    case kSwitchRateCommand:
      return switchRate(h);
    case kBootConnectCommand:
      image_.clear();
      a.send = true;
      a.meaning = "boot loader: connect";
      return a;
    case 0x33: {
      std::uint64_t end = static_cast<std::uint64_t>(h.value1) + data.size();
      if (data.size() != 256) {
        a.meaning = fmt("boot loader: block of %zu bytes refused (256 expected)", data.size());
        return a;
      }
      if (end > kMaxFirmware) {
        a.meaning = fmt("boot loader: block at 0x%x beyond the program area, refused", h.value1);
        return a;
      }
      if (image_.size() < end) image_.resize(end, 0xFF);
      std::copy(data.begin(), data.end(), image_.begin() + h.value1);
      state_.changedBulk();
      a.send = true;
      a.meaning = fmt("boot loader: block at 0x%x", h.value1);
      return a;
    }
    case 0x2E:
      finishFirmware();
      a.send = true;
      a.restart = true;
      a.meaning = fmt("boot loader: end, program of %zu bytes stored, model %s", image_.size(),
                      state_.modelTag.c_str());
      return a;
    default:
      a.meaning = fmt("command 0x%02x ignored by the boot loader", h.command);
      return a;
  }
}

void Printer::enterLoader() {
  loader_ = true;
  image_.clear();
  for (Input& in : inputs_) in.decoder->abandon("boot loader started");
}

void Printer::finishFirmware() {
  Firmware& fw = state_.firmware;
  fw.image = image_;
  fw.size = image_.size();
  fw.sha256 = sha256Hex(std::span<const std::uint8_t>(image_));
  ++fw.updates;
  if (image_.size() >= kTagOffset + 8) {
    std::string tag;
    for (std::size_t i = 0; i < 8 && image_[kTagOffset + i] != 0; ++i) {
      tag.push_back(static_cast<char>(std::toupper(image_[kTagOffset + i])));
    }
    if (!tag.empty()) state_.modelTag = tag;
  }
  state_.changed();
}

void Printer::endOfDatagram(Link link) {
  Input& in = input(link);
  if (in.scanner.empty()) return;
  // A frame start that the datagram did not complete: its bytes are ordinary input.
  std::vector<std::uint8_t> rest = in.scanner.takePending();
  rawInput(link, rest);
}

void Printer::lineIdle(Link link) {
  if (undecidedInput(link)) rawInput(link, input(link).scanner.takePending());
}

void Printer::lineDropped(Link link) {
  lineIdle(link);
  Input& in = input(link);
  if (!in.scanner.empty()) {
    record(link, "event", in.scanner.takePending(), "line dropped: incomplete frame lost");
  }
  in.decoder->abandon("line dropped");
}

void Printer::lineNoise(Link link, std::span<const std::uint8_t> sent, const std::string& why) {
  Input& in = input(link);
  in.scanner.takePending();
  in.decoder->abandon("line noise");
  record(link, "noise", sent, fmt("%zu bytes lost as line noise: ", sent.size()) + why);
}

}  // namespace plenar::sim
