// The filters run in a fixed order, cheapest and most certain first, so each genre keeps its
// idiom:
//   1. a bare tonic in the wrong case ("I" in minor, "i" in major) never fits;
//   2. diminished and half-diminished colours are dropped where the genre avoids them
//      (pop and rock), whatever else they carry;
//   3. extended chords are judged by family: pop keeps only major-seventh and minor-seventh
//      colours, classical only the dominant and leading-tone sevenths, rock no ninths and
//      beyond, jazz prefers anything extended to plain triads;
//   4. in minor keys pop keeps only the degrees a natural-minor song uses.
#include "generation/genre_filters.hpp"

#include <array>

namespace tw {

namespace {
bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool hasDiminishedMark(std::string_view q) {
  return contains(q, "dim") || startsWith(q, "o") || contains(q, "\xC2\xB0") ||
         contains(q, "\xC3\xB8");
}

bool hasExtension(std::string_view q) {
  return contains(q, "7") || contains(q, "9") || contains(q, "11") || contains(q, "13") ||
         contains(q, "alt");
}

bool isPlainQuality(std::string_view q) {
  return q.empty() || q == "maj" || q == "min" || q == "m" || q == "-";
}

// Major-seventh and minor-seventh families: the extended colours pop keeps.
bool isPopColour(std::string_view q) {
  static constexpr std::array<std::string_view, 8> kKept{"maj7", "maj9", "m7", "m9", "min7", "min9", "-7", "add9"};
  for (auto k : kKept)
    if (q == k) return true;
  return false;
}
}  // namespace

std::string_view genreDisplayName(std::string_view genreKey) {
  for (const auto& g : kGenres)
    if (g.key == genreKey) return g.display;
  return {};
}

NumeralText splitNumeralText(std::string_view numeral) {
  std::string_view head = numeral.substr(0, numeral.find('/'));
  std::size_t pos = 0;
  while (pos < head.size()) {
    if (head[pos] == 'b' || head[pos] == '#') ++pos;
    else if (startsWith(head.substr(pos), "\xE2\x99\xAD") || startsWith(head.substr(pos), "\xE2\x99\xAF")) pos += 3;
    else break;
  }
  std::size_t letters = pos;
  while (pos < head.size() && (head[pos] == 'I' || head[pos] == 'V' || head[pos] == 'i' || head[pos] == 'v')) ++pos;
  return {head.substr(0, letters), head.substr(letters, pos - letters), head.substr(pos)};
}

bool isChromaticNumeral(std::string_view numeral) {
  return startsWith(numeral, "b") || startsWith(numeral, "#") ||
         startsWith(numeral, "\xE2\x99\xAD") || startsWith(numeral, "\xE2\x99\xAF");
}

bool genreAcceptsContinuation(std::string_view genreKey, std::string_view numeral, bool minorKey) {
  if (numeral == "I" && minorKey) return false;
  if (numeral == "i" && !minorKey) return false;
  NumeralText t = splitNumeralText(numeral);
  std::string_view q = t.quality;

  if (genreKey == "popedm") {
    if (hasDiminishedMark(q)) return false;
    if (hasExtension(q) && !isPopColour(q)) return false;
    if (minorKey) {
      if (!t.accidentals.empty()) return true;
      static constexpr std::array<std::string_view, 8> kMinorDegrees{"i", "III", "iv", "IV", "v", "V", "VI", "VII"};
      for (auto d : kMinorDegrees)
        if (t.letters == d) return true;
      return false;
    }
    return true;
  }
  if (genreKey == "rock") {
    if (hasDiminishedMark(q)) return false;
    return !(contains(q, "9") || contains(q, "11") || contains(q, "13") || contains(q, "alt"));
  }
  if (genreKey == "classical") {
    if (isPlainQuality(q) || hasDiminishedMark(q)) return true;
    // Sevenths of dominant function only: V7, and the leading-tone sevenths kept above.
    return q == "7" && (t.letters == "V" || t.letters == "v");
  }
  if (genreKey == "jazzneosoul") {
    return !isPlainQuality(q) || t.letters == "I" || t.letters == "i";
  }
  return true;
}

}  // namespace tw
