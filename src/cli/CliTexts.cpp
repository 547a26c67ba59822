// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliTexts.h"

#include <string_view>
#include <vector>

namespace plenar::cli {
namespace {

bool chinese = false;

std::string filled(const std::string& text, std::initializer_list<std::string> args) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    const auto n = static_cast<std::size_t>(next - '1');
    if (text[i] == '%' && next >= '1' && next <= '9' && n < args.size()) {
      out += *(args.begin() + n);
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// One UTF-8 character's length from its first byte.
std::size_t charLength(unsigned char lead) {
  return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// A character of three bytes or more: Han characters and their punctuation, two columns wide.
bool wide(const std::string& text, std::size_t at) {
  return charLength(static_cast<unsigned char>(text[at])) >= 3;
}

// The pieces a line may break between: words, and each wide character on its own. A piece
// carries whether a blank stood before it.
struct Piece {
  std::string text;
  bool blankBefore = false;
};

bool endsWide(const std::string& piece) {
  return piece.size() >= 3 && wide(piece, piece.size() - 3);
}

// Punctuation no line starts with, and punctuation no line ends with.
bool closing(std::string_view c) {
  return std::string_view("、，。；：）！？”』」").find(c) != std::string_view::npos;
}
bool opening(std::string_view c) {
  return std::string_view("（“『「").find(c) != std::string_view::npos;
}

std::vector<Piece> pieces(const std::string& text) {
  std::vector<Piece> out;
  bool blank = false;
  bool glued = false;  // the last piece ends in an opening mark: the next character joins it
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = charLength(static_cast<unsigned char>(text[i]));
    const std::string_view c(text.data() + i, length);
    if (text[i] == ' ') {
      blank = true;
    } else if (!out.empty() && !blank && (glued || (length >= 3 && closing(c)))) {
      out.back().text += c;
      glued = length >= 3 && opening(c);
    } else if (wide(text, i) || out.empty() || blank || endsWide(out.back().text)) {
      out.push_back({text.substr(i, length), blank && !out.empty()});
      blank = false;
      glued = length >= 3 && opening(c);
    } else {
      out.back().text += text.substr(i, length);
    }
    i += length;
  }
  return out;
}

}  // namespace

void chooseChinese(bool c) {
  chinese = c;
}

bool chineseChosen() {
  return chinese;
}

std::string say(const Said& text, std::initializer_list<std::string> args) {
  return filled(chinese && !text.zh.empty() ? text.zh : text.en, args);
}

std::string say(const char* english, const char* chinese, std::initializer_list<std::string> args) {
  return say(Said(english, chinese), args);
}

std::string suggestion(const std::vector<std::string>& candidates) {
  if (candidates.empty()) return {};
  std::string names;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (i > 0) names += i + 1 == candidates.size() ? say(" or ", " 或 ") : say(", ", "、");
    names += "`" + candidates[i] + "`";
  }
  return say("did you mean %1?", "是否想输入 %1？", {names});
}

std::string unknownOption(const std::string& word, const std::string& hint) {
  return say("unknown option %1", "未知选项 %1", {word}) +
         (hint.empty() ? "" : say("; ", "；") + hint);
}

std::string english(const Said& text, std::initializer_list<std::string> args) {
  return filled(text.en, args);
}

std::size_t textColumns(const std::string& text) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < text.size(); i += charLength(static_cast<unsigned char>(text[i]))) {
    columns += wide(text, i) ? 2 : 1;
  }
  return columns;
}

std::string foldText(const std::string& text, const std::string& first, std::size_t indent,
                     std::size_t width) {
  std::string out, line = first;
  std::size_t columns = textColumns(first);
  bool fresh = true;  // nothing of `text` on this line yet
  for (const Piece& p : pieces(text)) {
    const std::size_t gap = fresh || !p.blankBefore ? 0 : 1;
    const std::size_t taken = textColumns(p.text);
    if (!fresh && columns + gap + taken > width) {
      out += line + "\n";
      line = std::string(indent, ' ');
      columns = indent;
      fresh = true;
    }
    if (!fresh && p.blankBefore) {
      line += ' ';
      ++columns;
    }
    line += p.text;
    columns += taken;
    fresh = false;
  }
  return out + line + "\n";
}

}  // namespace plenar::cli
