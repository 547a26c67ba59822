// SPDX-License-Identifier: GPL-3.0-or-later
// The batch bench's state file (--state): any content opens as a counter or is refused, never a
// crash. A counter that opens holds only serial numbers a printer can store; the number it hands
// out next is written before it returns, and the file it writes opens again with that number
// and every earlier one.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "ScratchFolder.h"
#include "profile/BatchCounter.h"

namespace {

using namespace plenar;

// The counter's folder, removed at exit.
const std::string& statePath() {
  static const std::string path = [] {
    const std::string& folder = fuzz::scratchPath("batch");
    std::filesystem::create_directories(folder);
    return folder + "/state.json";
  }();
  return path;
}

bool storable(const std::string& serial) {
  return !serial.empty() && serial.size() <= 18 &&
         serial.find_first_not_of("0123456789") == std::string::npos;
}

std::optional<BatchCounter> opened(const std::string& path) {
  try {
    return BatchCounter::open(path, parseNumbering("1000", 1));
  } catch (const BatchError&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = statePath();
  fuzz::writeInput(path, data, size);

  std::optional<BatchCounter> counter = opened(path);
  if (!counter) return 0;
  for (const BatchCounter::Entry& e : counter->entries()) {
    // An earlier run's reservations are interrupted once the file is opened.
    if (!storable(e.serial) || e.outcome == BatchCounter::Outcome::Reserved) std::abort();
  }
  const bool reuse = size % 2 == 1;
  const std::optional<long long> expected = counter->nextToHandOut(reuse);
  std::optional<BatchCounter::Entry> handed;
  try {
    handed = counter->reserve(reuse, NamePattern::parse("Till {n}"));
  } catch (const BatchError&) {
    std::abort();  // the scratch folder is writable
  }
  if (handed.has_value() != expected.has_value()) std::abort();
  if (handed && (handed->number != *expected || !storable(handed->serial))) std::abort();
  const std::size_t written = counter->entries().size();
  counter.reset();  // releases the lock

  // What it wrote opens again, with the number it handed out now interrupted.
  std::optional<BatchCounter> again = opened(path);
  if (!again) std::abort();
  if (again->entries().size() != written) std::abort();
  if (handed && (again->foundInterrupted().size() != 1 ||
                 again->foundInterrupted()[0].serial != handed->serial)) {
    std::abort();
  }
  return 0;
}
