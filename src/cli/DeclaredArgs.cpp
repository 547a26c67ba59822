// SPDX-License-Identifier: GPL-3.0-or-later
// The arguments of a command checked against its declared options (OptionTable.h).

#include <stdexcept>

#include "cli/CliArgs.h"
#include "cli/CliTexts.h"
#include "cli/OptionTable.h"
#include "shared/Nearest.h"

namespace plenar::cli {
namespace {

void checkValue(const OptionDecl& d, const std::string& value) {
  if (d.kind == ValueKind::Choice) chosenItem(d, value);
  if (d.kind == ValueKind::Number) checkedNumber(d, value);
}

// The positional declaration that the `index`th positional argument fills.
const OptionDecl* positionalAt(const std::vector<OptionDecl>& table, std::size_t index) {
  std::size_t first = 0;
  for (const OptionDecl& d : table) {
    if (!d.positional()) continue;
    if (d.count < 0) return &d;
    const auto count = static_cast<std::size_t>(d.count);
    if (index < first + count) return &d;
    first += count;
  }
  return nullptr;
}

}  // namespace

ArgList::ArgList(std::vector<std::string> args, const std::vector<OptionDecl>& table,
                 std::string usage)
    : args_(std::move(args)), table_(&table), usage_(std::move(usage)) {
  for (const OptionDecl& d : table) {
    if (!d.positional()) asked_.push_back(d.name);
  }
  checkDeclared();
}

void ArgList::checkDeclared() const {
  std::size_t positional = 0;
  bool onlyPositional = false;
  for (std::size_t i = 0; i < args_.size(); ++i) {
    const std::string& a = args_[i];
    if (!onlyPositional && a == "--") {
      onlyPositional = true;
      continue;
    }
    if (onlyPositional || a.size() <= 2 || a.rfind("--", 0) != 0) {
      if (const OptionDecl* d = positionalAt(*table_, positional++)) checkValue(*d, a);
      continue;
    }
    const std::size_t equals = a.find('=');
    const std::string name = a.substr(0, equals);
    const OptionDecl* d = nullptr;
    for (const OptionDecl& o : *table_) {
      if (o.name == name) d = &o;
    }
    if (!d) {
      std::vector<std::string> known = asked_;
      known.insert(known.end(), commonOptionNames().begin(), commonOptionNames().end());
      const std::string hint = suggestion(nearestSpellings(name, known));
      throw UsageError(unknownOption(a, hint), "unknown-option");
    }
    if (d->kind == ValueKind::Flag) continue;
    const std::size_t values = d->kind == ValueKind::Pair ? 2 : 1;
    if (equals != std::string::npos) {
      checkValue(*d, a.substr(equals + 1));
      continue;
    }
    if (i + values >= args_.size()) {
      throw UsageError(values == 2 ? say("%1 needs two values", "%1 需要两个值", {name})
                                   : say("%1 needs a value", "%1 需要一个值", {name}),
                       "missing-argument");
    }
    checkValue(*d, args_[i + 1]);
    i += values;
  }
}

const OptionDecl& ArgList::declared(const std::string& name) const {
  if (table_) {
    for (const OptionDecl& d : *table_) {
      if (d.name == name) return d;
    }
  }
  throw std::logic_error("no declaration for " + name);
}

int ArgList::choose(const std::string& name, const std::string& value) const {
  return chosenItem(declared(name), value);
}

std::string ArgList::number(const std::string& name, const std::string& value) const {
  return checkedNumber(declared(name), value);
}

std::optional<int> ArgList::takeItem(const std::string& name) {
  const auto value = takeOption(name);
  if (!value) return std::nullopt;
  return choose(name, *value);
}

std::optional<std::string> ArgList::takeNumber(const std::string& name) {
  const auto value = takeOption(name);
  if (!value) return std::nullopt;
  return number(name, *value);
}

const std::string& ArgList::keyText(const std::string& name, const std::string& value) const {
  checkKeyText(declared(name), value);
  return value;
}

}  // namespace plenar::cli
