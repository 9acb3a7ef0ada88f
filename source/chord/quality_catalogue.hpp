#pragma once
// The closed vocabulary of 381 chord qualities, the alias map of typed spellings, and the
// category of a quality.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chord/interval_list.hpp"

namespace tw {

struct ChordQuality {
  std::string symbol;      // canonical, ASCII ("maj", "m7b5", "13#11")
  IntervalList intervals;  // ascending, first 0, compound values kept (9th = 14)
};

// The canonical quality a typed suffix names ("-7" -> "m7", "" -> "maj"), or nothing.
std::optional<ChordQuality> resolveQuality(std::string_view suffix);

// The same resolution without a copy: the catalogue entry itself, or nullptr. The entry
// lives until the process ends.
const ChordQuality* findQuality(std::string_view suffix);

// Interval list of a canonical symbol; the major triad for a symbol not in the catalogue.
const IntervalList& qualityIntervals(std::string_view symbol);

// True when the symbol is a canonical catalogue symbol.
bool isCatalogueSymbol(std::string_view symbol);

// "suspended", "half-diminished", "diminished", "augmented", "sixth", "minor", "major" or
// "dominant"; works on canonical symbols and raw suffixes alike.
std::string_view qualityCategory(std::string_view quality);

bool isMinorQuality(std::string_view quality);

// Every catalogue entry, sorted by symbol byte by byte.
const std::vector<ChordQuality>& supportedQualities();

// The alias map itself (typed spelling -> canonical symbol).
const std::unordered_map<std::string, std::string>& qualityAliasMap();

}  // namespace tw
