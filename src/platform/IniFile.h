// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/SafeFiles.h"

namespace plenar {

// An INI document with the private-profile rules of Windows: sections and keys match without
// regard to case, blanks around keys and values are ignored, a missing section or key gives the
// caller's default, and a write changes one line (or appends what is missing) and keeps every
// other byte of the file as it was. Names and values are UTF-8 at this interface and GBK bytes in
// the file.
// Threads: a document is used by one thread at a time.
class IniDocument {
 public:
  IniDocument() = default;
  // Parses raw file bytes; anything that is not a section or key line is kept and ignored.
  static IniDocument parse(std::string_view bytes);

  std::optional<std::string> find(std::string_view section, std::string_view key) const;
  // Every key of `section` with its value, in file order, as find() sees them: the first section
  // of that name, a key given twice twice (find() takes the first). One pass for readers that
  // want many keys of one section.
  std::vector<std::pair<std::string, std::string>> sectionValues(std::string_view section) const;
  std::string readString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // A value that is not a whole integer (decimal, or hex with 0x or $) reads as `def`.
  int readInt(std::string_view section, std::string_view key, int def) const;
  bool readBool(std::string_view section, std::string_view key, bool def) const;

  void writeString(std::string_view section, std::string_view key, std::string_view value);
  void writeInt(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
  }

  std::string bytes() const;

  // Every line that is not blank or a comment, in file order, for readers that must name the
  // line of what they refuse (profiles). `section` is the section the line lies in ("" before
  // the first); a line that is neither a section nor "key=value" comes with `wellFormed` false.
  struct Entry {
    int line = 0;  // from 1
    std::string section;
    std::string key;
    std::string value;  // as find() returns it: trimmed, one pair of quotes removed
    bool isSection = false;
    bool wellFormed = true;
  };
  std::vector<Entry> entries() const;

 private:
  struct Line {
    std::string raw;   // as in the file, without the line end
    std::string name;  // section name or key, GBK, trimmed; empty for other lines
    bool isSection = false;
  };
  std::ptrdiff_t sectionIndex(std::string_view gbkSection) const;
  std::ptrdiff_t keyIndex(std::ptrdiff_t section, std::string_view gbkKey) const;

  std::vector<Line> lines_;
  bool crlf_ = false;
  bool trailingNewline_ = true;
};

// A file read and written with those rules. Every read loads the file as it is now (a missing or
// unreadable file reads as empty; so does anything that is not a regular file, or a file above
// kMaxIniFileBytes, with a note on stderr); every write loads, changes and replaces the file
// atomically (temporary file + rename), so a crash never leaves half a file.
// Threads: as a file, by one thread at a time per path.
inline constexpr std::size_t kMaxIniFileBytes = 1u << 20;  // settings and language files

class IniFile {
 public:
  // `createMode` is the permission of a file that does not exist yet; an existing file keeps its
  // own. The default 0600 makes it a private file (savePrivateFile): always 0600, never written
  // through a symlink.
  explicit IniFile(std::string path, mode_t createMode = 0600)
      : path_(std::move(path)), createMode_(createMode) {}

  const std::string& path() const { return path_; }
  IniDocument load() const;
  // Replaces the file with `doc`; returns false (errno set) when it cannot be written.
  bool save(const IniDocument& doc) const;

  std::string readString(std::string_view section, std::string_view key,
                         std::string_view def) const {
    return load().readString(section, key, def);
  }
  int readInt(std::string_view section, std::string_view key, int def) const {
    return load().readInt(section, key, def);
  }
  bool writeString(std::string_view section, std::string_view key, std::string_view value) const;

 private:
  std::string path_;
  mode_t createMode_;
};

}  // namespace plenar
