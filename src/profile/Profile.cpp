// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/Profile.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "logo/LogoFiles.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "platform/SafeFiles.h"
#include "platform/SecretMemory.h"
#include "platform/Sha256.h"
#include "profile/GroupTable.h"
#include "profile/KeyAliases.h"
#include "profile/ParaKeys.h"
#include "requests/Choices.h"
#include "shared/Nearest.h"

namespace plenar {
namespace {

inline constexpr std::size_t kMaxProfileBytes = 1u << 20;

bool equalNoCase(std::string_view a, std::string_view b) {
  return equalLowered(a, b);
}

// "BlueToolthCmd" followed by a number.
bool isMemoLine(std::string_view key) {
  const std::string_view prefix = kMemoLineKey;
  if (key.size() <= prefix.size() || !equalNoCase(key.substr(0, prefix.size()), prefix)) {
    return false;
  }
  return std::all_of(key.begin() + prefix.size(), key.end(),
                     [](unsigned char c) { return std::isdigit(c); });
}

// The key as the table spells it (a second spelling of a key, or a readable alias, is that key),
// empty when unknown.
std::string managedSpelling(std::string_view key) {
  if (const char* own = keyOfAlias(key)) key = own;
  const char* spelling = groupKeySpelling(key);
  return spelling ? spelling : std::string();
}

bool validUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    std::size_t more = 0;
    if (c >= 0x80) {
      if ((c >> 5) == 6) {
        more = 1;
      } else if ((c >> 4) == 14) {
        more = 2;
      } else if ((c >> 3) == 30) {
        more = 3;
      } else {
        return false;
      }
    }
    if (bytes.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 2) return false;
    }
    i += more + 1;
  }
  return true;
}

class Parser {
 public:
  Parser(Profile& out, std::string folder) : out_(out), folder_(std::move(folder)) {}

  void entry(const IniDocument::Entry& e) {
    if (!e.wellFormed) throw ProfileError("", e.line, "not a section or a key=value line");
    // The system ends a path at a NUL: Logo1=logo.bmp<NUL>x would send logo.bmp while the plan
    // and the record name something else. No key or value of a text file holds one.
    if (e.key.find('\0') != std::string::npos || e.value.find('\0') != std::string::npos) {
      throw ProfileError(e.key.substr(0, e.key.find('\0')), e.line,
                         "holds a NUL byte; a profile is a text file");
    }
    if (e.isSection) {
      section(e);
      return;
    }
    if (section_.empty()) {
      throw ProfileError(e.key, e.line, "lies before any section ([ParaDefault] or [Files])");
    }
    if (equalNoCase(section_, kParaSection)) {
      paraKey(e);
    } else if (equalNoCase(section_, "Files")) {
      fileKey(e);
    } else {
      out_.ignored.push_back(
          {e.key, e.line, "the connection window's own setting ([MainDefault]): link, language"});
    }
  }

 private:
  void section(const IniDocument::Entry& e) {
    if (!equalNoCase(e.section, kParaSection) && !equalNoCase(e.section, "Files") &&
        !equalNoCase(e.section, "MainDefault")) {
      throw ProfileError("[" + e.section + "]", e.line,
                         "unknown section; a profile has [ParaDefault] and [Files]");
    }
    section_ = e.section;
  }

  // A key given twice must say the same both times (the window writes NetIPAddress twice).
  bool repeated(std::map<std::string, ProfileValue>& seen, const std::string& key,
                const IniDocument::Entry& e) {
    auto [it, fresh] = seen.emplace(asciiLower(key), ProfileValue{key, e.value, e.line});
    if (fresh) return false;
    if (it->second.value != e.value) {
      throw ProfileError(e.key, e.line,
                         "given twice with different values (also on line " +
                             std::to_string(it->second.line) + ")");
    }
    return true;
  }

  void paraKey(const IniDocument::Entry& e) {
    if (std::string key = managedSpelling(e.key); !key.empty()) {
      if (!repeated(paraSeen_, key, e)) out_.settings.push_back({key, e.value, e.line});
      return;
    }
    for (const UnmanagedKey& d : unmanagedKeys()) {
      if (equalNoCase(d.key, e.key)) {
        if (!repeated(paraSeen_, d.key, e)) out_.ignored.push_back({d.key, e.line, d.reason});
        return;
      }
    }
    if (isMemoLine(e.key)) {
      out_.ignored.push_back({e.key, e.line, kMemoLineReason});
      return;
    }
    // The names a misspelt key may have meant, gathered once.
    static const std::vector<std::string> known = [] {
      std::vector<std::string> out;
      for (const ParaKey& k : paraKeys()) out.push_back(k.key);
      for (const UnmanagedKey& d : unmanagedKeys()) out.push_back(d.key);
      for (const KeyAlias& a : keyAliases()) out.push_back(a.alias);
      return out;
    }();
    const std::string hint = didYouMean(nearestWords(e.key, known));
    throw ProfileError(e.key, e.line,
                       "not a key of the parameter window ([ParaDefault])" +
                           (hint.empty() ? std::string() : "; " + hint) +
                           " (plenar profile keys lists them)");
  }

  ProfileValue resolved(const IniDocument::Entry& e, const char* key) const {
    std::filesystem::path p(e.value);
    if (e.value.empty()) throw ProfileError(key, e.line, "names no file");
    if (p.is_relative()) p = std::filesystem::path(folder_) / p;
    return {key, p.lexically_normal().string(), e.line};
  }

  void fileKey(const IniDocument::Entry& e) {
    auto set = [&](std::optional<ProfileValue>& slot, ProfileValue v) {
      if (slot && slot->value != v.value) {
        throw ProfileError(e.key, e.line,
                           "given twice (also on line " + std::to_string(slot->line) + ")");
      }
      slot = std::move(v);
    };
    ProfileFiles& f = out_.files;
    if (equalNoCase(e.key, "Firmware")) {
      set(f.firmware, resolved(e, "Firmware"));
    } else if (equalNoCase(e.key, "FirmwareWait")) {
      set(f.firmwareWait, {"FirmwareWait", e.value, e.line});
    } else if (equalNoCase(e.key, "Font")) {
      set(f.font, resolved(e, "Font"));
    } else if (equalNoCase(e.key, "FontAddress")) {
      set(f.fontAddress, {"FontAddress", e.value, e.line});
    } else if (equalNoCase(e.key, "LogoRaw")) {
      set(f.logoRaw, {"LogoRaw", e.value, e.line});
    } else if (e.key.size() > 4 && equalNoCase(e.key.substr(0, 4), "Logo") &&
               std::all_of(e.key.begin() + 4, e.key.end(),
                           [](unsigned char c) { return std::isdigit(c); }) &&
               e.key.size() <= 8) {
      const int number = std::stoi(e.key.substr(4));
      // The printer's logo directory has 512 entries (the 1C 71 command 255, checked with
      // LogoRaw), numbered from 1.
      if (number < 1 || number > static_cast<int>(kLogoDirectoryEntries)) {
        throw ProfileError(e.key, e.line,
                           "the printer stores logos 1 to " +
                               std::to_string(kLogoDirectoryEntries) + " (1 to " +
                               std::to_string(kNvLogoMaxImages) + " with LogoRaw=1)");
      }
      if (logoNumbers_.count(number)) {
        throw ProfileError(e.key, e.line, "given twice");
      }
      logoNumbers_[number] = f.logos.size();
      f.logos.push_back(resolved(e, ""));
      f.logos.back().key = "Logo" + std::to_string(number);
    } else {
      throw ProfileError(e.key, e.line,
                         "not a [Files] key (Firmware, FirmwareWait, Font, FontAddress, Logo1, "
                         "Logo2, ..., LogoRaw)");
    }
  }

 public:
  // Logos in the order of their numbers, which is the order the printer numbers them.
  void sortLogos() {
    std::vector<ProfileValue> sorted;
    for (const auto& [number, index] : logoNumbers_) sorted.push_back(out_.files.logos[index]);
    out_.files.logos = std::move(sorted);
  }

 private:
  Profile& out_;
  std::string folder_;
  std::string section_;
  std::map<std::string, ProfileValue> paraSeen_;
  std::map<int, std::size_t> logoNumbers_;
};

}  // namespace

const ProfileValue* Profile::find(std::string_view key) const {
  for (const ProfileValue& v : settings) {
    if (equalNoCase(v.key, key)) return &v;
  }
  return nullptr;
}

bool isManagedKey(std::string_view key) {
  return groupOfKey(key) != nullptr;
}

namespace {

bool isComment(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t\r\v\f");
  return first == std::string_view::npos || line[first] == ';' || line[first] == '#';
}

// Whether the lines that hold data (sections and keys) are UTF-8. Comments may hold anything: a
// UTF-8 profile whose comment was typed in Latin-1 must not have its values read as GBK.
bool dataIsUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view text = bytes.substr(pos, end - pos);
    pos = end + 1;
    if (!isComment(text) && !validUtf8(text)) return false;
  }
  return true;
}

// A UTF-8 profile is read through GBK, the window's encoding, which would turn what GBK lacks
// into '?': a value naming such a character is refused with its key instead. A comment may hold
// anything.
void refuseNonGbkLines(std::string_view bytes) {
  int line = 0;
  for (std::size_t pos = 0; pos < bytes.size();) {
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view text = bytes.substr(pos, end - pos);
    pos = end + 1;
    ++line;
    if (firstNonGbk(text) == std::string_view::npos) continue;
    if (isComment(text)) continue;
    const std::size_t eq = text.find('=');
    std::string_view key = eq == std::string_view::npos ? text : text.substr(0, eq);
    while (!key.empty() && (key.front() == ' ' || key.front() == '\t')) key.remove_prefix(1);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.remove_suffix(1);
    throw ProfileError(firstNonGbk(key) == std::string_view::npos ? std::string(key) : "", line,
                       "holds a character that GBK lacks (an emoji, letters such as ä or ö); "
                       "a profile is read as GBK text, the printer's encoding");
  }
}

// The encoding a profile names for itself: a UTF-8 byte-order mark, or a first line
// "; encoding: GBK" (what the window writes) or "; encoding: UTF-8" ('#' may stand for ';').
enum class Marked { None, Gbk, Utf8 };

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

Marked markedEncoding(std::string_view& bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    bytes.remove_prefix(3);
    return Marked::Utf8;
  }
  std::string_view first = bytes.substr(0, bytes.find('\n'));
  while (!first.empty() && (first.back() == '\r' || first.back() == ' ')) first.remove_suffix(1);
  const std::string line = lowerAscii(first);
  for (const char* comment : {";", "#"}) {
    for (const char* gap : {" ", ""}) {
      const std::string head = std::string(comment) + gap + "encoding:";
      if (line.rfind(head, 0) != 0) continue;
      std::string name = line.substr(head.size());
      name.erase(0, name.find_first_not_of(' '));
      if (name == "gbk" || name == "gb2312" || name == "gb18030" || name == "cp936") {
        return Marked::Gbk;
      }
      if (name == "utf-8" || name == "utf8") return Marked::Utf8;
      throw ProfileError("encoding", 1, "names the encoding '" + name +
                                    "'; a profile is GBK or UTF-8 (; encoding: GBK or "
                                    "; encoding: UTF-8)");
    }
  }
  return Marked::None;
}

// Text the window would have written: ASCII and the characters of GB2312 (two bytes, each
// A1..FE, the lead at most F7), the Chinese people type. UTF-8 Chinese read as GBK almost always
// holds a byte below A1 (a UTF-8 continuation byte) or a rarer GBK character, so a UTF-8 file is
// seldom taken for one.
bool readsAsWindowGbk(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) continue;
    if (i + 1 >= bytes.size()) return false;
    const auto trail = static_cast<unsigned char>(bytes[++i]);
    if (lead < 0xA1 || lead > 0xF7 || trail < 0xA1 || trail > 0xFE) return false;
  }
  return true;
}

// An unmarked file whose data lines are UTF-8 and read as the window's GBK too, with some text
// outside ASCII, has two readings (GBK "茅" is the bytes of UTF-8 "é"): which one the writer
// meant nobody can tell, and the wrong one would go to the printer. Refused, naming the first
// such line.
void refuseAmbiguous(std::string_view bytes) {
  int line = 0, firstNonAscii = 0;
  std::string key;
  for (std::size_t pos = 0; pos < bytes.size();) {
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view text = bytes.substr(pos, end - pos);
    pos = end + 1;
    ++line;
    if (isComment(text)) continue;
    if (text.ends_with('\r')) text.remove_suffix(1);
    if (!readsAsWindowGbk(text)) return;  // UTF-8 is the only reading
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](unsigned char c) { return c < 0x80; });
    if (!ascii && firstNonAscii == 0) {
      firstNonAscii = line;
      key = std::string(text.substr(0, text.find('=')));
      key.erase(0, key.find_first_not_of(" \t"));
      key.erase(key.find_last_not_of(" \t") + 1);
    }
  }
  if (firstNonAscii == 0) return;
  throw ProfileError(key, firstNonAscii,
                     "reads as UTF-8 and as GBK, with different texts: say which the file is "
                     "with a first line '; encoding: UTF-8' or '; encoding: GBK' (or save it "
                     "as UTF-8 with a byte-order mark); nothing was sent");
}

}  // namespace

void applySettingOverrides(Profile& profile, const std::vector<std::string>& assignments) {
  std::string digest = profile.sha256;
  for (const std::string& a : assignments) {
    // A password key is refused whatever its value, and the value is never repeated: the key is
    // all a message names. The value is in this process's memory now, so it stays out of cores.
    const std::string named = a.substr(0, a.find_first_of("=\r\n"));
    if (isPasswordKey(named) || isPasswordKey(managedSpelling(named))) {
      keepOutOfCoreDumps();
      throw ProfileError("--set " + named, 0,
                         "a password never goes on the command line, where every local user "
                         "can read it; keep it in the profile file, readable by its owner only",
                         "password-on-command-line");
    }
    const auto equals = a.find('=');
    const bool wellFormed =
        equals != std::string::npos && equals > 0 && a.find_first_of("\r\n") == std::string::npos &&
        std::all_of(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(equals),
                    [](unsigned char c) { return std::isalnum(c) || c == '_'; });
    if (!wellFormed) throw ProfileError("--set", 0, "takes KEY=VALUE on one line, not '" + a + "'");
    const std::string key = a.substr(0, equals);
    Profile one;
    try {
      one = parseProfile("[ParaDefault]\n" + a + "\n", profile.path);
    } catch (const ProfileError& e) {
      // The message names the line of the text made here; the user wrote --set.
      std::string message = e.what();
      const std::string prefix = "line 2: " + e.key() + ": ";
      if (message.rfind(prefix, 0) == 0) message = message.substr(prefix.size());
      throw ProfileError("--set " + key, 0, message);
    }
    if (!one.ignored.empty()) {
      throw ProfileError("--set " + key, 0,
                         "sets nothing on the printer: " + one.ignored[0].reason);
    }
    for (ProfileValue v : one.settings) {
      v.line = 0;
      auto same = std::find_if(profile.settings.begin(), profile.settings.end(),
                               [&](const ProfileValue& s) { return equalNoCase(s.key, v.key); });
      if (same != profile.settings.end()) {
        *same = v;
      } else {
        profile.settings.push_back(v);
      }
    }
    digest = sha256Hex(digest + "\n--set " + a);
  }
  profile.sha256 = digest;
}

Profile parseProfile(std::string_view bytes, const std::string& path) {
  Profile out;
  out.path = path;
  out.sha256 = sha256Hex(bytes);
  // The window writes GBK (and says so on its first line); a profile written by hand on Linux
  // is UTF-8, on Windows often UTF-8 with a byte-order mark, which is no text of the file.
  const Marked marked = markedEncoding(bytes);
  const bool utf8 = marked == Marked::Utf8 || (marked == Marked::None && dataIsUtf8(bytes));
  if (marked == Marked::Utf8 && !dataIsUtf8(bytes)) {
    throw ProfileError("encoding", 1, "says UTF-8, but the file holds bytes that are not UTF-8");
  }
  if (marked == Marked::None && utf8) refuseAmbiguous(bytes);
  if (utf8) refuseNonGbkLines(bytes);
  const IniDocument doc = IniDocument::parse(utf8 ? utf8ToGbk(bytes) : std::string(bytes));
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty()) folder = ".";
  Parser parser(out, folder);
  for (const IniDocument::Entry& e : doc.entries()) parser.entry(e);
  parser.sortLogos();
  if (holdsPasswordKey(out)) keepOutOfCoreDumps();
  return out;
}

bool holdsPasswordKey(const Profile& profile) {
  const auto password = [](const auto& entry) { return isPasswordKey(entry.key); };
  return std::any_of(profile.settings.begin(), profile.settings.end(), password) ||
         std::any_of(profile.ignored.begin(), profile.ignored.end(), password);
}

Profile loadProfile(const std::string& path) {
  std::string bytes;
  try {
    bytes = readInputFile(path, kMaxProfileBytes);
  } catch (const InputFileError& e) {
    throw ProfileFileError(path, 0, e.what(), inputFileErrorCode(e.problem()));
  }
  // The file's own bytes may hold a password; the parsed profile keeps what it needs.
  struct WipeAfter {
    std::string& bytes;
    ~WipeAfter() { wipe(bytes); }
  } wipeAfter{bytes};
  return parseProfile(bytes, path);
}

}  // namespace plenar
