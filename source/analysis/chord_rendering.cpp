// Display fields of a voiced chord: what the user sees matches what sounds.
#include "analysis/chord_rendering.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "analysis/roman_numerals.hpp"
#include "chord/pitch_spelling.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {

namespace {

// Letter index of "A".."G" in CDEFGAB order; anything else counts as C.
int letterIndexOfLetter(char letter) {
  static constexpr std::array<int, 7> kLetterIndexAlphabetical{5, 6, 0, 1, 2, 3, 4};
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A' || letter > 'G') return 0;
  return kLetterIndexAlphabetical[static_cast<std::size_t>(letter - 'A')];
}

int chordIntervalOf(const ParsedChord& chord, PitchClass pc) {
  for (int interval : chord.intervals)
    if (reducePitchClass(chord.root + interval) == pc) return interval;
  return reducePitchClass(pc - chord.root);
}

// The label of one voiced note, spelled from the letter the chord was typed with. Unlike key
// spelling, labels show every accidental the letter needs; simplification then falls back to
// the plain table names.
std::string noteLabel(const ParsedChord& chord, int rootLetterIndex, PitchClass pc,
                      bool simplify) {
  const int step = letterStepForInterval(chordIntervalOf(chord, pc), chord.quality);
  const int letterIndex = (rootLetterIndex + step) % 7;
  int offset = pc - kNaturalPitchByLetterIndex[static_cast<std::size_t>(letterIndex)];
  while (offset > 6) offset -= 12;
  while (offset < -6) offset += 12;
  std::string label(1, kLetterOrder[letterIndex]);
  label.append(static_cast<std::size_t>(std::abs(offset)), offset < 0 ? 'b' : '#');
  if (simplify && label.size() >= 2) {
    const bool flat = label.find('b') != std::string::npos;
    return flat ? kFlatNames[static_cast<std::size_t>(pc)] : kSharpNames[static_cast<std::size_t>(pc)];
  }
  return label;
}

}  // namespace

DisplaySpelling displaySpelling(const std::optional<KeyContext>& key, std::string_view keyName,
                                const SpellingRequest& request) {
  DisplaySpelling display;
  display.key = key;
  const ResolvedSpelling spelling =
      resolveSpelling(request, key.value_or(KeyContext{}), key ? keyName : std::string_view());
  display.simplify = spelling.simplify;
  if (key || request.preference == "flats" || request.preference == "sharps")
    display.preferFlats = OptionalFlag::of(spelling.preferFlats);
  return display;
}

std::optional<ChordDisplay> chordDisplay(const ParsedChord& chord, const std::optional<KeyContext>& key,
                                         OptionalFlag preferFlats, bool simplify,
                                         const std::vector<int>& notes) {
  if (notes.empty()) return std::nullopt;

  const PitchClass root = reducePitchClass(chord.root);
  const PitchClass bass = reducePitchClass(*std::min_element(notes.begin(), notes.end()));
  const SpellingOptions options{preferFlats, OptionalFlag::of(simplify)};

  std::string bassName;
  if (key) {
    bassName = spellChordTone(*key, root, chord.quality, bass, options);
  } else {
    bassName = preferFlats.isTrue() ? kFlatNames[static_cast<std::size_t>(bass)]
                                    : kSharpNames[static_cast<std::size_t>(bass)];
  }

  const int rootLetterIndex = letterIndexOfLetter(chord.symbol.empty() ? 'C' : chord.symbol.front());
  std::vector<std::string> labels;
  labels.reserve(notes.size());
  for (int note : notes)
    labels.push_back(noteLabel(chord, rootLetterIndex, reducePitchClass(note), simplify));

  std::string shownSymbol = chord.symbol;
  if (bass != root) {
    // Only a written slash bass is cut away; the "/" inside a quality such as 6/9 stays.
    std::string_view base = chord.symbol;
    if (chord.bass) {
      const std::size_t slash = base.rfind('/');
      if (slash != std::string_view::npos) base = base.substr(0, slash);
    }
    shownSymbol = std::string(base) + "/" + bassName;
  }

  ChordDisplay display{bassName, std::move(labels), std::move(shownSymbol), std::nullopt};
  if (key) {
    AnalysisChord sounding = analysisChordOf(chord);
    sounding.root = root;
    sounding.hasBass = bass != root;
    sounding.bass = sounding.hasBass ? bass : 0;
    const RomanFlags flags{true, preferFlats.present ? preferFlats.value : keyPrefersFlats(*key)};
    display.roman = romanSlashName(*key, sounding, flags, options);
  }
  return display;
}

std::string chordNameInKey(PitchClass root, std::string_view quality,
                           std::optional<PitchClass> bass, const KeyContext& key,
                           bool preferFlats, bool simplify) {
  const SpellingOptions options{OptionalFlag::of(preferFlats), OptionalFlag::of(simplify)};
  const PitchClass reducedRoot = reducePitchClass(root);
  std::string name = spellPitchInKey(key, reducedRoot, options) + std::string(quality);
  if (bass) {
    name += '/';
    name += spellChordTone(key, reducedRoot, quality, reducePitchClass(*bass), options);
  }
  return name;
}

}  // namespace tw
