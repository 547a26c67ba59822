// SPDX-License-Identifier: GPL-3.0-or-later
// plenar apply's --set KEY=VALUE: the arguments are taken as the apply command takes them and
// laid over a profile; each value is refused or applied, never a crash. An override that applies
// gives the same settings as the same key written in the profile file. The groups and their
// hashes are built from the settings alone ([Files] aside, which --set never touches), so the
// same settings are the same groups: the profile target builds them from fuzzed files. Building
// them here twice per input ran every group builder and cost half of each run.
//
// The input is NUL-separated: the profile's bytes, then the command's arguments.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ProfileText.h"
#include "cli/CliArgs.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "profile/KeyAliases.h"
#include "profile/Profile.h"

namespace {

using namespace plenar;
using fuzz::dataLines;
using fuzz::utf8;

const char* const kProfilePath = "/plenar-fuzz/p.ini";

bool sameNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

// A readable alias stands for the window's key: the file must not give both.
std::string_view windowKey(std::string_view key) {
  const char* own = keyOfAlias(key);
  return own ? std::string_view(own) : key;
}

std::string_view withoutBom(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return bytes;
}

// A profile's settings by key (keys are spelt as the key table spells them); the line a value
// came from is no part of it.
std::vector<std::pair<std::string, std::string>> settingsOf(const Profile& profile) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const ProfileValue& v : profile.settings) out.emplace_back(v.key, v.value);
  std::sort(out.begin(), out.end());
  return out;
}

// The encoding a file names on its first line or with a byte-order mark (true: UTF-8), as the
// profile reader takes it; nullopt for a file that names none.
std::optional<bool> markedUtf8(std::string_view file) {
  if (file.starts_with("\xEF\xBB\xBF")) return true;
  std::string first(file.substr(0, file.find('\n')));
  while (!first.empty() && (first.back() == '\r' || first.back() == ' ')) first.pop_back();
  for (char& c : first) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* head : {"; encoding:", ";encoding:", "# encoding:", "#encoding:"}) {
    if (!first.starts_with(head)) continue;
    std::string name = first.substr(std::string_view(head).size());
    name.erase(0, name.find_first_not_of(' '));
    return name == "utf-8" || name == "utf8";
  }
  return std::nullopt;
}

// The profile file with `assignment` written into it as a user would: the key's lines of
// [ParaDefault] (under any of its names) taken out and KEY=VALUE added in the file's own encoding.
// An unmarked file gets the marker of the encoding it was read in, as a user is told to add when
// the new text could be read both ways. nullopt when the file cannot say it the same way (a value
// its encoding lacks, or a file whose encoding the edit changes).
std::optional<std::string> writtenIn(const std::string& file, const std::string& assignment) {
  const std::optional<bool> marked = markedUtf8(file);
  const bool fileUtf8 = marked ? *marked : utf8(dataLines(withoutBom(file)));
  std::string line = assignment;
  if (utf8(assignment) != fileUtf8) {
    line = fileUtf8 ? gbkToUtf8(assignment) : utf8ToGbk(assignment);
    if (firstNonGbk(fileUtf8 ? line : assignment) != std::string::npos) return std::nullopt;
  }
  const std::string key = assignment.substr(0, assignment.find('='));
  std::vector<bool> drop;
  for (const IniDocument::Entry& e : IniDocument::parse(withoutBom(file)).entries()) {
    if (e.isSection || !e.wellFormed) continue;
    if (sameNoCase(e.section, "ParaDefault") && sameNoCase(windowKey(e.key), windowKey(key))) {
      drop.resize(std::max(drop.size(), static_cast<std::size_t>(e.line)), false);
      drop[e.line - 1] = true;
    }
  }
  std::string out;
  std::size_t pos = 0;
  for (std::size_t n = 0; pos <= file.size(); ++n) {
    std::size_t end = file.find('\n', pos);
    if (end == std::string::npos) end = file.size();
    if (n >= drop.size() || !drop[n]) out.append(file, pos, end - pos + 1);
    pos = end + 1;
  }
  out += "\n[ParaDefault]\n" + line + "\n";
  if (marked) return out;
  if (utf8(dataLines(out)) != fileUtf8) return std::nullopt;
  return std::string(fileUtf8 ? "; encoding: UTF-8\n" : "; encoding: GBK\n") + out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      parts.emplace_back();
    } else {
      parts.back().push_back(static_cast<char>(data[i]));
    }
  }
  std::string file = parts[0];
  cli::ArgList args({parts.begin() + 1, parts.end()});
  // Each override is read as a profile of its own, and a refused one unwinds: the first few reach
  // every path, a hundred of them only multiply the run's cost.
  std::vector<std::string> overrides;
  try {
    while (overrides.size() < 4) {
      auto set = args.takeOption("--set");
      if (!set) break;
      overrides.push_back(*set);
    }
  } catch (const cli::UsageError&) {
    return 0;
  }

  Profile profile;
  try {
    profile = parseProfile(file, kProfilePath);
  } catch (const ProfileError&) {
    file.clear();
    profile = parseProfile(file, kProfilePath);
  }
  const std::string digest = profile.sha256;
  std::vector<std::string> applied;
  for (const std::string& a : overrides) {
    try {
      applySettingOverrides(profile, {a});
    } catch (const ProfileError&) {
      continue;
    }
    applied.push_back(a);
  }
  if (applied.empty()) return 0;
  if (profile.sha256 == digest) std::abort();  // not in the digest

  // The same values written in the file.
  for (const std::string& a : applied) {
    const std::optional<std::string> written = writtenIn(file, a);
    if (!written) return 0;
    file = *written;
  }
  Profile fromFile;
  try {
    fromFile = parseProfile(file, kProfilePath);
  } catch (const ProfileError&) {
    std::abort();  // a value --set takes is refused in the file
  }
  if (settingsOf(profile) != settingsOf(fromFile)) std::abort();
  return 0;
}
