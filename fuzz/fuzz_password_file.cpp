// SPDX-License-Identifier: GPL-3.0-or-later
// A password file (--password-file): any content gives the password or a refusal. The password
// is the file without one trailing line end ("\n" or "\r\n"); a file longer than a password can
// be is refused, and so is one that is then empty, holds a NUL byte or a second line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ScratchFolder.h"
#include "cli/PasswordInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string& path = plenar::fuzz::scratchPath("password");
  plenar::fuzz::writeInput(path, data, size);
  std::string_view content(reinterpret_cast<const char*>(data), size);
  std::string_view expected = content;
  if (expected.ends_with("\r\n")) {
    expected.remove_suffix(2);
  } else if (expected.ends_with('\n')) {
    expected.remove_suffix(1);
  }
  const bool refusable = size > 256 || expected.empty() ||
                         expected.find('\0') != std::string_view::npos ||
                         expected.find_first_of("\r\n") != std::string_view::npos;
  std::string password;
  try {
    password = plenar::cli::readPassword(path, "--password-file");
  } catch (const plenar::cli::InputRefused&) {
    if (!refusable) std::abort();
    return 0;
  }
  if (refusable || password != expected) std::abort();
  return 0;
}
