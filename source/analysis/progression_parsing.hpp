#pragma once
// A progression typed as one line: chord symbols separated by blanks, bar lines or commas,
// "%" repeating the previous chord.
#include <string>
#include <string_view>
#include <vector>

#include "chord/chord_parser.hpp"

namespace tw {

struct ProgressionParse {
  std::vector<ParsedChord> chords;       // text order, repeats included
  std::vector<std::string> errorTokens;  // tokens that are not chords, text order
};

ProgressionParse tokenizeProgression(std::string_view text);

}  // namespace tw
