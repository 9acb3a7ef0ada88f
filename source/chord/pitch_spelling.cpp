#include "chord/pitch_spelling.hpp"

#include <array>
#include <cstdlib>
#include <string>
#include <tuple>

#include "chord/quality_catalogue.hpp"

namespace tw {

namespace {

// Alphabetical tables, indexed by letter - 'A'.
constexpr std::array<int, 7> kNaturalPitchByLetter{9, 11, 0, 2, 4, 5, 7};
constexpr std::array<int, 7> kLetterIndexByLetter{5, 6, 0, 1, 2, 3, 4};

// Letter index a pitch class takes when spelled with sharps and with flats.
constexpr std::array<int, 12> kSharpLetterIndex{0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
constexpr std::array<int, 12> kFlatLetterIndex{0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};

// Key roots whose major key is written with flats (Db, Eb, F, Gb, Ab, Bb).
constexpr std::array<bool, 12> kMajorKeyPrefersFlats{false, true,  false, true,  false, true,
                                                     true,  false, true,  false, true,  false};
// Only E minor and A minor take sharps by default.
constexpr std::array<bool, 12> kMinorKeyPrefersFlats{true, true, true, true, false, true,
                                                     true, true, true, false, true, true};

// Names whose letter is off by an enharmonic step, and what they become.
struct Simplification {
  std::string_view from;
  std::string_view to;
};
constexpr std::array<Simplification, 4> kSingleAccidentalSimplifications{
    {{"Fb", "E"}, {"Cb", "B"}, {"B#", "C"}, {"E#", "F"}}};
constexpr std::array<Simplification, 14> kDoubleAccidentalSimplifications{
    {{"Abb", "G"}, {"Bbb", "A"}, {"Cbb", "Bb"}, {"Dbb", "C"}, {"Ebb", "D"}, {"Fbb", "Eb"},
     {"Gbb", "F"}, {"A##", "B"}, {"B##", "C#"}, {"C##", "D"}, {"D##", "E"}, {"E##", "F#"},
     {"F##", "G"}, {"G##", "A"}}};

constexpr std::string_view kFlatsPreference = "flats";
constexpr std::string_view kSharpsPreference = "sharps";

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool isLetter(char upper) { return upper >= 'A' && upper <= 'G'; }

// Offsets beyond a double accidental are written as the bare letter.
std::string_view accidentalText(int offset) {
  switch (offset) {
    case -2: return "bb";
    case -1: return "b";
    case 1: return "#";
    case 2: return "##";
    default: return "";
  }
}

// Brings a chromatic difference into -6..6.
int centredOffset(int value) {
  int r = value % 12;
  if (r > 6) r -= 12;
  if (r < -6) r += 12;
  return r;
}

int accidentalValue(std::string_view name) {
  int value = 0;
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (name[i] == '#') ++value;
    else if (name[i] == 'b') --value;
  }
  return value;
}

bool resolvedPreference(const KeyContext& key, SpellingOptions options) {
  return options.preferFlats.present ? options.preferFlats.value : keyPrefersFlats(key);
}

NoteName finish(NoteName name, SpellingOptions options) {
  if (options.simplify.isTrue()) return simplifyNoteName(name);
  return name;
}

}  // namespace

std::optional<PitchClass> parseNoteName(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char letter = upperAscii(text[0]);
  if (!isLetter(letter)) return std::nullopt;
  long long value = kNaturalPitchByLetter[static_cast<std::size_t>(letter - 'A')];
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '#') ++value;
    else if (text[i] == 'b') --value;
    else return std::nullopt;
  }
  return reducePitchClass(value);
}

NoteName noteName(PitchClass pc, bool preferFlats) {
  const auto index = static_cast<std::size_t>(reducePitchClass(pc));
  return preferFlats ? kFlatNames[index] : kSharpNames[index];
}

int letterIndexOf(PitchClass pc, bool preferFlats) {
  if (pc < 0 || pc > 11) return 0;
  const auto index = static_cast<std::size_t>(pc);
  return preferFlats ? kFlatLetterIndex[index] : kSharpLetterIndex[index];
}

bool keyPrefersFlats(const KeyContext& key) {
  const auto root = static_cast<std::size_t>(reducePitchClass(key.root));
  return key.minor ? kMinorKeyPrefersFlats[root] : kMajorKeyPrefersFlats[root];
}

ResolvedSpelling resolveSpelling(const SpellingRequest& request, const KeyContext& key,
                                 std::string_view keyName) {
  ResolvedSpelling result;
  result.simplify = request.simplify;
  const std::string& preference = request.preference;
  if (preference == kFlatsPreference) {
    result.preferFlats = true;
  } else if (preference == kSharpsPreference) {
    result.preferFlats = false;
  } else if (keyName.size() >= 2 && keyName.find('b', 1) != std::string_view::npos) {
    result.preferFlats = true;
  } else if (keyName.find('#') != std::string_view::npos) {
    result.preferFlats = false;
  } else {
    result.preferFlats = keyPrefersFlats(key);
  }
  return result;
}

NoteName degreeNoteName(const KeyContext& key, int degree, SpellingOptions options) {
  if (degree < 1 || degree > 7) return {};
  const bool flats = resolvedPreference(key, options);
  const PitchClass root = reducePitchClass(key.root);
  const int tonicLetter = letterIndexOf(root, flats);
  const auto letter = static_cast<std::size_t>((tonicLetter + degree - 1) % 7);
  const int target = reducePitchClass(root + scaleOf(key)[static_cast<std::size_t>(degree - 1)]);
  const int offset = reducePitchClass(target - kNaturalPitchByLetterIndex[letter]);

  NoteName name(1, kLetterOrder[letter]);
  switch (offset) {
    case 1: name += "#"; break;
    case 2: name += "##"; break;
    case 10: name += "bb"; break;
    case 11: name += "b"; break;
    default: break;
  }
  return finish(std::move(name), options);
}

NoteName spellPitchInKey(const KeyContext& key, PitchClass pc, SpellingOptions options) {
  const bool flats = resolvedPreference(key, options);
  const bool explicitPreference = options.preferFlats.present;
  const SpellingOptions degreeOptions{OptionalFlag::of(flats), OptionalFlag::of(false)};
  const Scale& scale = scaleOf(key);
  const int fromTonic = reducePitchClass(static_cast<long long>(pc) - key.root);

  struct Candidate {
    NoteName text;
    int distance = 0;
    int penalty = 0;
    int size = 0;
  };
  // Lower ranks are better; with an explicit preference an exact degree match comes first.
  auto rank = [explicitPreference](const Candidate& c) {
    if (explicitPreference) return std::make_tuple(c.distance != 0, c.penalty, c.distance, c.size);
    return std::make_tuple(false, c.distance, c.penalty, c.size);
  };

  std::optional<Candidate> best;
  for (int degree = 1; degree <= 7; ++degree) {
    const NoteName degreeName = degreeNoteName(key, degree, degreeOptions);
    const int chromatic = centredOffset(fromTonic - scale[static_cast<std::size_t>(degree - 1)]);
    const int total = accidentalValue(degreeName) + chromatic;
    if (total < -2 || total > 2) continue;

    Candidate candidate;
    candidate.text = degreeName.substr(0, 1);
    candidate.text += accidentalText(total);
    candidate.distance = std::abs(chromatic);
    const bool againstPreference = (total > 0 && flats) || (total < 0 && !flats);
    candidate.penalty = againstPreference ? 2 : 0;
    candidate.size = std::abs(total);
    if (!best || rank(candidate) < rank(*best)) best = std::move(candidate);
  }

  NoteName name = best ? std::move(best->text) : noteName(pc, flats);
  return finish(std::move(name), options);
}

int letterStepForInterval(int interval, std::string_view quality) {
  const int i = interval;
  if (i % 12 == 0) return 0;
  switch (i) {
    case 1: case 2: case 13: case 14: case 15: return 1;
    case 3: case 4: return 2;
    case 5: case 16: case 17: case 18: return 3;
    case 6: case 7: case 8: case 19: return 4;
    case 9: return quality.substr(0, 3) == "dim" ? 6 : 5;
    case 20: case 21: return 5;
    case 10: case 11: case 22: case 23: return 6;
    default: break;
  }
  constexpr std::array<int, 12> kStepBySimpleInterval{0, 1, 1, 2, 2, 3, 4, 4, 4, 5, 6, 6};
  return kStepBySimpleInterval[static_cast<std::size_t>(reducePitchClass(i))];
}

NoteName spellChordTone(const KeyContext& key, PitchClass chordRoot, std::string_view quality,
                        PitchClass pc, SpellingOptions options) {
  const NoteName rootName =
      spellPitchInKey(key, chordRoot, {options.preferFlats, OptionalFlag::of(false)});
  const char rootLetter = rootName.empty() ? 'C' : upperAscii(rootName[0]);
  const int rootLetterIndex =
      isLetter(rootLetter) ? kLetterIndexByLetter[static_cast<std::size_t>(rootLetter - 'A')] : 0;

  const long long root = chordRoot;
  int interval = reducePitchClass(static_cast<long long>(pc) - root);
  for (int candidate : qualityIntervals(quality)) {
    if (reducePitchClass(root + candidate) == reducePitchClass(pc)) {
      interval = candidate;
      break;
    }
  }

  const auto letter = static_cast<std::size_t>(
      (rootLetterIndex + letterStepForInterval(interval, quality)) % 7);
  const int offset = centredOffset(reducePitchClass(pc) - kNaturalPitchByLetterIndex[letter]);
  NoteName name(1, kLetterOrder[letter]);
  name += accidentalText(offset);
  return finish(std::move(name), options);
}

NoteName simplifyNoteName(std::string_view name) {
  if (name.size() == 2) {
    for (const Simplification& rule : kSingleAccidentalSimplifications)
      if (rule.from == name) return NoteName(rule.to);
  } else if (name.size() == 3) {
    for (const Simplification& rule : kDoubleAccidentalSimplifications)
      if (rule.from == name) return NoteName(rule.to);
  }
  return NoteName(name);
}

}  // namespace tw
