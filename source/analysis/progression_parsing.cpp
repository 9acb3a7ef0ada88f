// Progression text: tokens, repeats and the "parse_progression" request.
#include "analysis/progression_parsing.hpp"

#include "analysis/roman_numerals.hpp"
#include "chord/pitch_spelling.hpp"

namespace tw {

namespace {

// Blank, tab, line feed, vertical tab, form feed, carriage return; bar lines and commas are
// separators too. Bytes of multi-byte characters never are.
bool isSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '|' ||
         c == ',';
}

}  // namespace

ProgressionParse tokenizeProgression(std::string_view text) {
  ProgressionParse parse;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && isSeparator(text[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < text.size() && !isSeparator(text[pos])) ++pos;
    if (pos == start) break;
    const std::string_view token = text.substr(start, pos - start);
    if (token == "%") {
      // A repeat sign with nothing before it repeats nothing and is not an error.
      if (!parse.chords.empty()) parse.chords.push_back(parse.chords.back());
      continue;
    }
    if (auto chord = parseChordSymbol(token)) {
      parse.chords.push_back(std::move(*chord));
    } else {
      parse.errorTokens.emplace_back(token);
    }
  }
  return parse;
}

}  // namespace tw
