// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>

#include "cli/OptionTable.h"

// Short ways to write the declarations of CommandOptions*.cpp.
namespace plenar::cli::decl {

inline OptionDecl flag(std::string name, Said help) {
  OptionDecl d;
  d.name = std::move(name);
  d.kind = ValueKind::Flag;
  d.help = std::move(help);
  return d;
}

// An option or argument that takes free text.
inline OptionDecl text(std::string name, std::string term, Said help,
                       Completion complete = Completion::None) {
  OptionDecl d;
  d.name = std::move(name);
  d.term = std::move(term);
  d.help = std::move(help);
  d.complete = complete;
  return d;
}

// An option or argument that sets a profile key: its row says what it accepts.
inline OptionDecl keyed(std::string name, std::string term, ValueKind kind, const char* key,
                        Said help = {}) {
  OptionDecl d;
  d.name = std::move(name);
  d.term = std::move(term);
  d.kind = kind;
  d.key = key;
  d.help = std::move(help);
  return d;
}

inline OptionDecl number(std::string name, std::string term, long long min, long long max,
                         Said help) {
  OptionDecl d = text(std::move(name), std::move(term), std::move(help));
  d.kind = ValueKind::Number;
  d.min = min;
  d.max = max;
  return d;
}

inline OptionDecl file(std::string name, std::string term, Said help) {
  return text(std::move(name), std::move(term), std::move(help), Completion::File);
}

inline OptionDecl required(OptionDecl d) {
  d.required = true;
  return d;
}
inline OptionDecl optional(OptionDecl d) {
  d.optional = true;
  return d;
}
inline OptionDecl repeated(OptionDecl d) {
  d.repeat = true;
  return d;
}
inline OptionDecl counted(OptionDecl d, int count) {
  d.count = count;
  return d;
}
inline OptionDecl grouped(OptionDecl d, std::string group) {
  d.group = std::move(group);
  return d;
}

}  // namespace plenar::cli::decl
