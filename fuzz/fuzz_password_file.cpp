// SPDX-License-Identifier: GPL-3.0-or-later
// A password file (--password-file): any content gives the password or a refusal for a file
// longer than a password can be. The password is the file without one trailing line end.
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
