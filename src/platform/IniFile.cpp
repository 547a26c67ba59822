// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniFile.h"

#include "platform/Notes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/Gbk.h"
#include "platform/Notes.h"

namespace plenar {
namespace {

std::string_view trim(std::string_view s) {
  const char* blanks = " \t\r\v\f";
  size_t b = s.find_first_not_of(blanks);
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(blanks);
  return s.substr(b, e - b + 1);
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x < 0x80 && y < 0x80) {
      if (std::tolower(x) != std::tolower(y)) return false;
    } else if (x != y) {
      return false;
    }
  }
  return true;
}

std::optional<int> parseWholeInt(std::string_view s) {
  s = trim(s);
  if (s.empty()) return std::nullopt;
  bool negative = false;
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 1 && s[0] == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  long long value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

IniDocument IniDocument::parse(std::string_view bytes) {
  IniDocument doc;
  doc.crlf_ = bytes.find("\r\n") != std::string_view::npos;
  doc.trailingNewline_ = bytes.empty() || bytes.back() == '\n';
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view raw = bytes.substr(pos, end - pos);
    // Only the CR of a CR LF line end belongs to the line end; a CR before the end of a file
    // without a final line end is content, and writing must keep it.
    if (end < bytes.size() && !raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    Line line;
    line.raw = std::string(raw);
    std::string_view t = trim(raw);
    if (!t.empty() && t.front() == '[') {
      size_t close = t.find(']');
      if (close != std::string_view::npos) {
        line.isSection = true;
        line.name = std::string(trim(t.substr(1, close - 1)));
      }
    } else if (!t.empty() && t.front() != ';') {
      size_t eq = t.find('=');
      if (eq != std::string_view::npos) line.name = std::string(trim(t.substr(0, eq)));
    }
    doc.lines_.push_back(std::move(line));
    pos = end + 1;
  }
  return doc;
}

std::ptrdiff_t IniDocument::sectionIndex(std::string_view gbkSection) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].isSection && equalsNoCase(lines_[i].name, gbkSection)) return i;
  }
  return -1;
}

std::ptrdiff_t IniDocument::keyIndex(std::ptrdiff_t section, std::string_view gbkKey) const {
  for (size_t i = section + 1; i < lines_.size() && !lines_[i].isSection; ++i) {
    if (!lines_[i].name.empty() && equalsNoCase(lines_[i].name, gbkKey)) return i;
  }
  return -1;
}

namespace {

// The value of a key line as UTF-8: trimmed, and like the Windows functions without one pair of
// enclosing quotes.
std::string valueOf(std::string_view raw) {
  std::string_view value = trim(raw.substr(raw.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return gbkToUtf8(value);
}

}  // namespace

std::optional<std::string> IniDocument::find(std::string_view section, std::string_view key) const {
  auto s = sectionIndex(utf8ToGbk(section));
  if (s < 0) return std::nullopt;
  auto k = keyIndex(s, utf8ToGbk(key));
  if (k < 0) return std::nullopt;
  return valueOf(lines_[k].raw);
}

std::vector<std::pair<std::string, std::string>> IniDocument::sectionValues(
    std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  const auto s = sectionIndex(utf8ToGbk(section));
  if (s < 0) return out;
  for (size_t i = s + 1; i < lines_.size() && !lines_[i].isSection; ++i) {
    if (!lines_[i].name.empty())
      out.emplace_back(gbkToUtf8(lines_[i].name), valueOf(lines_[i].raw));
  }
  return out;
}

std::vector<IniDocument::Entry> IniDocument::entries() const {
  std::vector<Entry> out;
  std::string section;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    std::string_view t = trim(l.raw);
    if (t.empty() || t.front() == ';' || t.front() == '#') continue;
    Entry e;
    e.line = static_cast<int>(i) + 1;
    if (l.isSection) {
      section = gbkToUtf8(l.name);
      e.isSection = true;
      e.section = section;
    } else if (!l.name.empty()) {
      e.section = section;
      e.key = gbkToUtf8(l.name);
      e.value = valueOf(l.raw);
    } else {
      e.section = section;
      e.wellFormed = false;
    }
    out.push_back(std::move(e));
  }
  return out;
}

std::string IniDocument::readString(std::string_view section, std::string_view key,
                                    std::string_view def) const {
  auto v = find(section, key);
  return v ? *v : std::string(def);
}

int IniDocument::readInt(std::string_view section, std::string_view key, int def) const {
  auto v = find(section, key);
  if (!v) return def;
  return parseWholeInt(*v).value_or(def);
}

bool IniDocument::readBool(std::string_view section, std::string_view key, bool def) const {
  return readInt(section, key, def ? 1 : 0) != 0;
}

void IniDocument::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
  std::string gSection = utf8ToGbk(section);
  std::string gKey = utf8ToGbk(key);
  std::string lineText = gKey + "=" + utf8ToGbk(value);
  auto s = sectionIndex(gSection);
  if (s < 0) {
    // A new section goes to the end, after a blank line when the file has content.
    if (!lines_.empty() && !lines_.back().raw.empty()) lines_.push_back(Line{});
    lines_.push_back(Line{"[" + gSection + "]", gSection, true});
    lines_.push_back(Line{lineText, gKey, false});
    return;
  }
  auto k = keyIndex(s, gKey);
  if (k >= 0) {
    lines_[k].raw = lineText;
    return;
  }
  // Append after the section's last non-blank line.
  size_t insertAt = s + 1;
  for (size_t i = s + 1; i < lines_.size() && !lines_[i].isSection; ++i) {
    if (!trim(lines_[i].raw).empty()) insertAt = i + 1;
  }
  lines_.insert(lines_.begin() + insertAt, Line{lineText, gKey, false});
}

std::string IniDocument::bytes() const {
  std::string out;
  const char* eol = crlf_ ? "\r\n" : "\n";
  for (size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i].raw;
    if (i + 1 < lines_.size() || trailingNewline_) out += eol;
  }
  return out;
}

IniDocument IniFile::load() const {
  try {
    return IniDocument::parse(readInputFile(path_, kMaxIniFileBytes));
  } catch (const InputFileError& e) {
    // A FIFO or a device in place of the file must not block or flood every start; it reads
    // as a missing file, which gives the defaults.
    if (e.problem() != InputFileError::Kind::Missing) note(std::string(e.what()) + ", ignored");
    return IniDocument{};
  }
}

bool IniFile::save(const IniDocument& doc) const {
  // Settings and profiles hold the printers' passwords: kept private, never written through a
  // link someone else planted.
  if ((createMode_ & 077) == 0) return savePrivateFile(path_, doc.bytes());
  return replaceFileAtomically(path_, doc.bytes(), createMode_);
}

bool IniFile::writeString(std::string_view section, std::string_view key,
                          std::string_view value) const {
  IniDocument doc = load();
  doc.writeString(section, key, value);
  return save(doc);
}

}  // namespace plenar
