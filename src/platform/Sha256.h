// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct sha256_ctx;

namespace plenar {

// SHA-256 (nettle) of bytes given in pieces; hex() gives the lower-case digest and ends the hash.
// Threads: one object per thread.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  Sha256& add(std::span<const std::uint8_t> bytes);
  Sha256& add(std::string_view text);
  std::string hex();

 private:
  sha256_ctx* ctx_;
};

inline std::string sha256Hex(std::string_view text) {
  return Sha256().add(text).hex();
}
inline std::string sha256Hex(std::span<const std::uint8_t> bytes) {
  return Sha256().add(bytes).hex();
}
// HMAC-SHA256 of `text` under `key`, lower-case hex: equal texts match only for the same key.
std::string hmacSha256Hex(std::string_view key, std::string_view text);

// The digest of a whole file, read in pieces; empty when it cannot be read.
std::string sha256OfFile(const std::string& path);

}  // namespace plenar
