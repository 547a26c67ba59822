// SPDX-License-Identifier: GPL-3.0-or-later
#include "shared/SecretMask.h"

#include <algorithm>

namespace plenar {

std::vector<bool> secretPositions(std::span<const std::uint8_t> bytes,
                                  const std::vector<std::string>& secrets) {
  std::vector<bool> masked(bytes.size(), false);
  for (const std::string& secret : secrets) {
    if (secret.empty() || secret.size() > bytes.size()) continue;
    auto at = bytes.begin();
    while (true) {
      at = std::search(at, bytes.end(), secret.begin(), secret.end(),
                       [](std::uint8_t b, char c) { return b == static_cast<std::uint8_t>(c); });
      if (at == bytes.end()) break;
      const auto from = static_cast<std::size_t>(at - bytes.begin());
      std::fill_n(masked.begin() + static_cast<std::ptrdiff_t>(from), secret.size(), true);
      ++at;
    }
  }
  return masked;
}

std::string maskedHex(std::span<const std::uint8_t> bytes,
                      const std::vector<std::string>& secrets) {
  static const char* digits = "0123456789ABCDEF";
  const std::vector<bool> masked = secretPositions(bytes, secrets);
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) out += ' ';
    out += masked[i] ? '*' : digits[bytes[i] >> 4];
    out += masked[i] ? '*' : digits[bytes[i] & 0x0F];
  }
  return out;
}

std::string maskedText(std::string text, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at)) {
      text.replace(at, secret.size(), std::string(secret.size(), '*'));
    }
  }
  return text;
}

}  // namespace plenar
