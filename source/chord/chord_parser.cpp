#include "chord/chord_parser.hpp"

#include "chord/pitch_spelling.hpp"

namespace tw {

namespace {

constexpr std::string_view kBarLine = "|";

// Space, tab, line feed, vertical tab, form feed and carriage return.
constexpr bool isWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view trimWhiteSpace(std::string_view text) {
  while (!text.empty() && isWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool isRootLetter(char c) { return (c >= 'A' && c <= 'G') || (c >= 'a' && c <= 'g'); }

void appendNames(std::string& out, const ParsedChord& chord, bool preferFlats) {
  out += noteName(chord.root, preferFlats);
  out += chord.quality;
  if (chord.bass) {
    out += '/';
    out += noteName(*chord.bass, preferFlats);
  }
}

}  // namespace

RootToken splitRootToken(std::string_view text) {
  RootToken result;
  result.rest = text;
  if (text.empty() || !isRootLetter(text[0])) return result;

  std::size_t length = 1;
  if (text.size() > 1 && (text[1] == 'b' || text[1] == '#')) {
    const char accidental = text[1];
    while (length < text.size() && text[length] == accidental) ++length;
  }
  result.token = text.substr(0, length);
  result.rest = text.substr(length);
  result.root = parseNoteName(result.token);
  return result;
}

std::optional<ParsedChord> parseChordSymbol(std::string_view text) {
  const std::string_view symbol = trimWhiteSpace(text);
  if (symbol.empty() || symbol == kBarLine) return std::nullopt;

  const RootToken root = splitRootToken(symbol);
  if (!root.root) return std::nullopt;

  const ChordQuality* quality = findQuality(root.rest);
  std::optional<PitchClass> bass;
  if (!quality) {
    // Only when the whole suffix is no quality does a slash introduce a bass note, so
    // 6/9 and m/M7 stay qualities.
    const std::size_t slash = root.rest.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view bassText = root.rest.substr(slash + 1);
    if (bassText.empty()) return std::nullopt;
    quality = findQuality(root.rest.substr(0, slash));
    if (!quality) return std::nullopt;
    const RootToken bassToken = splitRootToken(bassText);
    if (!bassToken.root || !bassToken.rest.empty()) return std::nullopt;
    bass = bassToken.root;
  }

  ParsedChord chord;
  chord.root = *root.root;
  chord.quality = quality->symbol;
  chord.intervals = quality->intervals;
  chord.bass = bass;
  chord.symbol = symbol;
  return chord;
}

ParsedChord makeParsedChord(PitchClass root, const ChordQuality& quality,
                            std::optional<PitchClass> bass, std::string symbol) {
  ParsedChord chord;
  chord.root = reducePitchClass(root);
  chord.quality = quality.symbol;
  chord.intervals = quality.intervals;
  if (bass) chord.bass = reducePitchClass(*bass);
  if (symbol.empty()) {
    appendNames(symbol, chord, false);
  }
  chord.symbol = std::move(symbol);
  return chord;
}

std::string chordSymbolText(const ParsedChord& chord, bool preferFlats) {
  std::string text;
  appendNames(text, chord, preferFlats);
  return text;
}

namespace {

// The text's first character and the run of '#' or 'b' right after it.
std::string_view leadingAccidentalRun(std::string_view text) {
  std::size_t length = text.empty() ? 0 : 1;
  if (text.size() > 1 && (text[1] == 'b' || text[1] == '#'))
    while (length < text.size() && text[length] == text[1]) ++length;
  return text.substr(0, length);
}

}  // namespace

bool sentSymbolPrefersFlats(const ParsedChord& chord, std::string_view sentText) {
  const std::string_view token = leadingAccidentalRun(sentText);
  if (token.find('b') != std::string_view::npos) return true;
  if (token.find('#') != std::string_view::npos) return false;
  return chord.intervals.contains(6) && !chord.intervals.contains(7);
}

std::vector<PitchClass> chordPitchClasses(const ParsedChord& chord) {
  std::vector<PitchClass> pitchClasses;
  pitchClasses.reserve(chord.intervals.size());
  for (int interval : chord.intervals)
    pitchClasses.push_back(reducePitchClass(static_cast<long long>(chord.root) + interval));
  return pitchClasses;
}

}  // namespace tw
