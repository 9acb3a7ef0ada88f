#pragma once
// Reads chord symbols as lead-sheet charts write them. A chart spelling the catalogue does not
// read ("G7+", "Bbm/maj7", "F#h7") is rewritten through a fixed table of spellings into one it
// does ("G7#5", "BbmM7", "F#m7b5") before the chord parser sees it; the root and a slash bass
// are kept as written. A spelling outside the table stays unread: nothing is guessed.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "chord/chord_parser.hpp"

namespace tw {

struct ChartSpelling {
  std::string_view chart;      // as charts write the quality ("7+")
  std::string_view catalogue;  // as the catalogue reads it ("7#5")
};

// The rewrite table, in its order.
std::span<const ChartSpelling> chartSpellings();

// A rewrite never makes a symbol longer than this many bytes more than the text it reads.
inline constexpr std::size_t kChartRewriteGrowth = 8;

// The catalogue spelling of a chart symbol when the table rewrites its quality (surrounding
// white space dropped), else nothing. Symbols the parser reads as written are never rewritten.
std::optional<std::string> rewriteChartSymbol(std::string_view symbol);

struct ChartChord {
  std::optional<ParsedChord> chord;  // empty when the symbol stays unread
  std::string readAs;                // the catalogue spelling, when the symbol was rewritten
};

// The chord a chart symbol stands for: as the parser reads it, else through the table (the
// chord's symbol is then the rewritten text).
ChartChord readChartChord(std::string_view symbol);

}  // namespace tw
