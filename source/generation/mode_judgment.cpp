#include "generation/mode_judgment.hpp"

#include <string_view>

namespace tw {

namespace {
struct NumeralShape {
  int accidental = 0;
  int degree = 0;
  bool upper = false;
  bool diminished = false;  // "°" or "ø" after the letters
};

NumeralShape shapeOf(std::string_view text) {
  NumeralShape s;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text.substr(pos, 3) == "\xE2\x99\xAD" ) { s.accidental -= 1; pos += 3; }       // ♭
    else if (text.substr(pos, 3) == "\xE2\x99\xAF") { s.accidental += 1; pos += 3; }  // ♯
    else if (text[pos] == 'b') { s.accidental -= 1; ++pos; }
    else if (text[pos] == '#') { s.accidental += 1; ++pos; }
    else break;
  }
  std::size_t start = pos;
  while (pos < text.size() && (text[pos] == 'I' || text[pos] == 'V' || text[pos] == 'i' || text[pos] == 'v'))
    ++pos;
  std::string_view letters = text.substr(start, pos - start);
  static constexpr std::string_view kUpper[] = {"I", "II", "III", "IV", "V", "VI", "VII"};
  static constexpr std::string_view kLower[] = {"i", "ii", "iii", "iv", "v", "vi", "vii"};
  for (int d = 0; d < 7; ++d) {
    if (letters == kUpper[d]) { s.degree = d + 1; s.upper = true; }
    if (letters == kLower[d]) s.degree = d + 1;
  }
  std::string_view rest = text.substr(pos);
  s.diminished = rest.substr(0, 2) == "\xC2\xB0" || rest.substr(0, 2) == "\xC3\xB8";
  return s;
}
}  // namespace

ModeEvidence modeEvidenceOfNumerals(std::span<const std::string> numerals) {
  ModeEvidence e;
  for (std::size_t i = 0; i < numerals.size(); ++i) {
    // Only the head before a slash names the chord's function.
    std::string_view text = numerals[i];
    text = text.substr(0, text.find('/'));
    NumeralShape s = shapeOf(text);
    if (s.degree == 0) continue;
    double w = (i == 0 || i + 1 == numerals.size()) ? 2.0 : 1.0;
    if (s.accidental < 0) {
      e.major += 0.5 * w;
      continue;
    }
    if (s.accidental > 0) {
      // A raised degree is how a key's natural minor names its leading-tone chords.
      if (s.degree == 7 || s.degree == 6) e.minor += 1.0 * w;
      continue;
    }
    switch (s.degree) {
      case 1: (s.upper ? e.major : e.minor) += 3.0 * w; break;
      case 2:
        if (s.diminished) e.minor += 1.0 * w;
        else if (!s.upper) e.major += 1.0 * w;
        break;
      case 3:
      case 6: (s.upper ? e.minor : e.major) += (s.upper ? 1.5 : 1.0) * w; break;
      case 4: (s.upper ? e.major : e.minor) += 1.0 * w; break;
      case 5: if (!s.upper) e.minor += 0.5 * w; break;
      case 7:
        if (s.upper) e.minor += 1.0 * w;
        else if (s.diminished) e.major += 0.5 * w;
        break;
      default: break;
    }
  }
  return e;
}

ModeJudgment judgeModeOfNumerals(std::span<const std::string> numerals) {
  ModeEvidence e = modeEvidenceOfNumerals(numerals);
  return {e.minor > e.major, false};
}

bool judgeMinorFromChords(std::span<const TimedChord> chords, PitchClass tonic) {
  double minorThird = 0, majorThird = 0;
  for (const auto& t : chords) {
    double w = t.duration * (t.chord.root == tonic ? 2.0 : 1.0);
    bool hasMinorThird = false, hasMajorThird = false, hasMinorSixth = false, hasMajorSixth = false;
    for (int i : t.chord.intervals) {
      PitchClass pc = reducePitchClass(t.chord.root + i - tonic);
      hasMinorThird |= pc == 3;
      hasMajorThird |= pc == 4;
      hasMinorSixth |= pc == 8;
      hasMajorSixth |= pc == 9;
    }
    if (hasMinorThird) minorThird += w;
    if (hasMajorThird) majorThird += w;
    if (hasMinorSixth) minorThird += 0.5 * w;
    if (hasMajorSixth) majorThird += 0.5 * w;
  }
  return minorThird > majorThird;
}

}  // namespace tw
