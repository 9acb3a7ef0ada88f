#pragma once
// A chord chart as musicians read it: chord symbols between bar lines, the chords of one bar
// sharing it equally, "%" repeating the chord before it, "NC" (or "N.C.") a share without a
// chord. A text without bar lines gives every chord a bar of its own. Symbols are read as the chord parser reads them or, unless strict,
// through the chart reader's table of spellings.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chord/chord_parser.hpp"

namespace tw {

// Where a chord sounds: the `part`-th of `parts` equal parts of bar `bar` (counted from 0,
// bars without chords left out).
struct BarShare {
  int bar = 0;
  int part = 0;
  int parts = 1;
};

struct ChartToken {
  std::string_view text;  // a chord symbol or "%"
  BarShare share;
};

// The chord tokens of a chart with their shares of the bars; a "%" with nothing before it is
// left out, as it repeats nothing.
std::vector<ChartToken> chartTokens(std::string_view text);

// "NC" and "N.C.", in either case: no chord plays.
bool isNoChordMark(std::string_view token);

struct ChartEntry {
  std::string typed;                 // the token as written ("%" for a repeat)
  std::optional<ParsedChord> chord;  // empty when the token stays unread or marks no chord
  bool noChord = false;              // a no-chord mark: a silent share, not an unread chord
  std::string readAs;                // the catalogue spelling when the chart reader rewrote it
  BarShare share;
};

struct ChartReading {
  std::vector<ChartEntry> entries;  // every token, read or not, in text order
  bool allRead() const;                     // every token is a chord or a no-chord mark
  std::vector<std::string> unread() const;  // the tokens that stay unread, in text order
  std::size_t chordCount() const;
};

// Reads every token; a repeat copies the last chord or no-chord mark read before it (and stays
// unread when there is none).
ChartReading readChart(std::string_view text, bool strict);

}  // namespace tw
