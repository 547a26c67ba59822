// SPDX-License-Identifier: GPL-3.0-or-later
// The batch bench's state file (--state): any content opens as a counter or is refused, never a
// crash. A counter that opens holds only serial numbers a printer can store, lists each once, and
// has passed every one it lists; the number it hands out next is one it never listed, or with
// reuse a failed one whose device group never went out. It is written before reserve() returns,
// and the file it writes opens again with that number and every earlier one, each with what
// became of its device group.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
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

// The bench's record folder beside it: empty, so it refuses nothing the file itself allows.
const std::string& recordDir() {
  static const std::string path = [] {
    const std::string& folder = fuzz::scratchPath("batch", "-records");
    std::filesystem::create_directories(folder);
    return folder;
  }();
  return path;
}

std::optional<BatchCounter> opened(const std::string& path) {
  try {
    return BatchCounter::open(path, parseNumbering("1000", 1), recordDir());
  } catch (const BatchError&) {
    return std::nullopt;
  }
}

// Whether the counter has passed `number`: what it lists is never its next one again.
bool passed(const BatchCounter& c, long long number) {
  if (c.next() == -1) return true;
  return c.numbering().step > 0 ? number < c.next() : number > c.next();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = statePath();
  fuzz::writeInput(path, data, size);

  std::optional<BatchCounter> counter = opened(path);
  if (!counter) return 0;
  std::map<long long, BatchCounter::Entry> listed;
  for (const BatchCounter::Entry& e : counter->entries()) {
    // An earlier run's reservations are interrupted once the file is opened.
    if (!storable(e.serial) || e.outcome == BatchCounter::Outcome::Reserved) std::abort();
    if (!listed.emplace(e.number, e).second || !passed(*counter, e.number)) std::abort();
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
  if (handed) {
    // Never a number a printer holds or may hold.
    const auto before = listed.find(handed->number);
    if (before != listed.end() &&
        (!reuse || before->second.outcome != BatchCounter::Outcome::Failed ||
         before->second.device != BatchCounter::Device::NotSent)) {
      std::abort();
    }
  }
  const std::size_t written = counter->entries().size();
  counter.reset();  // releases the lock

  // What it wrote opens again, with the number it handed out now interrupted and every other
  // one as it was.
  std::optional<BatchCounter> again = opened(path);
  if (!again) std::abort();
  if (again->entries().size() != written) std::abort();
  if (handed && (again->foundInterrupted().size() != 1 ||
                 again->foundInterrupted()[0].serial != handed->serial)) {
    std::abort();
  }
  for (const BatchCounter::Entry& e : again->entries()) {
    if (handed && e.number == handed->number) continue;
    const auto before = listed.find(e.number);
    if (before == listed.end() || before->second.outcome != e.outcome ||
        before->second.device != e.device) {
      std::abort();
    }
  }
  return 0;
}
