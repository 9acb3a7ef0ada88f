// Scale degrees, diatonic chords and roman numerals in both directions.
#include "analysis/roman_numerals.hpp"

#include <cstdlib>


#include "analysis/diatonic_quality_table.hpp"
#include "analysis/roman_signs.hpp"
#include "chord/pitch_spelling.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {

namespace {

constexpr std::array<std::string_view, 7> kUpperNumerals{"I", "II", "III", "IV", "V", "VI", "VII"};
constexpr std::array<std::string_view, 7> kLowerNumerals{"i", "ii", "iii", "iv", "v", "vi", "vii"};

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string joined(std::string_view first, std::string_view second) {
  std::string text;
  text.reserve(first.size() + second.size());
  text.append(first);
  text.append(second);
  return text;
}

std::string accidentalSign(int offset) {
  if (offset == -1) return std::string(signs::kFlat);
  if (offset == 1) return std::string(signs::kSharp);
  return {};
}

// The scale degree index (0..6) and accidental of a root relative to a key: scale tones
// directly; chromatic roots either from letter names (spelled mode) or from the nearest
// scale step.
struct DegreeWithAccidental {
  int index = 0;
  std::string accidental;
};

DegreeWithAccidental degreeWithAccidental(const KeyContext& key, PitchClass root,
                                          RomanFlags flags) {
  const Scale& scale = scaleOf(key);
  const int interval = reducePitchClass(root - key.root);
  for (int k = 0; k < 7; ++k)
    if (scale[k] == interval) return {k, {}};

  if (flags.useLetters) {
    const int k = ((letterIndexOf(reducePitchClass(root), flags.preferFlats) -
                    letterIndexOf(key.root, flags.preferFlats)) % 7 + 7) % 7;
    int offset = interval - scale[k];
    if (offset >= 7) offset -= 12;
    if (offset < -6) offset += 12;
    return {k, accidentalSign(offset)};
  }

  int best = 0;
  int bestDistance = std::abs(scale[0] - interval);
  for (int k = 1; k < 7; ++k) {
    const int distance = std::abs(scale[k] - interval);
    // Ties go to the upper degree (Eb is bIII, not #II), except the tritone, which stays a
    // raised fourth.
    if (distance < bestDistance || (distance == bestDistance && interval != 6)) {
      best = k;
      bestDistance = distance;
    }
  }
  return {best, accidentalSign(interval - scale[best])};
}

// The quality written after the numeral: ø and ° for the diminished family, + for augmented,
// nothing for plain major and minor triads, the quality itself otherwise (keeping the minor
// marker of extended minor chords: iim7).
std::string romanQualitySuffix(std::string_view q) {
  if (q.empty() || q == "m" || q == "maj") return {};
  if (q == "m7b5" || contains(q, signs::kHalfDiminished)) return std::string(signs::kHalfDiminished);
  if (q == "dim") return std::string(signs::kDiminished);
  if (q == "m9b5") return joined(signs::kHalfDiminished, "9");
  if (q.starts_with("dim")) return joined(signs::kDiminished, q.substr(3));
  if (q == "+" || q == "aug") return "+";
  if (q.starts_with("aug")) return joined("+", q.substr(3));
  return std::string(q);
}

bool isAcceptedQuality(std::string_view quality) {
  return resolveQuality(quality).has_value();
}

}  // namespace

AnalysisChord analysisChordOf(const ParsedChord& chord) {
  return {chord.root, chord.quality, chord.bass.value_or(0), chord.bass.has_value()};
}

int degreeOf(const KeyContext& key, PitchClass pc) {
  const Scale& scale = scaleOf(key);
  const int interval = reducePitchClass(pc - key.root);
  for (int k = 0; k < 7; ++k)
    if (scale[k] == interval) return k + 1;
  return 0;
}

const std::array<const char*, 7>& diatonicQualityRow(const KeyContext& key, int size) {
  using namespace diatonic_table;
  const bool triad = size == 3;
  const bool ninth = size == 9;
  if (!key.minor)
    return triad ? kMajorTriads : ninth ? kMajorNinths : kMajorSevenths;
  if (key.melodic)
    return triad ? kMelodicMinorTriads : ninth ? kMelodicMinorNinths : kMelodicMinorSevenths;
  return triad ? kNaturalMinorTriads : ninth ? kNaturalMinorNinths : kNaturalMinorSevenths;
}

DiatonicChord diatonicChord(const KeyContext& key, int degree, bool seventh) {
  if (degree < 1 || degree > 7) return {key.root, {}, degree, {}};
  DiatonicChord chord;
  chord.root = reducePitchClass(key.root + scaleOf(key)[degree - 1]);
  chord.quality = diatonicQualityRow(key, seventh ? 7 : 3)[degree - 1];
  chord.degree = degree;
  chord.roman = std::string(isMinorLikeQuality(chord.quality) ? kLowerNumerals[degree - 1]
                                                              : kUpperNumerals[degree - 1]);
  if (contains(chord.quality, "dim") || contains(chord.quality, "m7b5"))
    chord.roman += signs::kDiminished;
  return chord;
}

bool isMinorLikeQuality(std::string_view q) {
  if (q.empty()) return false;
  if (q.starts_with("maj") || q.starts_with("M")) return false;
  if (q == signs::kDelta || q == std::string(signs::kDelta) + "7") return false;
  if (q.front() == 'm' || q.front() == '-') return true;
  return contains(q, "dim") || contains(q, signs::kHalfDiminished);
}

std::string romanForPitchClass(const KeyContext& key, PitchClass pc, RomanFlags flags) {
  const auto degree = degreeWithAccidental(key, pc, flags);
  return degree.accidental + std::string(kUpperNumerals[degree.index]);
}

std::string romanForChord(const KeyContext& key, const AnalysisChord& chord, RomanFlags flags) {
  const auto degree = degreeWithAccidental(key, chord.root, flags);
  const std::string_view numeral = isMinorLikeQuality(chord.quality)
                                       ? kLowerNumerals[degree.index]
                                       : kUpperNumerals[degree.index];
  std::string result = degree.accidental + std::string(numeral);
  const std::string suffix = romanQualitySuffix(chord.quality);
  if (!numeral.ends_with(suffix)) result += suffix;
  return result;
}

std::string romanSlashName(const KeyContext& key, const AnalysisChord& chord, RomanFlags flags,
                           SpellingOptions options) {
  std::string roman = romanForChord(key, chord, flags);
  if (chord.hasBass && reducePitchClass(chord.bass) != reducePitchClass(chord.root)) {
    roman += '/';
    roman += spellChordTone(key, reducePitchClass(chord.root), chord.quality,
                            reducePitchClass(chord.bass), options);
  }
  return roman;
}

std::string romanSlashNumeral(const KeyContext& key, const AnalysisChord& chord,
                              RomanFlags flags) {
  std::string roman = romanForChord(key, chord, flags);
  if (chord.hasBass && reducePitchClass(chord.bass) != reducePitchClass(chord.root)) {
    roman += '/';
    roman += romanForChord(key, AnalysisChord{chord.bass, {}, 0, false}, flags);
  }
  return roman;
}

RomanToken parseRomanNumeral(std::string_view text) {
  RomanToken token;
  std::size_t pos = 0;
  long long accidental = 0;
  while (pos < text.size()) {
    if (text.substr(pos).starts_with(signs::kFlat)) {
      --accidental;
      pos += signs::kFlat.size();
    } else if (text.substr(pos).starts_with(signs::kSharp)) {
      ++accidental;
      pos += signs::kSharp.size();
    } else if (text[pos] == 'b') {
      --accidental;
      ++pos;
    } else if (text[pos] == '#') {
      ++accidental;
      ++pos;
    } else {
      break;
    }
  }
  const std::size_t lettersStart = pos;
  bool upper = false;
  while (pos < text.size() &&
         (text[pos] == 'I' || text[pos] == 'V' || text[pos] == 'i' || text[pos] == 'v')) {
    upper = upper || text[pos] == 'I' || text[pos] == 'V';
    ++pos;
  }
  const std::string_view letters = text.substr(lettersStart, pos - lettersStart);
  for (int k = 0; k < 7; ++k) {
    if (letters == kUpperNumerals[k] || letters == kLowerNumerals[k]) {
      token.degree = k + 1;
      token.upper = upper;
      // Reduced so that absurdly long accidental runs cannot overflow later sums.
      token.accidental = static_cast<int>(accidental % 12);
      token.end = pos;
      token.valid = true;
      return token;
    }
  }
  return token;
}

RomanChord chordFromRoman(const KeyContext& key, std::string_view text) {
  RomanChord result;
  if (text.empty()) return result;

  struct AugmentedSixth {
    std::string_view name;
    std::string_view quality;
    std::string_view label;
  };
  static constexpr std::array<AugmentedSixth, 8> kAugmentedSixths{{
      {"It6", "7no5", "It+6"},
      {"It+6", "7no5", "It+6"},
      {"Fr+6", "7#11no5", "Fr+6"},
      {"Fr43", "7#11no5", "Fr+6"},
      {"Ger+6", "7", "Ger+6"},
      {"Ger65", "7", "Ger+6"},
      {"Gr+6", "7", "Ger+6"},
      {"Gr65", "7", "Ger+6"},
  }};
  for (const auto& sixth : kAugmentedSixths) {
    if (text != sixth.name) continue;
    if (!isAcceptedQuality(sixth.quality)) return result;
    result.root = reducePitchClass(key.root + 8);  // the lowered sixth degree in either mode
    result.quality = std::string(sixth.quality);
    result.label = std::string(sixth.label);
    result.valid = true;
    return result;
  }

  const std::size_t slash = text.find('/');
  const std::string_view head = slash == std::string_view::npos ? text : text.substr(0, slash);
  const std::string_view tail =
      slash == std::string_view::npos ? std::string_view{} : text.substr(slash + 1);

  const RomanToken numeral = parseRomanNumeral(head);
  if (!numeral.valid) return result;
  const Scale& scale = scaleOf(key);
  const PitchClass headRoot =
      reducePitchClass(key.root + scale[numeral.degree - 1] + numeral.accidental);

  enum class Mark { None, Diminished, HalfDiminished, Augmented };
  Mark mark = Mark::None;
  std::string_view extension = head.substr(numeral.end);
  if (extension.starts_with(signs::kDiminished)) {
    mark = Mark::Diminished;
    extension.remove_prefix(signs::kDiminished.size());
  } else if (extension.starts_with(signs::kHalfDiminished)) {
    mark = Mark::HalfDiminished;
    extension.remove_prefix(signs::kHalfDiminished.size());
  } else if (extension.starts_with('+')) {
    mark = Mark::Augmented;
    extension.remove_prefix(1);
  }

  std::string quality;
  switch (mark) {
    case Mark::Diminished:
      quality = joined("dim", extension);
      break;
    case Mark::HalfDiminished:
      if (extension.empty() || extension == "7") {
        quality = "m7b5";
      } else if (extension == "9") {
        quality = "m9b5";
      } else if (extension.front() == '7') {
        quality = joined("m7b5", extension.substr(1));
      } else if (extension.front() == '9') {
        quality = joined("m9b5", extension.substr(1));
      } else {
        return result;
      }
      break;
    case Mark::Augmented:
      quality = joined("aug", extension);
      break;
    case Mark::None:
      quality = numeral.upper ? std::string(extension) : minorizeExtension(extension);
      break;
  }
  if (!quality.empty() && !isAcceptedQuality(quality)) return result;

  // "ii/" with nothing after the slash reads as "ii".
  if (tail.empty()) {
    result.root = headRoot;
    result.quality = std::move(quality);
    result.valid = true;
    return result;
  }

  const RomanToken targetNumeral = parseRomanNumeral(tail);
  if (!targetNumeral.valid || targetNumeral.end != tail.size()) return result;
  const PitchClass target =
      reducePitchClass(key.root + scale[targetNumeral.degree - 1] + targetNumeral.accidental);

  if (numeral.degree == 5 && numeral.upper) {
    // Secondary dominant: a fifth above the target, a plain V meaning a dominant seventh.
    if (quality.empty()) {
      quality = std::string("7");
      if (!isAcceptedQuality(quality)) return result;
    }
    result.root = reducePitchClass(target + 7);
  } else if (numeral.degree == 7 && !numeral.upper &&
             (mark == Mark::Diminished || mark == Mark::HalfDiminished)) {
    // Leading-tone chord of the target.
    result.root = reducePitchClass(target + 11);
  } else {
    result.root = headRoot;
    if (target != headRoot) {
      result.bass = target;
      result.hasBass = true;
    }
  }
  result.quality = std::move(quality);
  result.valid = true;
  return result;
}

std::string minorizeExtension(std::string_view e) {
  if (e.empty()) return "m";
  if (e == "m" || e == "-") return std::string(e);
  static constexpr std::array<std::string_view, 10> kNamesItsQuality{
      "m", "min", "maj", "M", "dim", "o", signs::kHalfDiminished, "aug", "+", "sus"};
  for (std::string_view prefix : kNamesItsQuality)
    if (e.starts_with(prefix)) return std::string(e);
  if (e == "6") return "m6";
  if (e == "69") return "m69";
  if (e == "add9") return "madd9";
  if (e.front() >= '0' && e.front() <= '9') return combineQuality(e, "m7");
  return std::string(e);
}

AnalysedChord analyseChord(const KeyContext& key, const ParsedChord& chord, SpellingOptions options) {
  const PitchClass root = reducePitchClass(chord.root);
  const RomanFlags flags{true, options.preferFlats.present ? options.preferFlats.value
                                                           : keyPrefersFlats(key)};
  AnalysedChord analysed;
  analysed.root = spellPitchInKey(key, root, options);
  analysed.quality = chord.quality;
  analysed.symbol = analysed.root + chord.quality;
  if (chord.bass) {
    analysed.bass = spellChordTone(key, root, chord.quality, reducePitchClass(*chord.bass), options);
    analysed.symbol += '/';
    analysed.symbol += *analysed.bass;
  }
  analysed.category = std::string(qualityCategory(chord.quality));
  analysed.degree = degreeOf(key, root);
  analysed.roman = romanSlashName(key, analysisChordOf(chord), flags, options);
  return analysed;
}

}  // namespace tw
