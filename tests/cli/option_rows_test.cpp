// SPDX-License-Identifier: GPL-3.0-or-later
// Every command option and argument that sets a profile key takes what that key's row takes
// (KeyValues), and every kind of mistake on the command line answers with one code and one exit
// status, whichever command makes it.

#include <gtest/gtest.h>

#include <string>

#include "PlenarJson.h"
#include "TempDir.h"
#include "cli/CliArgs.h"
#include "cli/CliCommands.h"
#include "cli/OptionTable.h"

using namespace plenar;
using namespace plenar::cli;

namespace {

std::string usageCode(const OptionDecl& d, const std::string& value) {
  try {
    if (d.kind == ValueKind::Choice) chosenItem(d, value);
    if (d.kind == ValueKind::Number) checkedNumber(d, value);
  } catch (const UsageError& e) {
    return "usage:" + e.code();
  } catch (const InputRefused& e) {
    return "refused:" + e.code();
  }
  return "taken";
}

// Each declaration with a key, with the command that declares it.
template <typename F>
void forEachKeyed(F each) {
  for (const CliCommand& c : cliCommands()) {
    const OptionTable* table = optionTableOf(c.name);
    ASSERT_NE(table, nullptr) << c.name << " declares no options";
    for (const OptionDecl& d : *table) {
      if (!d.key) continue;
      SCOPED_TRACE(c.name + " " + d.name + " (" + d.key + ")");
      ASSERT_NE(d.row(), nullptr) << "no row for the key";
      each(d, *d.row());
    }
  }
}

}  // namespace

TEST(OptionRows, ChoicesTakeEveryWordTextAndIndexOfTheirRowAndNothingElse) {
  forEachKeyed([](const OptionDecl& d, const KeyValues& row) {
    if (d.kind != ValueKind::Choice) return;
    ASSERT_TRUE(row.form == ValueForm::Choice || row.form == ValueForm::Flag);
    for (const ChoiceItem& item : choiceItems(row)) {
      for (const std::string& word : item.plain) EXPECT_EQ(chosenItem(d, word), item.index);
      if (row.form == ValueForm::Choice && row.list == OptionList::Count) {
        const std::string& text = row.items[static_cast<std::size_t>(item.index)];
        if (itemsNamedBy(text, choiceListOf(row, {})).size() == 1) {
          EXPECT_EQ(chosenItem(d, text), item.index) << text;
        }
      }
      const std::string index = std::to_string(item.index);
      const bool indexWord =
          std::find(item.plain.begin(), item.plain.end(), index) != item.plain.end();
      if (row.form == ValueForm::Choice && row.indexAllowed && !indexWord) {
        EXPECT_EQ(chosenItem(d, index), item.index);
      }
    }
    EXPECT_EQ(usageCode(d, "no-such-word"), "usage:option-value");
    // The usage and completion show only words the parser takes.
    for (const std::string& word : offeredWords(d)) EXPECT_EQ(usageCode(d, word), "taken") << word;
  });
}

TEST(OptionRows, NumbersTakeTheirRowsRangeAndNothingOutsideIt) {
  forEachKeyed([](const OptionDecl& d, const KeyValues& row) {
    if (d.kind != ValueKind::Number) return;
    ASSERT_TRUE(row.max > row.min) << "the row gives no range";
    EXPECT_EQ(usageCode(d, std::to_string(row.min)), "taken");
    EXPECT_EQ(usageCode(d, std::to_string(row.max)), "taken");
    EXPECT_EQ(usageCode(d, std::to_string(row.max + 1)), "usage:option-value");
    if (row.min > 0) {
      EXPECT_EQ(usageCode(d, std::to_string(row.min - 1)), "usage:option-value");
    }
    // The help says the same range.
    const std::string range = std::to_string(row.min) + ".." + std::to_string(row.max);
    EXPECT_NE(termHelp(d).find(range), std::string::npos) << termHelp(d);
  });
}

TEST(OptionRows, TextsAreHeldToTheirRowsEditLimits) {
  forEachKeyed([](const OptionDecl& d, const KeyValues& row) {
    if (d.kind != ValueKind::Text) return;
    ASSERT_EQ(row.form, ValueForm::Edit);
    if (row.maxChars == 0) return;
    const std::string tooLong(row.maxChars + 1, '1');
    try {
      checkKeyText(d, tooLong);
      ADD_FAILURE() << "a value longer than " << row.maxChars << " was taken";
    } catch (const InputRefused& e) {
      EXPECT_EQ(e.code(), "field-limit");
    }
    EXPECT_NO_THROW(checkKeyText(d, std::string(row.maxChars, '1')));
  });
}

TEST(OptionRows, ATextThatNamesSeveralItemsIsRefusedNamingThem) {
  const OptionTable* table = optionTableOf("set-codepage");
  ASSERT_NE(table, nullptr);
  try {
    chosenItem(table->front(), "Reversed");
    FAIL() << "'Reversed' was taken as one item";
  } catch (const UsageError& e) {
    EXPECT_EQ(e.code(), "option-value");
    for (const char* item : {"15", "16", "17", "18"}) {
      EXPECT_NE(std::string(e.what()).find(item), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(chosenItem(table->front(), "16"), 16);
}

// The code and exit status of each kind of mistake: one table, every command that can make the
// mistake run through the program.
TEST(OptionRows, EachKindOfMistakeHasOneCodeAndOneExitStatus) {
  struct Kind {
    const char* mistake;
    int exitCode;
    const char* code;
  };
  const Kind outOfRange{"a number out of its range", 64, "option-value"};
  const Kind notAChoice{"a word no item takes", 64, "option-value"};
  const Kind unknownOption{"an option the command does not take", 64, "unknown-option"};
  const Kind missingValue{"an option without its value", 64, "missing-argument"};
  TempDir dir;
  const std::string link = "--dir " + dir.path() + " --net 127.0.0.1:9 ";
  auto check = [&](const Kind& kind, const std::string& args) {
    SCOPED_TRACE(std::string(kind.mistake) + ": plenar " + args);
    const auto r = test::runPlenarJson(link + args);
    EXPECT_EQ(r.exitCode, kind.exitCode) << r.err;
    EXPECT_EQ(r.doc.value("error").toObject().value("code").toString().toStdString(), kind.code);
  };
  for (const CliCommand& c : cliCommands()) {
    if (!c.needsLink) continue;
    const OptionTable& table = *optionTableOf(c.name);
    // Arguments that fill every positional with something the parser takes.
    for (const OptionDecl& d : table) {
      std::string value;
      if (d.kind == ValueKind::Number) {
        value = std::to_string((d.row() ? d.row()->max : d.max) + 1);
        check(outOfRange,
              d.positional() ? c.name + " " + value : c.name + " " + d.name + " " + value);
      } else if (d.kind == ValueKind::Choice) {
        check(notAChoice, d.positional() ? c.name + " nothing-of-that-name"
                                         : c.name + " " + d.name + " nothing-of-that-name");
      } else if (!d.positional() && d.kind != ValueKind::Flag) {
        check(missingValue, c.name + " " + d.name);
      }
    }
    check(unknownOption, c.name + " --no-such-option");
  }
}
