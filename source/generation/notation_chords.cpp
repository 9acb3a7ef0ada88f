#include "generation/notation_chords.hpp"

#include <algorithm>
#include <map>

#include "chord/pitch_spelling.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {

namespace {

// The tones of a chord named by a numeral, as intervals above its root.
struct ChordShape {
  int rootOffset = 0;  // above the key tonic
  int third = 4;       // 3, 4, or 5 for a suspended fourth
  int fifth = 7;       // 6, 7 or 8
  int seventh = -1;    // 9, 10, 11, or -1 for none
  int ninth = -1;      // 13, 14, 15, or -1
  std::vector<int> added;
  int inversion = 0;   // 0 root position, 1 third, 2 fifth, 3 seventh in the bass
};

std::vector<int> shapeIntervals(const ChordShape& s) {
  std::vector<int> v{0, s.third, s.fifth};
  if (s.seventh >= 0) v.push_back(s.seventh);
  if (s.ninth >= 0) v.push_back(s.ninth);
  v.insert(v.end(), s.added.begin(), s.added.end());
  return v;
}

NotationChord failed(std::string why) { return {std::nullopt, std::move(why)}; }

NotationChord chordFromShape(const ChordShape& s, PitchClass tonic, bool preferFlats) {
  PitchClass root = reducePitchClass(tonic + s.rootOffset);
  std::optional<PitchClass> bass;
  switch (s.inversion) {
    case 1: bass = reducePitchClass(root + s.third); break;
    case 2: bass = reducePitchClass(root + s.fifth); break;
    case 3:
      if (s.seventh < 0) return failed("third inversion without a seventh");
      bass = reducePitchClass(root + s.seventh);
      break;
    default: break;
  }
  return chordFromTones(root, shapeIntervals(s), bass, preferFlats);
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string withoutBrackets(std::string_view text) {
  std::string out;
  int depth = 0;
  for (char c : text) {
    if (c == '[') ++depth;
    else if (c == ']') depth = depth > 0 ? depth - 1 : 0;
    else if (depth == 0) out.push_back(c);
  }
  return out;
}

// Accidentals and roman letters at the cursor.
struct NumeralHead {
  int accidental = 0;
  int degree = 0;  // 1..7, 0 when the letters are no numeral
  bool upper = false;
};

NumeralHead readNumeralHead(std::string_view text, std::size_t& pos, bool dashIsFlat) {
  NumeralHead h;
  while (pos < text.size() &&
         (text[pos] == 'b' || text[pos] == '#' || (dashIsFlat && text[pos] == '-'))) {
    h.accidental += text[pos] == '#' ? 1 : -1;
    ++pos;
  }
  std::size_t start = pos;
  while (pos < text.size() && (text[pos] == 'I' || text[pos] == 'V' || text[pos] == 'i' ||
                               text[pos] == 'v'))
    ++pos;
  std::string_view letters = text.substr(start, pos - start);
  static constexpr std::array<std::string_view, 7> kUpper{"I", "II", "III", "IV", "V", "VI", "VII"};
  static constexpr std::array<std::string_view, 7> kLower{"i", "ii", "iii", "iv", "v", "vi", "vii"};
  for (int d = 0; d < 7; ++d) {
    if (letters == kUpper[static_cast<std::size_t>(d)]) {
      h.degree = d + 1;
      h.upper = true;
    } else if (letters == kLower[static_cast<std::size_t>(d)]) {
      h.degree = d + 1;
    }
  }
  return h;
}

std::string readFigure(std::string_view text, std::size_t& pos) {
  std::string digits;
  while (pos < text.size()) {
    char c = text[pos];
    if (c >= '0' && c <= '9') {
      digits.push_back(c);
      ++pos;
    } else if (c == '/' && !digits.empty() && pos + 1 < text.size() && text[pos + 1] >= '0' &&
               text[pos + 1] <= '9') {
      ++pos;  // "6/5" is the figure 65
    } else {
      break;
    }
  }
  return digits;
}

int interval(int fromOffset, int toOffset) { return reducePitchClass(toOffset - fromOffset); }

// ---- RomanText -------------------------------------------------------------------------

// Offset of a degree above the tonic: in minor, lower-case vi and vii are the raised degrees
// and a sharp on them is only cautionary.
int romanTextDegreeOffset(const KeyContext& key, const NumeralHead& h) {
  const Scale& scale = key.minor ? kNaturalMinorScale : kMajorScale;
  int offset = scale[static_cast<std::size_t>(h.degree - 1)];
  int accidental = h.accidental;
  if (key.minor && !h.upper && (h.degree == 6 || h.degree == 7)) {
    offset += 1;
    if (accidental > 0) accidental = 0;
  }
  return offset + accidental;
}

struct FigureMeaning {
  bool seventh = false;
  bool ninth = false;
  int inversion = 0;
  bool known = true;
};

FigureMeaning figureMeaning(const std::string& f) {
  static const std::map<std::string, FigureMeaning> kFigures{
      {"", {false, false, 0, true}},    {"5", {false, false, 0, true}},
      {"53", {false, false, 0, true}},  {"54", {false, false, 0, true}},
      {"6", {false, false, 1, true}},   {"63", {false, false, 1, true}},
      {"64", {false, false, 2, true}},  {"7", {true, false, 0, true}},
      {"75", {true, false, 0, true}},   {"73", {true, false, 0, true}},
      {"753", {true, false, 0, true}},  {"65", {true, false, 1, true}},
      {"653", {true, false, 1, true}},  {"43", {true, false, 2, true}},
      {"643", {true, false, 2, true}},  {"42", {true, false, 3, true}},
      {"642", {true, false, 3, true}},  {"2", {true, false, 3, true}},
      {"9", {true, true, 0, true}}};
  auto it = kFigures.find(f);
  if (it == kFigures.end()) return {false, false, 0, false};
  return it->second;
}

struct RomanTextMarks {
  bool diminished = false;
  bool halfDiminished = false;
  bool augmented = false;
  bool majorSeventh = false;
};

RomanTextMarks readRomanTextMarks(std::string_view text, std::size_t& pos) {
  RomanTextMarks m;
  for (bool progress = true; progress && pos < text.size();) {
    progress = false;
    if (text[pos] == 'o') {
      m.diminished = true;
      ++pos;
      progress = true;
    } else if (startsWith(text.substr(pos), "\xC3\xB8")) {  // ø
      m.halfDiminished = true;
      pos += 2;
      progress = true;
    } else if (startsWith(text.substr(pos), "/o")) {
      m.halfDiminished = true;
      pos += 2;
      progress = true;
    } else if (text[pos] == '+') {
      m.augmented = true;
      ++pos;
      progress = true;
    } else if (startsWith(text.substr(pos), "maj")) {
      m.majorSeventh = true;
      pos += 3;
      progress = true;
    } else if (text[pos] == 'M') {
      m.majorSeventh = true;
      ++pos;
      progress = true;
    }
  }
  return m;
}

// The key a chain of applied targets ("V/ii/V": ii of V) leads to, read right to left.
bool applyRomanTextChain(std::string_view chain, KeyContext& key) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= chain.size(); ++i) {
    if (i == chain.size() || chain[i] == '/') {
      parts.push_back(chain.substr(start, i - start));
      start = i + 1;
    }
  }
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
    std::string_view part = *it;
    NumeralHead h;
    std::size_t pos = 0;
    if (part == "N") {
      h = {-1, 2, true};
      pos = 1;
    } else {
      h = readNumeralHead(part, pos, true);
    }
    if (h.degree == 0 || pos != part.size()) return false;
    key = KeyContext{reducePitchClass(key.root + romanTextDegreeOffset(key, h)), !h.upper, false};
  }
  return true;
}

}  // namespace

std::optional<std::string> catalogueSymbolForIntervals(const std::vector<int>& intervals) {
  static const std::map<std::vector<int>, std::string> kByIntervals = [] {
    std::map<std::vector<int>, std::string> m;
    for (const auto& q : supportedQualities()) {
      auto key = q.intervals.toVector();
      auto it = m.find(key);
      if (it == m.end() || q.symbol.size() < it->second.size()) m[key] = q.symbol;
    }
    return m;
  }();
  auto it = kByIntervals.find(intervals);
  if (it == kByIntervals.end()) return std::nullopt;
  return it->second;
}

NotationChord chordFromTones(PitchClass root, std::vector<int> intervals,
                             std::optional<PitchClass> bass, bool preferFlats) {
  std::sort(intervals.begin(), intervals.end());
  intervals.erase(std::unique(intervals.begin(), intervals.end()), intervals.end());
  auto symbol = catalogueSymbolForIntervals(intervals);
  if (!symbol) {
    std::string tones;
    for (int i : intervals) tones += (tones.empty() ? "" : " ") + std::to_string(i);
    return failed("no catalogue quality holds the tones " + tones);
  }
  std::string text = noteName(root, preferFlats) + *symbol;
  if (bass && *bass != root) text += "/" + noteName(*bass, preferFlats);
  auto chord = parseChordSymbol(text);
  if (!chord) return failed("the chord parser rejects " + text);
  return {std::move(chord), {}};
}

NotationChord chordFromRomanText(std::string_view numeral, const KeyContext& key) {
  std::string text = withoutBrackets(numeral);
  std::string_view t = text;
  if (t.empty()) return failed("empty numeral");
  bool preferFlats = keyPrefersFlats(key);

  // Split the head from its applied chain (figures such as 6/5 and the mark /o hold slashes).
  std::size_t pos = 0;
  enum class Special { none, cadential, italian, french, german, neapolitan } special = Special::none;
  if (startsWith(t, "Cad")) { special = Special::cadential; pos = 3; }
  else if (startsWith(t, "It")) { special = Special::italian; pos = 2; }
  else if (startsWith(t, "Fr")) { special = Special::french; pos = 2; }
  else if (startsWith(t, "Ger")) { special = Special::german; pos = 3; }
  else if (startsWith(t, "N") && !startsWith(t, "No")) { special = Special::neapolitan; pos = 1; }

  NumeralHead head;
  RomanTextMarks marks;
  if (special == Special::none) {
    head = readNumeralHead(t, pos, true);
    if (head.degree == 0) return failed("not a numeral");
    marks = readRomanTextMarks(t, pos);
  } else if (special == Special::italian || special == Special::german) {
    if (pos < t.size() && t[pos] == '+') ++pos;
  }
  std::string figure = readFigure(t, pos);
  KeyContext local = key;
  if (pos < t.size()) {
    if (t[pos] != '/' || !applyRomanTextChain(t.substr(pos + 1), local))
      return failed("unreadable applied chord");
  }

  ChordShape s;
  switch (special) {
    case Special::italian:
    case Special::french:
    case Special::german: {
      s.rootOffset = 8;  // the lowered sixth degree, whatever the mode
      if (special == Special::italian) return chordFromTones(reducePitchClass(local.root + 8), {0, 4, 10}, std::nullopt, true);
      if (special == Special::french) return chordFromTones(reducePitchClass(local.root + 8), {0, 4, 6, 10}, std::nullopt, true);
      return chordFromTones(reducePitchClass(local.root + 8), {0, 4, 7, 10}, std::nullopt, true);
    }
    case Special::cadential:
      if (figure != "64") return failed("cadential chord without 64");
      head = {0, 1, !local.minor};
      break;
    case Special::neapolitan:
      head = {-1, 2, true};
      break;
    case Special::none: break;
  }

  FigureMeaning f = figureMeaning(figure);
  if (!f.known) return failed("figure " + figure);
  s.rootOffset = romanTextDegreeOffset(local, head);
  if (marks.diminished || marks.halfDiminished) {
    s.third = 3;
    s.fifth = 6;
  } else {
    s.third = head.upper || marks.augmented ? 4 : 3;
    s.fifth = marks.augmented ? 8 : 7;
  }
  bool seventh = f.seventh || marks.halfDiminished || marks.majorSeventh;
  if (seventh) {
    if (marks.diminished) s.seventh = 9;
    else if (marks.halfDiminished) s.seventh = 10;
    else if (marks.majorSeventh) s.seventh = 11;
    else {
      // Sevenths are diatonic to the key the chord stands in.
      const Scale& scale = local.minor ? kNaturalMinorScale : kMajorScale;
      int tone = scale[static_cast<std::size_t>((head.degree - 1 + 6) % 7)];
      s.seventh = interval(s.rootOffset, tone);
      if (s.seventh < 9) s.seventh = 10;
    }
  }
  if (f.ninth) {
    const Scale& scale = local.minor ? kNaturalMinorScale : kMajorScale;
    int tone = scale[static_cast<std::size_t>((head.degree - 1 + 8) % 7)];
    s.ninth = interval(s.rootOffset, tone) + 12;
  }
  s.inversion = f.inversion;
  return chordFromShape(s, local.root, preferFlats);
}

NotationChord chordFromRockNumeral(std::string_view numeral, PitchClass tonic) {
  std::string_view t = numeral;
  std::size_t pos = 0;
  NumeralHead head = readNumeralHead(t, pos, false);
  if (head.degree == 0) return failed("not a numeral");
  bool diminished = false, diminishedSeventh = false, halfDiminished = false, augmented = false,
       dominant = false, sus4 = false, flatFive = false;
  std::string figure;
  std::vector<int> added;
  while (pos < t.size() && t[pos] != '/') {
    char c = t[pos];
    if (c == 'x') { diminished = diminishedSeventh = true; ++pos; }
    else if (c == 'o') { diminished = true; ++pos; }
    else if (c == 'h') { halfDiminished = true; ++pos; }
    else if (c == 'a') { augmented = true; ++pos; }
    else if (c == 'd') { dominant = true; ++pos; }
    else if (c == 's' && pos + 1 < t.size() && t[pos + 1] == '4') { sus4 = true; pos += 2; }
    else if (c >= '0' && c <= '9') {
      while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') figure.push_back(t[pos++]);
    } else if (c == '#' || c == 'b') {
      std::string digits;
      ++pos;
      while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') digits.push_back(t[pos++]);
      if (c == '#' && digits == "9") added.push_back(15);
      else if (c == 'b' && digits == "9") added.push_back(13);
      else if (c == 'b' && digits == "5") flatFive = true;
      else if (c == '#' && digits == "11") added.push_back(18);
      else return failed(std::string("alteration ") + c + digits);
    } else {
      return failed(std::string("mark ") + c);
    }
  }
  PitchClass localTonic = tonic;
  if (pos < t.size()) {
    std::string_view chain = t.substr(pos + 1);
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= chain.size(); ++i)
      if (i == chain.size() || chain[i] == '/') {
        parts.push_back(chain.substr(start, i - start));
        start = i + 1;
      }
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
      std::size_t p = 0;
      NumeralHead target = readNumeralHead(*it, p, false);
      if (target.degree == 0 || p != it->size()) return failed("unreadable applied chord");
      localTonic = reducePitchClass(localTonic + kMajorScale[static_cast<std::size_t>(target.degree - 1)] +
                                    target.accidental);
    }
  }

  ChordShape s;
  const std::size_t d = static_cast<std::size_t>(head.degree - 1);
  s.rootOffset = kMajorScale[d] + head.accidental;
  bool seventh = false, ninth = false;
  if (figure.empty() || figure == "5") {
  } else if (figure == "6") s.inversion = 1;
  else if (figure == "64") s.inversion = 2;
  else if (figure == "7") seventh = true;
  else if (figure == "65") { seventh = true; s.inversion = 1; }
  else if (figure == "43") { seventh = true; s.inversion = 2; }
  else if (figure == "42") { seventh = true; s.inversion = 3; }
  else if (figure == "9") seventh = ninth = true;
  else if (figure == "11") { seventh = ninth = sus4 = true; }  // the authors' 11: a 9sus4 sound
  else return failed("figure " + figure);
  if (dominant || diminishedSeventh || halfDiminished) seventh = true;

  if (diminished || halfDiminished) {
    s.third = 3;
    s.fifth = 6;
  } else {
    s.third = head.upper ? 4 : 3;
    s.fifth = augmented ? 8 : 7;
  }
  if (flatFive) s.fifth = 6;
  if (sus4) s.third = 5;
  if (seventh) {
    if (diminishedSeventh) s.seventh = 9;
    else if (halfDiminished || dominant) s.seventh = 10;
    else {
      // "7" is the seventh of the tonic's major scale; minor chords keep a minor seventh.
      s.seventh = interval(s.rootOffset, kMajorScale[(d + 6) % 7]);
      if (!head.upper && s.seventh == 11) s.seventh = 10;
      if (s.seventh < 9) s.seventh = 10;
    }
  }
  if (ninth) s.ninth = interval(s.rootOffset, kMajorScale[(d + 8) % 7]) + 12;
  s.added = added;
  return chordFromShape(s, localTonic, keyPrefersFlats(KeyContext{tonic, false, false}));
}

namespace {
// A Harte degree ("b7", "#11", "9") as semitones above the root.
std::optional<int> harteDegree(std::string_view text) {
  int accidental = 0;
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == 'b' || text[pos] == '#')) {
    accidental += text[pos] == '#' ? 1 : -1;
    ++pos;
  }
  if (pos == text.size() || text.size() - pos > 2) return std::nullopt;
  int number = 0;
  for (; pos < text.size(); ++pos) {
    if (text[pos] < '0' || text[pos] > '9') return std::nullopt;
    number = number * 10 + (text[pos] - '0');
  }
  static constexpr std::array<int, 14> kSemitones{-1, 0, 2, 4, 5, 7, 9, 11, 12, 14, 16, 17, 19, 21};
  if (number < 1 || number > 13) return std::nullopt;
  return kSemitones[static_cast<std::size_t>(number)] + accidental;
}

const std::map<std::string, std::vector<int>, std::less<>>& harteShorthands() {
  static const std::map<std::string, std::vector<int>, std::less<>> kShorthands{
      {"maj", {0, 4, 7}},           {"min", {0, 3, 7}},          {"dim", {0, 3, 6}},
      {"aug", {0, 4, 8}},           {"maj7", {0, 4, 7, 11}},     {"min7", {0, 3, 7, 10}},
      {"7", {0, 4, 7, 10}},         {"dim7", {0, 3, 6, 9}},      {"hdim7", {0, 3, 6, 10}},
      {"minmaj7", {0, 3, 7, 11}},   {"maj6", {0, 4, 7, 9}},      {"min6", {0, 3, 7, 9}},
      {"9", {0, 4, 7, 10, 14}},     {"maj9", {0, 4, 7, 11, 14}}, {"min9", {0, 3, 7, 10, 14}},
      {"11", {0, 4, 7, 10, 14, 17}}, {"min11", {0, 3, 7, 10, 14, 17}},
      {"13", {0, 4, 7, 10, 14, 21}}, {"maj13", {0, 4, 7, 11, 14, 21}},
      {"min13", {0, 3, 7, 10, 14, 21}}, {"sus2", {0, 2, 7}},     {"sus4", {0, 5, 7}},
      {"5", {0, 7}},                {"1", {0}}};
  return kShorthands;
}
}  // namespace

NotationChord chordFromHarte(std::string_view symbol) {
  std::size_t colon = symbol.find(':');
  std::string_view rootText = symbol.substr(0, colon == std::string_view::npos ? symbol.size() : colon);
  std::string_view rest = colon == std::string_view::npos ? std::string_view{} : symbol.substr(colon + 1);
  std::string_view bassText;
  if (colon == std::string_view::npos) {
    std::size_t slash = rootText.find('/');
    if (slash != std::string_view::npos) {
      bassText = rootText.substr(slash + 1);
      rootText = rootText.substr(0, slash);
    }
  } else if (std::size_t slash = rest.find('/'); slash != std::string_view::npos) {
    bassText = rest.substr(slash + 1);
    rest = rest.substr(0, slash);
  }
  auto root = parseNoteName(rootText);
  if (!root) return failed("root " + std::string(rootText));

  std::string_view shorthand = rest;
  std::string_view extras;
  if (std::size_t open = rest.find('('); open != std::string_view::npos) {
    if (rest.back() != ')') return failed("unclosed degree list");
    shorthand = rest.substr(0, open);
    extras = rest.substr(open + 1, rest.size() - open - 2);
  }
  std::vector<int> tones;
  if (shorthand.empty()) {
    tones = extras.empty() ? std::vector<int>{0, 4, 7} : std::vector<int>{0};
  } else {
    auto it = harteShorthands().find(shorthand);
    if (it == harteShorthands().end()) return failed("quality " + std::string(shorthand));
    tones = it->second;
  }
  std::size_t start = 0;
  while (start < extras.size()) {
    std::size_t comma = extras.find(',', start);
    std::string_view item = extras.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    start = comma == std::string_view::npos ? extras.size() : comma + 1;
    bool omit = !item.empty() && item.front() == '*';
    auto degree = harteDegree(omit ? item.substr(1) : item);
    if (!degree) return failed("degree " + std::string(item));
    if (omit) std::erase(tones, *degree);
    else tones.push_back(*degree);
  }
  std::optional<PitchClass> bass;
  if (!bassText.empty()) {
    auto degree = harteDegree(bassText);
    if (!degree) return failed("bass " + std::string(bassText));
    bass = reducePitchClass(*root + *degree);
  }
  if (tones.size() < 2) return failed("a single tone is no chord");
  return chordFromTones(*root, tones, bass, rootText.find('b') != std::string_view::npos);
}

}  // namespace tw
