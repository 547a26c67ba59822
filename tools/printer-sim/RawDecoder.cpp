// SPDX-License-Identifier: GPL-3.0-or-later
#include "RawDecoder.h"

#include <iconv.h>

#include <cstdio>

#include "Hex.h"
#include "platform/Gbk.h"

namespace plenar::sim {

namespace {

std::string fmt(const char* format, auto... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, args...);
  return buf;
}

std::string dotted(std::span<const std::uint8_t> b) {
  return fmt("%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
}

bool isLeadByte(std::uint8_t c) {
  return c >= 0x81 && c <= 0xFE;
}
bool isTrailByte(std::uint8_t c) {
  return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

std::string big5ToUtf8(std::span<const std::uint8_t> bytes) {
  iconv_t cd = iconv_open("UTF-8", "BIG5");
  if (cd == reinterpret_cast<iconv_t>(-1)) return toHex(bytes);
  std::string in(bytes.begin(), bytes.end());
  std::string out(in.size() * 4 + 8, '\0');
  char* inp = in.data();
  char* outp = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) {
      if (outLeft < 3) break;
      // An undecodable byte: U+FFFD, then go on with the next byte.
      *outp++ = '\xEF';
      *outp++ = '\xBF';
      *outp++ = '\xBD';
      outLeft -= 3;
      ++inp;
      --inLeft;
    }
  }
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

bool validUtf8(std::span<const std::uint8_t> b) {
  std::size_t i = 0;
  while (i < b.size()) {
    const std::uint8_t c = b[i];
    std::size_t n = 0;
    if (c >= 0x80) {
      if ((c & 0xE0) == 0xC0) {
        n = 1;
      } else if ((c & 0xF0) == 0xE0) {
        n = 2;
      } else if ((c & 0xF8) == 0xF0) {
        n = 3;
      } else {
        return false;
      }
    }
    if (i + n >= b.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      if ((b[i + k] & 0xC0) != 0x80) return false;
    }
    i += n + 1;
  }
  return true;
}

}  // namespace

std::string printerTextToUtf8(std::span<const std::uint8_t> bytes, bool big5) {
  bool ascii = true;
  for (auto c : bytes) ascii = ascii && c < 0x80;
  if (ascii) return std::string(bytes.begin(), bytes.end());
  if (big5) return big5ToUtf8(bytes);
  return gbkToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

RawDecoder::RawDecoder(PrinterState& state, Sink sink) : state_(state), sink_(std::move(sink)) {}

void RawDecoder::report(std::span<const std::uint8_t> bytes, const std::string& meaning) {
  if (sink_) sink_(bytes, meaning);
}

std::string RawDecoder::decodeText(std::span<const std::uint8_t> bytes) const {
  return printerTextToUtf8(bytes, chineseEncoding_ == 3);
}

void RawDecoder::feed(std::span<const std::uint8_t> bytes) {
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  std::size_t pos = 0;
  while (pos < pending_.size()) {
    std::size_t used = decodeOne(std::span<const std::uint8_t>(pending_).subspan(pos));
    if (used == 0) break;
    pos += used;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pos));
}

void RawDecoder::abandon(const std::string& why) {
  if (pending_.empty()) return;
  report(pending_, "incomplete sequence dropped (" + why + ")");
  pending_.clear();
}

void RawDecoder::flushLine(const std::string& why) {
  if (line_.empty()) return;
  std::string text = decodeText(line_);
  report(line_, "text without line end (" + why + "): " + text);
  state_.addJournal("text", text);
  line_.clear();
}

void RawDecoder::endLine(std::span<const std::uint8_t> terminator) {
  std::string text = decodeText(line_);
  std::vector<std::uint8_t> bytes = line_;
  bytes.insert(bytes.end(), terminator.begin(), terminator.end());
  report(bytes, "text line: " + text);
  state_.addJournal("text", text);
  line_.clear();
}

std::size_t RawDecoder::text(std::span<const std::uint8_t> b) {
  if (isLeadByte(b[0])) {
    if (b.size() < 2) return 0;
    if (isTrailByte(b[1])) {
      line_.push_back(b[0]);
      line_.push_back(b[1]);
      return 2;
    }
  }
  line_.push_back(b[0]);
  return 1;
}

std::size_t RawDecoder::decodeOne(std::span<const std::uint8_t> b) {
  const std::uint8_t c = b[0];
  if (skipLineFeed_) {
    skipLineFeed_ = false;
    if (c == 0x0A) return 1;
  }
  switch (c) {
    case 0x0A:
      endLine(b.first(1));
      return 1;
    case 0x0D:
      // The feed character setting decides which of CR and LF ends a line.
      if (state_.settings.feedChar == 1) {
        endLine(b.first(1));
        skipLineFeed_ = true;
      }
      return 1;
    case 0x09:
      line_.push_back(c);
      return 1;
    case 0x0C:
      if (!line_.empty()) endLine({});
      report(b.first(1), "find black mark (feed to the next mark)");
      state_.addJournal("find-mark");
      return 1;
    case 0x1B:
      return decodeEsc(b);
    case 0x1C:
      return decodeFs(b);
    case 0x1D:
      return decodeGs(b);
    case 0x1F:
      return decodeUnitSeparator(b);
    case 0x12: {
      if (b.size() < 2) return 0;
      if (b[1] != 0x55) {
        report(b.first(2), "unknown sequence 12 " + toHex(b.subspan(1, 1)));
        return 2;
      }
      if (b.size() < 3) return 0;
      if (b[2] > 1) {
        report(b.first(3), fmt("USB device type: invalid value %u, ignored", b[2]));
        return 3;
      }
      state_.settings.usbType = b[2];
      state_.changed();
      report(b.first(3),
             b[2] == 0 ? "USB device type: virtual serial port" : "USB device type: printer port");
      return 3;
    }
    case 0x8E:
      if (b.size() < 2) return 0;
      if (b[1] == 0x00 || b[1] == 0x01) {
        state_.settings.bluetooth.hidden = b[1] == 0x01;
        state_.changed();
        report(b.first(2), b[1] ? "Bluetooth hiding on" : "Bluetooth hiding off");
        return 2;
      }
      return text(b);
    default:
      break;
  }
  if (c < 0x20 || c == 0x7F) {
    report(b.first(1), fmt("ignored control byte %02x", c));
    return 1;
  }
  return text(b);
}

// A command with one parameter byte: three bytes, or 0 while the parameter has not arrived.
std::size_t RawDecoder::oneParam(std::span<const std::uint8_t> b, const char* what) {
  if (b.size() < 3) return 0;
  report(b.first(3), fmt("%s %u", what, b[2]));
  return 3;
}

std::size_t RawDecoder::decodeEsc(std::span<const std::uint8_t> b) {
  if (b.size() < 2) return 0;
  const std::uint8_t f = b[1];
  switch (f) {
    case 0x40:
      line_.clear();
      alignment_ = 0;
      report(b.first(2), "initialise printer");
      return 2;
    case 0x61: {
      if (b.size() < 3) return 0;
      int n = b[2] >= 48 ? b[2] - 48 : b[2];
      static const char* kNames[] = {"left", "centre", "right"};
      if (n > 2) {
        report(b.first(3), fmt("alignment: invalid value %u, ignored", b[2]));
      } else {
        alignment_ = n;
        report(b.first(3), std::string("alignment: ") + kNames[n]);
      }
      return 3;
    }
    case 0x21:
      return oneParam(b, "print mode");
    case 0x39:
      if (b.size() < 3) return 0;
      chineseEncoding_ = b[2];
      report(b.first(3), fmt("Chinese encoding %u%s", b[2],
                             b[2] == 0   ? " (GBK)"
                             : b[2] == 3 ? " (Big5)"
                                         : ""));
      return 3;
    case 0x7B:
      if (b.size() < 3) return 0;
      state_.settings.printOrder = b[2];
      state_.changed();
      report(b.first(3), (b[2] & 1) ? "print order: reverse" : "print order: normal");
      return 3;
    case 0x69:
    case 0x6D:
      if (!line_.empty()) endLine({});
      report(b.first(2), f == 0x69 ? "cut" : "partial cut");
      state_.addJournal("cut", f == 0x69 ? "full" : "partial");
      return 2;
    case 0x32:
      report(b.first(2), "default line spacing");
      return 2;
    case 0x64:
      return oneParam(b, "print and feed lines");
    case 0x4A:
      return oneParam(b, "print and feed dots");
    case 0x45:
      return oneParam(b, "emphasis");
    case 0x2D:
      return oneParam(b, "underline");
    case 0x4D:
      return oneParam(b, "character font");
    case 0x47:
      return oneParam(b, "double strike");
    case 0x33:
      return oneParam(b, "line spacing");
    case 0x74:
      return oneParam(b, "character code table");
    case 0x52:
      return oneParam(b, "international character set");
    case 0x56:
      return oneParam(b, "90 degree rotation");
    case 0x20:
      return oneParam(b, "right-side character spacing");
    default:
      report(b.first(2), fmt("unknown sequence 1b %02x", f));
      return 2;
  }
}

std::size_t RawDecoder::decodeFs(std::span<const std::uint8_t> b) {
  if (b.size() < 2) return 0;
  switch (b[1]) {
    case 0x70: {
      if (b.size() < 4) return 0;
      int n = b[2];
      bool defined = n >= 1 && static_cast<std::size_t>(n) <= state_.logos.size();
      report(b.first(4),
             fmt("print NV logo %d mode %u%s", n, b[3], defined ? "" : " (not defined)"));
      if (!line_.empty()) endLine({});
      state_.addJournal("logo", defined ? std::to_string(n) : std::to_string(n) + " (not defined)");
      return 4;
    }
    case 0x71:
      return decodeNvLogos(b);
    case 0x26:
      report(b.first(2), "Chinese character mode on");
      return 2;
    case 0x2E:
      report(b.first(2), "Chinese character mode off");
      return 2;
    case 0x21:
      if (b.size() < 3) return 0;
      report(b.first(3), fmt("Chinese print mode %u", b[2]));
      return 3;
    default:
      report(b.first(2), fmt("unknown sequence 1c %02x", b[1]));
      return 2;
  }
}

std::size_t RawDecoder::decodeNvLogos(std::span<const std::uint8_t> b) {
  // 1C 71 n, then per image xL xH yL yH and x * y * 8 raster bytes (column layout). The printer
  // replaces its whole NV logo store only once the last image is complete.
  if (b.size() < 3) return 0;
  const int n = b[2];
  if (n == 0) {
    report(b.first(3), "define NV logos: count 0, ignored");
    return 3;
  }
  std::size_t pos = 3;
  std::vector<NvLogo> logos;
  for (int i = 0; i < n; ++i) {
    if (b.size() < pos + 4) return 0;
    int x = b[pos] | (b[pos + 1] << 8);
    int y = b[pos + 2] | (b[pos + 3] << 8);
    if (x < 1 || x > 1023 || y < 1 || y > 288) {
      report(b.first(pos + 4),
             fmt("define NV logos: image %d has invalid size x=%d y=%d, definition refused", i + 1,
                 x, y));
      return pos + 4;
    }
    std::size_t k = static_cast<std::size_t>(x) * static_cast<std::size_t>(y) * 8;
    if (b.size() < pos + 4 + k) return 0;
    NvLogo logo;
    logo.widthBytes = x;
    logo.heightBytes = y;
    logo.raster.assign(b.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                       b.begin() + static_cast<std::ptrdiff_t>(pos + 4 + k));
    logos.push_back(std::move(logo));
    pos += 4 + k;
  }
  std::string meaning = fmt("define %d NV logo%s:", n, n == 1 ? "" : "s");
  for (const auto& l : logos) meaning += fmt(" %dx%d", l.widthBytes * 8, l.heightBytes * 8);
  state_.logos = std::move(logos);
  state_.changed();
  report(b.first(pos), meaning);
  return pos;
}

std::size_t RawDecoder::decodeGs(std::span<const std::uint8_t> b) {
  if (b.size() < 2) return 0;
  const std::uint8_t f = b[1];
  switch (f) {
    case 0x28: {
      // GS ( fn pL pH, then pL + 256 pH parameter bytes.
      if (b.size() < 5) return 0;
      std::size_t k = b[3] | (b[4] << 8);
      if (b.size() < 5 + k) return 0;
      auto params = b.subspan(5, k);
      if (b[2] == 0x6B) return decodeQr(b.first(5 + k), params);
      if (b[2] == 0x46 && k == 4 && params[0] == 1 && params[1] == 0) {
        int feed = params[2] | (params[3] << 8);
        state_.settings.cutterFeed = feed;
        state_.changed();
        report(b.first(5 + k), fmt("feed before cutting after the black mark: %d", feed));
        return 5 + k;
      }
      report(b.first(5 + k), fmt("GS ( %c with %zu parameter bytes", b[2], k));
      return 5 + k;
    }
    case 0x56: {
      if (b.size() < 3) return 0;
      std::size_t len = (b[2] == 65 || b[2] == 66) ? 4 : 3;
      if (b.size() < len) return 0;
      if (!line_.empty()) endLine({});
      report(b.first(len), "cut");
      state_.addJournal("cut", (b[2] & 1) ? "partial" : "full");
      return len;
    }
    case 0x76: {
      // GS v 0 m xL xH yL yH, then x * y bytes of raster.
      if (b.size() < 8) return 0;
      std::size_t x = b[4] | (b[5] << 8);
      std::size_t y = b[6] | (b[7] << 8);
      if (b.size() < 8 + x * y) return 0;
      report(b.first(8 + x * y), fmt("print raster image %zux%zu", x * 8, y));
      state_.addJournal("raster", fmt("%zux%zu", x * 8, y));
      return 8 + x * y;
    }
    case 0x21:
      return oneParam(b, "character size");
    case 0x68:
      return oneParam(b, "bar code height");
    case 0x77:
      return oneParam(b, "bar code width");
    case 0x48:
      return oneParam(b, "bar code text position");
    case 0x42:
      return oneParam(b, "reverse printing");
    case 0x4C:
    case 0x57:
      if (b.size() < 4) return 0;
      report(b.first(4), f == 0x4C ? "left margin" : "print area width");
      return 4;
    default:
      report(b.first(2), fmt("unknown sequence 1d %02x", f));
      return 2;
  }
}

std::size_t RawDecoder::decodeQr(std::span<const std::uint8_t> seq,
                                 std::span<const std::uint8_t> params) {
  // GS ( k: cn = 0x31 is the QR code; fn chooses the function.
  if (params.size() < 2 || params[0] != 0x31) {
    report(seq, "GS ( k for an unsupported symbol type");
    return seq.size();
  }
  const std::uint8_t fn = params[1];
  if (fn == 0x43 && params.size() == 3) {
    qrModuleSize_ = params[2];
    report(seq, fmt("QR code: module size %d", qrModuleSize_));
  } else if (fn == 0x45 && params.size() == 3) {
    qrErrorLevel_ = params[2];
    static const char* kLevels = "LMQH";
    char level = (params[2] >= 48 && params[2] <= 51) ? kLevels[params[2] - 48] : '?';
    report(seq, fmt("QR code: error correction level %c (%u)", level, params[2]));
  } else if (fn == 0x50 && params.size() >= 3) {
    qrData_.assign(params.begin() + 3, params.end());
    report(seq, fmt("QR code: store %zu data bytes", qrData_.size()));
  } else if (fn == 0x51 && params.size() == 3) {
    std::string text = validUtf8(qrData_) ? std::string(qrData_.begin(), qrData_.end())
                                          : printerTextToUtf8(qrData_);
    if (!line_.empty()) endLine({});
    report(seq, "QR code: print stored symbol: " + text);
    state_.addJournal("qr", text);
  } else if (fn == 0x41) {
    report(seq, "QR code: select model");
  } else {
    report(seq, fmt("QR code: function %02x", fn));
  }
  return seq.size();
}

// 1F 1B 1F 8x 04 05 06 ...: black-mark settings.
std::size_t RawDecoder::decodeBlackMark(std::span<const std::uint8_t> b) {
  auto& s = state_.settings;
  if (b.size() < 7) return 0;
  if (b[2] != 0x1F || b[4] != 0x04 || b[5] != 0x05 || b[6] != 0x06 || b[3] < 0x80 || b[3] > 0x82) {
    report(b.first(2), "unknown sequence 1f 1b");
    return 2;
  }
  if (b[3] == 0x80) {
    if (b.size() < 8) return 0;
    if (b[7] == 0x44 || b[7] == 0x66) {
      s.blackMark = b[7] == 0x44;
      state_.changed();
      report(b.first(8), s.blackMark ? "black-mark mode on" : "black-mark mode off");
    } else {
      report(b.first(8), fmt("black-mark mode: invalid value %02x, ignored", b[7]));
    }
    return 8;
  }
  if (b.size() < 9) return 0;
  int value = (b[7] << 8) | b[8];  // big-endian
  if (b[3] == 0x81) {
    s.blackMarkDistance = value;
    report(b.first(9), fmt("black-mark search distance: %d", value));
  } else {
    s.blackMarkWidth = value;
    report(b.first(9), fmt("black-mark width: %d", value));
  }
  state_.changed();
  return 9;
}

// 1F 49 / 53 / 4D: IP address, subnet mask, MAC: four bytes and a fifth one.
std::size_t RawDecoder::decodeEthernetAddress(std::span<const std::uint8_t> b) {
  auto& s = state_.settings;
  if (b.size() < 7) return 0;
  auto& e = s.ethernet;
  std::array<std::uint8_t, 4> v{b[2], b[3], b[4], b[5]};
  std::string meaning;
  if (b[1] == 0x49) {
    e.ip = v;
    e.ipExtra = b[6];
    meaning = "Ethernet IP address " + dotted(b.subspan(2, 4));
  } else if (b[1] == 0x53) {
    e.mask = v;
    e.maskExtra = b[6];
    meaning = "Ethernet subnet mask " + dotted(b.subspan(2, 4));
  } else {
    e.mac = v;
    e.macExtra = b[6];
    meaning = "Ethernet MAC address " + toHex(b.subspan(2, 4));
  }
  state_.changed();
  report(b.first(7), meaning + fmt(", fifth byte %02x", b[6]));
  return 7;
}

std::size_t RawDecoder::decodeUnitSeparator(std::span<const std::uint8_t> b) {
  if (b.size() < 2) return 0;
  auto& s = state_.settings;
  switch (b[1]) {
    case 0x1B:
      return decodeBlackMark(b);
    case 0x49:
    case 0x53:
    case 0x4D:
      return decodeEthernetAddress(b);
    case 0x4E:
      if (b.size() < 6) return 0;
      s.ethernet.gateway = {b[2], b[3], b[4], b[5]};
      state_.changed();
      report(b.first(6), "Ethernet gateway " + dotted(b.subspan(2, 4)));
      return 6;
    case 0x50:
      if (b.size() < 4) return 0;
      s.ethernet.port = (b[2] << 8) | b[3];
      state_.changed();
      report(b.first(4), fmt("Ethernet port %d", s.ethernet.port));
      return 4;
    case 0x41:
      if (b.size() < 3) return 0;
      if (b[2] > 1) {
        report(b.first(3), fmt("paper type: invalid value %u, ignored", b[2]));
        return 3;
      }
      s.paperType = b[2];
      state_.changed();
      report(b.first(3), b[2] == 0 ? "paper type: thermal receipt" : "paper type: thermal label");
      return 3;
    default:
      report(b.first(2), fmt("unknown sequence 1f %02x", b[1]));
      return 2;
  }
}

}  // namespace plenar::sim
