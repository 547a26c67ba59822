// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Sha256.h"

#include <fcntl.h>
#include <nettle/hmac.h>
#include <nettle/sha2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "shared/HexText.h"

namespace plenar {

Sha256::Sha256() : ctx_(new sha256_ctx) {
  sha256_init(ctx_);
}

Sha256::~Sha256() {
  delete ctx_;
}

Sha256& Sha256::add(std::span<const std::uint8_t> bytes) {
  sha256_update(ctx_, bytes.size(), bytes.data());
  return *this;
}

Sha256& Sha256::add(std::string_view text) {
  sha256_update(ctx_, text.size(), reinterpret_cast<const std::uint8_t*>(text.data()));
  return *this;
}

std::string Sha256::hex() {
  std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
  sha256_digest(ctx_, digest.size(), digest.data());
  return lowerHex(digest);
}

std::string hmacSha256Hex(std::string_view key, std::string_view text) {
  hmac_sha256_ctx ctx;
  hmac_sha256_set_key(&ctx, key.size(), reinterpret_cast<const std::uint8_t*>(key.data()));
  hmac_sha256_update(&ctx, text.size(), reinterpret_cast<const std::uint8_t*>(text.data()));
  std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
  hmac_sha256_digest(&ctx, digest.size(), digest.data());
  return lowerHex(digest);
}

std::string sha256OfFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return {};
  }
  Sha256 hash;
  std::array<std::uint8_t, 65536> buffer{};
  while (true) {
    ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return {};
    }
    if (n == 0) break;
    hash.add(std::span(buffer.data(), static_cast<std::size_t>(n)));
  }
  ::close(fd);
  return hash.hex();
}

}  // namespace plenar
