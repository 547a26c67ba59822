// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/BlackMarkRequests.h"

#include <string_view>

#include "requests/FieldParsing.h"
#include "requests/RequestBlock.h"

namespace plenar {
namespace {

// The test page: initialise, centre, a line in ASCII, the same greeting in GBK and in Big5,
// a QR code holding the greeting in ASCII and UTF-8, then feed to the mark and cut.
constexpr std::string_view kTestPageHex =
    "1B401B61011B210057656C636F6D6520746F207072696E74657220426C61636B4D61726B2066756E6374696F6E"
    "0d0a1B3900BBB6D3ADCAB9D3C3BADAB1EAB9A6C4DC0D0A1B3903C577AAEFA8CFA5CEB6C2BCD0A55CAFE00D0A1d"
    "286b03003143041d286b03003145301d286b720031503057656c636f6d6520746f207072696e74657220426c61"
    "636b4d61726b2066756e6374696f6e0ae6aca2e8bf8ee4bdbfe794a8e68993e58db0e69cbae79a84e9bb91e6a0"
    "87e58a9fe883bd0ae6ada1e8bf8ee4bdbfe794a8e58db0e8a1a8e6a99fe79a84e9bb91e6a899e58a9fe883bd1d"
    "286b03003151300C1B69";

static_assert(kTestPageHex.size() == 2 * kTestPageSize);

BuildResult bigEndianValue(int code, const std::string& text, std::int32_t fallback) {
  std::int32_t v = decimalOr(text, fallback);
  CommandRequest r = makeRequest(code);
  appendBytes(r, {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
  return r;
}

}  // namespace

BuildResult buildBlackMarkMode(bool on) {
  return makeRequest(on ? kBlackMarkOnCode : kBlackMarkOffCode);
}

BuildResult buildBlackMarkDistance(const std::string& text) {
  return bigEndianValue(kBlackMarkDistanceCode, text, 400);
}

BuildResult buildBlackMarkWidth(const std::string& text) {
  return bigEndianValue(kBlackMarkWidthCode, text, 40);
}

BuildResult buildCutterFeed(const std::string& text) {
  std::int32_t v = decimalOr(text, 40);
  CommandRequest r = makeRequest(kCutterPositionCode);
  appendBytes(r, {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
  return r;
}

BuildResult buildFindBlackMark(bool cut) {
  return makeRequest(cut ? kFindBlackMarkAndCutCode : kFindBlackMarkCode);
}

BuildResult buildTestPage() {
  CommandRequest r = makeRequest(kTestPrintCode);
  r.paraBuf.reserve(kTestPageSize);
  for (std::size_t i = 0; i < kTestPageHex.size(); i += 2) {
    r.paraBuf.push_back(static_cast<std::uint8_t>(*parseHex(kTestPageHex.substr(i, 2))));
  }
  return r;
}

}  // namespace plenar
