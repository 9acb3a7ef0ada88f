// Carries the extension level and the alterations of one quality onto the chord family of
// another: a ninth chord moved onto a minor-seventh degree becomes m9, a 7b9 on a degree
// whose diatonic chord is a dominant stays 7b9.
#include <array>
#include <string>
#include <string_view>

#include "analysis/roman_numerals.hpp"
#include "analysis/roman_signs.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {

namespace {

enum class Family { PlainDominant, MajorSeventh, MinorMajor, Minor, Other };

// Symbols of each family by extension level: ninth, eleventh, thirteenth, both 11 and 13.
struct FamilyForms {
  std::string_view ninth, eleventh, thirteenth, elevenAndThirteen;
};

constexpr std::array<FamilyForms, 4> kFamilyForms{{
    {"9", "11", "13", "11add13"},
    {"maj9", "maj11", "maj13", "maj11add13"},
    {"mM9", "mM11", "mM13", "mM11add13"},
    {"m9", "m11", "m13", "m11add13"},
}};

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// True when some occurrence of part is not directly preceded by any of the given bytes.
bool containsNotPrecededBy(std::string_view text, std::string_view part,
                           std::string_view excluded) {
  for (std::size_t pos = text.find(part); pos != std::string_view::npos;
       pos = text.find(part, pos + 1)) {
    if (pos == 0 || excluded.find(text[pos - 1]) == std::string_view::npos) return true;
  }
  return false;
}

Family familyOf(std::string_view t) {
  if (t == "7" || t == "9" || t == "11" || t == "13" || t == "11add13") return Family::PlainDominant;
  if (t.starts_with("mM")) return Family::MinorMajor;
  if (contains(t, "maj") || contains(t, "M7")) return Family::MajorSeventh;
  if (t.starts_with("m") && !contains(t, "maj")) return Family::Minor;
  return Family::Other;
}

int templateLevel(std::string_view t) {
  if (contains(t, "13")) return 13;
  if (contains(t, "11")) return 11;
  if (contains(t, "9")) return 9;
  return 0;
}

bool hasSeventhLevel(std::string_view t) {
  return contains(t, "7") || contains(t, "9") || contains(t, "11") || contains(t, "13");
}

bool isAccepted(std::string_view quality) { return resolveQuality(quality).has_value(); }

// Appends an alteration only when the longer symbol is still a known quality.
void appendIfAccepted(std::string& result, std::string_view alteration) {
  std::string longer = result + std::string(alteration);
  if (isAccepted(longer)) result = std::move(longer);
}

// A minor or diminished source owns its flat fifth (m7b5, m9b5, dim): that fifth is part of
// its colour, which the template's family replaces, not an alteration to carry over.
bool sourceHasAlteredFlatFifth(std::string_view source) {
  return contains(source, "b5") && !isMinorLikeQuality(source);
}

bool sourceHasSharpFifth(std::string_view source) {
  return contains(source, "#5") || contains(source, "aug") || contains(source, "+");
}

}  // namespace

std::string combineQuality(std::string_view source, std::string_view templateQuality) {
  const std::string_view t = templateQuality;
  if (contains(source, "sus")) return std::string(source);
  if (contains(t, "m7b5") || contains(t, signs::kHalfDiminished)) return std::string(t);

  const Family family = familyOf(t);
  const bool templateHasSeventh = hasSeventhLevel(t);

  const bool has13 = containsNotPrecededBy(source, "13", "#b");
  const bool has11 = containsNotPrecededBy(source, "11", "#");
  int sourceLevel = 0;
  if (has13 || has11) {
    sourceLevel = has13 ? 13 : 11;
  } else if (containsNotPrecededBy(source, "9", "#bd")) {
    sourceLevel = 9;
  }

  const bool templateMinor = family == Family::Minor || family == Family::MinorMajor ||
                             (t.starts_with("m") && !contains(t, "maj"));

  // Sixth chords keep their sixth on a triad template.
  if (!templateHasSeventh && family != Family::PlainDominant) {
    const bool sixth = containsNotPrecededBy(source, "6", "b#");
    if (sixth) {
      const bool withNinth = contains(source, "69") || contains(source, "6/9");
      if (templateMinor) return withNinth ? "m69" : "m6";
      return withNinth ? "69" : "6";
    }
  }

  std::string result(t);
  if (templateHasSeventh && family != Family::Other) {
    const FamilyForms& forms = kFamilyForms[static_cast<std::size_t>(family)];
    if (has11 && has13) {
      result = forms.elevenAndThirteen;
    } else if (sourceLevel > templateLevel(t)) {
      result = sourceLevel == 9 ? forms.ninth : sourceLevel == 11 ? forms.eleventh : forms.thirteenth;
    }
  }

  // Alterations. A jazz player keeps the tensions that colour the source chord when the
  // target chord can carry them:
  // - onto a dominant: "alt" stays altered; otherwise the altered fifth (#5 before b5, a flat
  //   fifth only when the source is not a minor/half-diminished chord that owns it), then the
  //   altered ninths (b9 and #9 both, as in 7b9#9), then #11, then b13. Each is kept only
  //   when the symbol it makes is a known quality, so "9" never becomes the impossible "9b9".
  // - onto a major-seventh, minor-major or minor seventh chord: only the #11 (the lydian and
  //   dorian colour); altered fifths and ninths belong to dominant function and are dropped.
  // - onto a triad: an added ninth when the source has a ninth (natural or added), and an
  //   added eleventh when it has an eleventh.
  if (family == Family::PlainDominant) {
    const bool plainNumber = result == "7" || result == "9" || result == "11" || result == "13";
    if (contains(source, "alt")) {
      if (plainNumber) result = "7alt";
      return result;
    }
    if (sourceHasSharpFifth(source)) {
      appendIfAccepted(result, "#5");
    } else if (sourceHasAlteredFlatFifth(source)) {
      appendIfAccepted(result, "b5");
    }
    if (contains(source, "b9")) appendIfAccepted(result, "b9");
    if (contains(source, "#9")) appendIfAccepted(result, "#9");
    if (contains(source, "#11")) appendIfAccepted(result, "#11");
    if (contains(source, "b13")) appendIfAccepted(result, "b13");
    return result;
  }
  if (templateHasSeventh) {
    if ((family == Family::MajorSeventh || family == Family::Minor ||
         family == Family::MinorMajor) &&
        contains(source, "#11"))
      appendIfAccepted(result, "#11");
    return result;
  }

  // Added tones come from the chord's actual ninth and eleventh where the quality is known
  // ("add11" has no ninth even though its text reads as an eleventh-level chord).
  const auto resolvedSource = resolveQuality(source);
  const bool sourceHasNinth = resolvedSource ? resolvedSource->intervals.contains(14)
                                             : sourceLevel >= 9 || contains(source, "add9");
  const bool sourceHasEleventh = resolvedSource ? resolvedSource->intervals.contains(17)
                                                : has11 || contains(source, "add11");
  const std::string base = result == "maj" ? std::string() : result;
  std::string combined = base;
  if (sourceHasNinth && isAccepted(base + "add9")) combined = base + "add9";
  if (sourceHasEleventh) {
    const std::string candidate = combined.ends_with("add9") ? combined + "11" : combined + "add11";
    if (isAccepted(candidate)) combined = candidate;
  }
  if (combined != base) return combined;
  return result;
}

}  // namespace tw
