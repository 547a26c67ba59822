// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "cli/CliTexts.h"
#include "profile/KeyValues.h"

namespace plenar::cli {

// What an option or argument takes.
enum class ValueKind {
  Flag,      // nothing: the option alone
  Text,      // free text; with a key, held to that key's edit limits by the command
  Choice,    // one item of the key's row, or one of `words`
  Number,    // a decimal number within the key's range, or min..max
  KeyValue,  // KEY=VALUE: a profile key and a value for it
  Pair,      // two values (--device NAME SERIAL)
};

// What the shell offers for the value, beyond a Choice's own words.
enum class Completion { None, File, Ini, Dir, Serial, ProfileKey };

// Positional arguments: how many the declaration stands for.
inline constexpr int kOneOrMore = -1;
inline constexpr int kAnyNumber = -2;

// One option or argument of a command, declared once: the parser, the usage line, the help,
// the man page and the shell completion all read it.
struct OptionDecl {
  std::string name;  // "--density"; a positional argument's term: "RATE", "BMP"
  std::string term;  // the value's term in the usage ("D"); empty for a flag. A positional
                     // argument's term is its name; with a key whose row has plain words,
                     // the usage shows those words instead ("soft|hard").
  ValueKind kind = ValueKind::Text;
  const char* key = nullptr;       // the profile key whose row says what is accepted
  std::vector<std::string> words;  // Choice without a key: the words, item i being words[i]
  long long min = 0, max = 0;      // Number without a key
  Completion complete = Completion::None;
  Said help;  // what it is; the accepted values follow from the key's row
  bool required = false;
  bool repeat = false;    // an option that may be given more than once
  int count = 1;          // positional arguments only
  bool optional = false;  // a positional argument that may be left out
  std::string group;      // options of one group exclude each other ("|" in the usage)

  bool positional() const { return name.rfind("-", 0) != 0; }
  const KeyValues* row() const { return key ? keyValuesOf(key) : nullptr; }
};

using OptionTable = std::vector<OptionDecl>;

// The declared options of a command, by its name (nullptr: none declared).
const OptionTable* optionTableOf(const std::string& command);

// The tables, by command group (CommandOptions*.cpp).
void addSettingsOptionTables(std::vector<std::pair<std::string, OptionTable>>& out);
void addDeviceOptionTables(std::vector<std::pair<std::string, OptionTable>>& out);
void addFileOptionTables(std::vector<std::pair<std::string, OptionTable>>& out);
void addProfileOptionTables(std::vector<std::pair<std::string, OptionTable>>& out);

// The usage line's arguments, from the table: "[--density D] ... RATE".
std::string usageArguments(const OptionTable& table);

// The words a Choice accepts as people write them: the row's plain words (the first for each
// item, in item order), else its items (fixed lists only), else `words`. Empty: free text.
std::vector<std::string> shownWords(const OptionDecl& decl);
// Every word the shell may offer for the value: the plain words, then the fixed items.
std::vector<std::string> offeredWords(const OptionDecl& decl);

// What the value may be, one line for people in the chosen language: the declaration's help,
// then the key's row.
std::string termHelp(const OptionDecl& decl);
// The term as the help lists it: "--baud RATE", "soft|hard".
std::string termHead(const OptionDecl& decl);

// The item a Choice's value names (by its row or its words); UsageError "option-value" when
// none does, or when the text names several items.
int chosenItem(const OptionDecl& decl, const std::string& value);
// A Number's value as decimal digits; UsageError "option-value" outside its range.
std::string checkedNumber(const OptionDecl& decl, const std::string& value);
// A Text value held to its key's edit limits (InputRefused "field-limit").
void checkKeyText(const OptionDecl& decl, const std::string& value);

}  // namespace plenar::cli
