// SPDX-License-Identifier: GPL-3.0-or-later
// A password file (--password-file): any content gives the password or a refusal for a file
// longer than a password can be. The password is the file without one trailing line end.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ScratchFolder.h"
#include "cli/PasswordInput.h"

namespace {

// Unlinked at exit; the path lives as long as the handler that needs it (a static string would
// be destroyed before a handler registered while it was being made).
const std::string& filePath() {
  static const std::string* path = [] {
    auto* p = new std::string(plenar::fuzz::scratchFolder() + "/plenar-fuzz-password-" +
                              std::to_string(::getpid()));
    std::atexit([] { ::unlink(filePath().c_str()); });
    return p;
  }();
  return *path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = filePath();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  if (::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  ::close(fd);
  std::string_view content(reinterpret_cast<const char*>(data), size);
  std::string password;
  try {
    password = plenar::cli::readPassword(path, "--password-file");
  } catch (const plenar::cli::InputRefused&) {
    // Refused only for its size.
    if (size <= 256) std::abort();
    return 0;
  }
  if (size > 256) std::abort();
  std::string_view expected = content;
  if (!expected.empty() && expected.back() == '\n') expected.remove_suffix(1);
  if (!expected.empty() && expected.back() == '\r') expected.remove_suffix(1);
  if (password != expected) std::abort();
  return 0;
}
