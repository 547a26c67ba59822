// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace plenar {
namespace {

// glibc unloads a converter's module (GB18030.so, GBK.so) when its last descriptor closes and
// maps it again for the next one: one descriptor of each direction stays open for the whole
// process (reachable, never closed), so that threads that come and go do not map them again.
void keepConvertersLoaded() {
  static const iconv_t toUtf8 = iconv_open("UTF-8", "GB18030");
  static const iconv_t toGbk = iconv_open("GBK", "UTF-8");
  (void)toUtf8;
  (void)toGbk;
}

// Opening a descriptor costs more than converting a line (glibc looks the converter up in its
// cache and sets up its steps): a profile or a language file converts one value at a time, and
// opening one for each value took a quarter of reading a language file. Each thread keeps one
// descriptor per direction for its whole life, so the functions stay reentrant; every use starts
// from the initial shift state, whatever the last use left behind.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_((keepConvertersLoaded(), iconv_open(to, from))) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts as much as possible; on an invalid or unconvertible sequence writes `replacement`
  // and skips `skip(in)` input bytes.
  template <typename Skip>
  std::string convert(std::string_view input, std::string_view replacement, Skip skip) {
    reset();
    std::string out;
    out.reserve(input.size() * 2 + 8);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
      out.append(buffer, outPtr - buffer);
      if (rc != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (truncated sequence at the end): replace and skip.
      out.append(replacement);
      size_t n = skip(std::string_view(in, inLeft));
      in += n;
      inLeft -= n;
      reset();
    }
    return out;
  }

  // The offset of the first sequence that cannot be converted (EILSEQ: a character the target
  // lacks or bytes that are not the source encoding; EINVAL: a sequence cut short at the end);
  // npos when the whole input converts.
  size_t firstFailure(std::string_view input) {
    reset();
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      if (iconv(cd_, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      return static_cast<size_t>(in - input.data());
    }
    return std::string_view::npos;
  }

 private:
  void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

  iconv_t cd_;
};

Iconv& gbkDecoder() {
  thread_local Iconv cd("UTF-8", "GB18030");
  return cd;
}

Iconv& gbkEncoder() {
  thread_local Iconv cd("GBK", "UTF-8");
  return cd;
}

size_t utf8SequenceLength(std::string_view s) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  if (n > s.size()) return 1;
  for (size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

bool isGbkLead(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// ASCII is the same bytes in UTF-8, GBK and GB18030: most keys, sections and values are, and
// they need no converter.
bool isAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
  if (isAscii(gbk)) return std::string(gbk);
  return gbkDecoder().convert(gbk, "\xEF\xBF\xBD", [](std::string_view rest) {
    return rest.size() >= 2 && isGbkLead(static_cast<unsigned char>(rest[0])) ? 2 : 1;
  });
}

std::string utf8ToGbk(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  return gbkEncoder().convert(utf8, "?", utf8SequenceLength);
}

std::size_t firstNonGbk(std::string_view utf8) {
  if (isAscii(utf8)) return std::string_view::npos;
  return gbkEncoder().firstFailure(utf8);
}

std::string_view gbkPrefix(std::string_view gbk, std::size_t maxBytes) {
  size_t i = 0;
  while (i < gbk.size()) {
    size_t width = isGbkLead(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size() ? 2 : 1;
    if (i + width > maxBytes) break;
    i += width;
  }
  return gbk.substr(0, i);
}

}  // namespace plenar
