#include "chord/quality_catalogue.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "chord/text_index.hpp"

namespace tw {

namespace {

struct CatalogueRow {
  const char* symbol;
  IntervalList intervals;
};

constexpr CatalogueRow kCatalogueRows[] = {
#include "quality_catalogue.inc"
};

struct AliasRow {
  const char* key;
  const char* symbol;
};

// Spellings that no family rule produces.
constexpr AliasRow kSingleSpellings[] = {
#include "quality_aliases.inc"
};

// Prefixes that replace the leading "m" of every minor symbol (not "maj", not "mM").
constexpr std::array<std::string_view, 7> kMinorPrefixes{"-", "mi", "Mi", "MI", "min", "Min", "MIN"};

// Minor-major chords written with a leading "-".
constexpr std::array<AliasRow, 4> kDashMinorMajorRows{
    {{"-M7", "mM7"}, {"-M9", "mM9"}, {"-maj7", "mM7"}, {"-maj9", "mM9"}}};

// Prefixes that replace the leading "maj" of every major symbol.
constexpr std::array<std::string_view, 3> kMajorPrefixes{"M", "Maj", "MAJ"};

// The triangle stands for a major seventh, so it replaces "maj" only on extended chords;
// alone it means the major seventh chord.
constexpr std::string_view kDeltaPrefix = "\u0394";
constexpr std::string_view kDeltaAloneSymbol = "maj7";

// Prefixes that replace the leading "mM" of every minor-major symbol.
constexpr std::array<std::string_view, 10> kMinorMajorPrefixes{
    "m-M", "m-maj", "m/M", "min-maj", "minmaj", "minMaj", "MinMaj", "MINMAJ", "mmaj", "mMaj"};

// Prefixes that replace the leading "dim" of every diminished symbol.
constexpr std::array<std::string_view, 2> kDiminishedPrefixes{"Dim", "DIM"};

// Eleventh-plus-thirteenth chords may also be written thirteenth first.
constexpr std::string_view kElevenAddThirteen = "11add13";
constexpr std::string_view kThirteenAddEleven = "13add11";

constexpr std::string_view kMajorTriadSymbol = "maj";

// Typed forms rewritten before lookup: Unicode accidentals become ASCII, the white
// triangle becomes the delta, parentheses vanish.
constexpr std::string_view kUnicodeSharp = "\u266F";
constexpr std::string_view kUnicodeFlat = "\u266D";
constexpr std::string_view kWhiteTriangle = "\u25B3";

struct QualityTables {
  std::vector<ChordQuality> entries;  // table order; the indexes hold positions in it
  TextIndex catalogue;                // canonical symbol -> entry position
  TextIndex spellings;                // canonical symbol or alias -> entry position
  std::unordered_map<std::string, std::string> aliases;
  std::vector<ChordQuality> sorted;
  std::size_t majorTriad = 0;
};

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::unordered_map<std::string, std::string> buildAliases(
    const std::vector<ChordQuality>& entries) {
  std::unordered_map<std::string, std::string> aliases;
  aliases.reserve(2048);
  auto add = [&aliases](std::string key, const std::string& symbol) {
    aliases.emplace(std::move(key), symbol);
  };
  for (const ChordQuality& entry : entries) {
    const std::string_view symbol = entry.symbol;
    if (startsWith(symbol, "maj")) {
      const std::string_view rest = symbol.substr(3);
      for (std::string_view prefix : kMajorPrefixes) add(std::string(prefix).append(rest), entry.symbol);
      if (symbol != kMajorTriadSymbol) add(std::string(kDeltaPrefix).append(rest), entry.symbol);
    } else if (startsWith(symbol, "mM")) {
      const std::string_view rest = symbol.substr(2);
      for (std::string_view prefix : kMinorMajorPrefixes)
        add(std::string(prefix).append(rest), entry.symbol);
    } else if (startsWith(symbol, "m")) {
      const std::string_view rest = symbol.substr(1);
      for (std::string_view prefix : kMinorPrefixes) add(std::string(prefix).append(rest), entry.symbol);
    } else if (startsWith(symbol, "dim")) {
      const std::string_view rest = symbol.substr(3);
      for (std::string_view prefix : kDiminishedPrefixes)
        add(std::string(prefix).append(rest), entry.symbol);
    }
    if (const std::size_t at = symbol.find(kElevenAddThirteen); at != std::string_view::npos) {
      std::string key(symbol);
      key.replace(at, kElevenAddThirteen.size(), kThirteenAddEleven);
      add(std::move(key), entry.symbol);
    }
  }
  for (const AliasRow& row : kDashMinorMajorRows) add(row.key, row.symbol);
  add(std::string(kDeltaPrefix), std::string(kDeltaAloneSymbol));
  for (const AliasRow& row : kSingleSpellings) add(row.key, row.symbol);
  return aliases;
}

QualityTables buildTables() {
  QualityTables tables;
  tables.entries.reserve(std::size(kCatalogueRows));
  for (const CatalogueRow& row : kCatalogueRows) tables.entries.push_back({row.symbol, row.intervals});

  std::vector<TextIndex::Row> rows;
  for (std::size_t i = 0; i < tables.entries.size(); ++i)
    rows.emplace_back(tables.entries[i].symbol, static_cast<std::uint16_t>(i));
  tables.catalogue = TextIndex(rows);
  tables.majorTriad = static_cast<std::size_t>(tables.catalogue.find(kMajorTriadSymbol));

  // Aliases never equal a canonical symbol, so one index answers both questions.
  tables.aliases = buildAliases(tables.entries);
  for (const auto& [key, symbol] : tables.aliases) {
    if (const int entry = tables.catalogue.find(symbol); entry >= 0)
      rows.emplace_back(key, static_cast<std::uint16_t>(entry));
  }
  tables.spellings = TextIndex(rows);

  tables.sorted = tables.entries;
  std::sort(tables.sorted.begin(), tables.sorted.end(),
            [](const ChordQuality& a, const ChordQuality& b) { return a.symbol < b.symbol; });
  return tables;
}

const QualityTables& qualityTables() {
  static const QualityTables tables = buildTables();
  return tables;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(from, start)) != std::string_view::npos;
       start = at + from.size()) {
    result.append(text.substr(start, at - start)).append(to);
  }
  result.append(text.substr(start));
  return result;
}

// Only parentheses and the multi-byte signs starting with 0xE2 need rewriting; most
// suffixes are looked up as they are, without building a string.
bool needsRewrite(std::string_view suffix) {
  for (char c : suffix)
    if (c == '(' || c == ')' || c == '\xE2') return true;
  return false;
}

std::string rewriteSuffix(std::string_view suffix) {
  std::string key = replaceAll(suffix, kUnicodeSharp, "#");
  key = replaceAll(key, kUnicodeFlat, "b");
  key = replaceAll(key, kWhiteTriangle, kDeltaPrefix);
  key = replaceAll(key, "(", "");
  return replaceAll(key, ")", "");
}

const ChordQuality* entryAt(const QualityTables& tables, int position) {
  return position < 0 ? nullptr : &tables.entries[static_cast<std::size_t>(position)];
}

}  // namespace

const ChordQuality* findQuality(std::string_view suffix) {
  const QualityTables& tables = qualityTables();
  if (suffix.empty()) return &tables.entries[tables.majorTriad];
  if (needsRewrite(suffix)) return entryAt(tables, tables.spellings.find(rewriteSuffix(suffix)));
  return entryAt(tables, tables.spellings.find(suffix));
}

std::optional<ChordQuality> resolveQuality(std::string_view suffix) {
  if (const ChordQuality* quality = findQuality(suffix)) return *quality;
  return std::nullopt;
}

const IntervalList& qualityIntervals(std::string_view symbol) {
  const QualityTables& tables = qualityTables();
  if (const ChordQuality* entry = entryAt(tables, tables.catalogue.find(symbol)))
    return entry->intervals;
  return tables.entries[tables.majorTriad].intervals;
}

bool isCatalogueSymbol(std::string_view symbol) {
  return qualityTables().catalogue.find(symbol) >= 0;
}

bool isMinorQuality(std::string_view quality) {
  if (startsWith(quality, "-") || startsWith(quality, "min")) return true;
  return startsWith(quality, "m") && !startsWith(quality, "maj");
}

std::string_view qualityCategory(std::string_view q) {
  if (contains(q, "sus")) return "suspended";
  if (contains(q, "m7b5")) return "half-diminished";
  if (contains(q, "\u00F8")) return "half-diminished";
  if (contains(q, "dim")) return "diminished";
  if (q == "o" || q == "o7") return "diminished";
  if (contains(q, "aug")) return "augmented";
  if (contains(q, "+")) return "augmented";
  if (contains(q, "#5") && !isMinorQuality(q)) return "augmented";
  if (contains(q, "6")) return "sixth";
  if (isMinorQuality(q)) return "minor";
  const bool hasExtension =
      contains(q, "7") || contains(q, "9") || contains(q, "11") || contains(q, "13");
  const bool namesMajor = contains(q, "maj") || contains(q, "M7") || contains(q, "M9") ||
                          contains(q, "M11") || contains(q, "M13");
  const bool addedTone = contains(q, "add") && !contains(q, "11add13");
  return (!hasExtension || namesMajor || addedTone) ? "major" : "dominant";
}

const std::vector<ChordQuality>& supportedQualities() { return qualityTables().sorted; }

const std::unordered_map<std::string, std::string>& qualityAliasMap() {
  return qualityTables().aliases;
}

}  // namespace tw
