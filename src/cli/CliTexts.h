// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace plenar::cli {

// A text of plenar's own, declared once with its English and its Chinese side by side: the
// help, the usage errors, the progress and the results of the command line. The printer
// family's fixed texts and the window's come from the language files instead.
struct Said {
  Said() = default;
  // English only: the Chinese falls back to it (names, terms, examples).
  Said(const char* english) : en(english) {}  // NOLINT(google-explicit-constructor)
  Said(std::string english, std::string chinese) : en(std::move(english)), zh(std::move(chinese)) {}

  std::string en;
  std::string zh;
};

// The language of this run's texts: set once the command line says it (--lang, else the
// window's setting, else the locale); English until then.
void chooseChinese(bool chinese);
bool chineseChosen();

// The text in the chosen language, each %1..%9 replaced by the argument of that number.
std::string say(const Said& text, std::initializer_list<std::string> args = {});
// `english` or `chinese`, as the chosen language has it, filled in as `say` does.
std::string say(const char* english, const char* chinese,
                std::initializer_list<std::string> args = {});
// "did you mean `a` or `b`?" in the chosen language; empty without candidates.
std::string suggestion(const std::vector<std::string>& candidates);

// "unknown option WORD", with the hint after it.
std::string unknownOption(const std::string& word, const std::string& hint);

// The English text, filled in: for the man page, which stays English.
std::string english(const Said& text, std::initializer_list<std::string> args = {});

// `text` folded into lines of at most `width` columns (a Han character takes two): the first
// line after `first`, the others after `indent` blanks. Lines break at blanks, and between Han
// characters, which have none.
std::string foldText(const std::string& text, const std::string& first, std::size_t indent,
                     std::size_t width = 80);
// The columns `text` takes on a terminal.
std::size_t textColumns(const std::string& text);

}  // namespace plenar::cli
