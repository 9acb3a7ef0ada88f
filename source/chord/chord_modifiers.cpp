#include "chord/chord_modifiers.hpp"

#include <algorithm>
#include <array>

#include "chord/quality_catalogue.hpp"

namespace tw {

namespace {

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool listContains(const std::vector<std::string>& ids, std::string_view id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::uint8_t& slotOf(DegreeSelection& selection, DegreeSlot slot) {
  switch (slot) {
    case DegreeSlot::third: return selection.third;
    case DegreeSlot::fifth: return selection.fifth;
    case DegreeSlot::seventh: return selection.seventh;
    case DegreeSlot::ninth: return selection.ninth;
    case DegreeSlot::eleventh: return selection.eleventh;
    case DegreeSlot::thirteenth:
    case DegreeSlot::none: break;
  }
  return selection.thirteenth;
}

// A symbol "has" a degree when the number stands as a plain degree at its first occurrence,
// not as an alteration (#11, b9) or an added tone (add9, add13, add911).
bool hasDegree(std::string_view q, std::string_view degree) {
  const auto at = q.find(degree);
  if (at == std::string_view::npos) return false;
  if (at >= 1 && (q[at - 1] == '#' || q[at - 1] == 'b')) return false;
  if (at >= 3 && q.substr(at - 3, 3) == "add") return false;
  if (degree == "11" && at >= 4 && q.substr(at - 4, 4) == "add9") return false;
  return true;
}

// Score of a candidate symbol for a shared selection key; the lowest wins. Diminished
// spellings are preferred for diminished triads without a minor seventh, "m..b5" spellings
// for half-diminished ones.
int reverseMapScore(std::string_view symbol, const DegreeSelection& normalised) {
  int score = static_cast<int>(symbol.size());
  if (normalised.third == 1 && normalised.fifth == 1) {
    const bool diminished = symbol.starts_with("dim") || symbol == "o" || symbol == "o7";
    const bool minorFlatFive = symbol.starts_with("m") && contains(symbol, "b5");
    if (normalised.seventh == 1) {
      if (diminished) score += 40;
      if (minorFlatFive) score -= 10;
    } else {
      if (diminished) score -= 10;
      if (minorFlatFive) score += 40;
    }
  }
  if (symbol == "maj") score -= 5;
  return score;
}

bool isExtensionGroup(std::string_view group) {
  return group == "sixth" || group == "seventh" || group == "ninth" || group == "eleventh" ||
         group == "thirteenth";
}

const std::unordered_map<std::string, DegreeSelection>& descriptorTable() {
  static const auto table = [] {
    std::unordered_map<std::string, DegreeSelection> built;
    for (const auto& quality : supportedQualities()) {
      const bool excluded =
          std::find(kQualitiesWithoutDescriptor.begin(), kQualitiesWithoutDescriptor.end(),
                    quality.symbol) != kQualitiesWithoutDescriptor.end();
      if (!excluded) built.emplace(quality.symbol, selectionFromIntervals(quality.intervals));
    }
    return built;
  }();
  return table;
}

}  // namespace

SelectionKey selectionKey(const DegreeSelection& s) {
  SelectionKey key;
  for (int value : {s.third, s.fifth, s.seventh, s.ninth, s.eleventh, s.thirteenth})
    key += std::to_string(value);
  return key;
}

const ModifierRow* findModifier(std::string_view id) {
  for (const auto& row : modifierTable())
    if (row.id == id) return &row;
  return nullptr;
}

std::optional<std::string_view> modifierGroup(std::string_view id) {
  const auto dash = id.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  return id.substr(0, dash);
}

DegreeSelection selectionFromIntervals(const IntervalList& iv) {
  DegreeSelection s;
  auto has = [&](int interval) { return iv.contains(interval); };

  if (has(4)) s.third = 0;
  else if (has(3)) s.third = 1;
  else if (has(2)) s.third = 2;
  else if (has(5)) s.third = 3;

  if (has(7)) s.fifth = 0;
  else if (has(6)) s.fifth = 1;
  else if (has(8)) s.fifth = 2;

  const bool diminishedSeventh = has(3) && has(6) && has(9);
  if (has(10)) s.seventh = 1;
  else if (has(11)) s.seventh = 2;
  else if (diminishedSeventh) s.seventh = 3;

  const bool seventh = s.seventh != 0;
  const bool sixth = has(9) && !diminishedSeventh;
  if (has(13) && has(15)) s.ninth = 3;
  else if (has(13)) s.ninth = 2;
  else if (has(15)) s.ninth = 5;
  else if (has(14)) s.ninth = (seventh || sixth) ? 4 : 1;

  if (has(16)) s.eleventh = 2;
  else if (has(18)) s.eleventh = 4;
  else if (has(17)) s.eleventh = seventh ? 3 : 1;

  const bool anyNinth = has(13) || has(14) || has(15);
  if (has(20)) s.thirteenth = 2;
  else if (has(21)) s.thirteenth = (seventh && anyNinth) ? 3 : 1;
  else if (sixth) s.thirteenth = 1;
  return s;
}

DegreeSelection selectionFromSymbolText(std::string_view q) {
  DegreeSelection s;
  const bool dimSpelling = q == "dim" || q.starts_with("dim") || q == "o" || q == "o7";

  if (contains(q, "sus2")) s.third = 2;
  else if (contains(q, "sus")) s.third = 3;
  else if (dimSpelling || contains(q, "m7b5") || contains(q, "ø") ||
           (q.starts_with("m") && !q.starts_with("maj")) || q.starts_with("-"))
    s.third = 1;

  if (contains(q, "#5") || q == "aug" || q.starts_with("aug")) s.fifth = 2;
  else if (contains(q, "b5") || dimSpelling) s.fifth = 1;

  if (q == "o7" || q == "dim7" || q.starts_with("dim7")) {
    s.seventh = 3;
  } else if (q.starts_with("maj7") || q.starts_with("maj9") || q.starts_with("maj11") ||
             q.starts_with("maj13") || q.starts_with("mM7") || q.starts_with("mM9") ||
             q.starts_with("mM11") || q.starts_with("mM13")) {
    s.seventh = 2;
  } else if (q.starts_with("7sus") || q.starts_with("9sus") || q.starts_with("13sus") ||
             contains(q, "alt")) {
    s.seventh = 1;
  } else if (contains(q, "add911")) {
    s.seventh = 0;
  } else if (hasDegree(q, "13") || hasDegree(q, "11") || hasDegree(q, "9") ||
             hasDegree(q, "7")) {
    s.seventh = 1;
  }

  if (contains(q, "b9") && contains(q, "#9")) s.ninth = 3;
  else if (contains(q, "#9")) s.ninth = 5;
  else if (contains(q, "b9")) s.ninth = 2;
  else if (contains(q, "add9") || contains(q, "add2")) s.ninth = 1;
  else if (hasDegree(q, "9")) s.ninth = 4;

  if (contains(q, "#11")) s.eleventh = 4;
  else if (contains(q, "b11")) s.eleventh = 2;
  else if (contains(q, "add11") || contains(q, "add4") || contains(q, "add911")) s.eleventh = 1;
  else if (hasDegree(q, "11")) s.eleventh = s.seventh != 0 ? 3 : 1;

  if (contains(q, "add13") && !hasDegree(q, "11")) s.thirteenth = 1;
  else if (hasDegree(q, "6") || contains(q, "69") || contains(q, "6/9")) s.thirteenth = 1;
  else if (contains(q, "b13")) s.thirteenth = 2;
  else if (hasDegree(q, "13")) s.thirteenth = 3;
  return s;
}

std::optional<DegreeSelection> qualityDescriptor(std::string_view symbol) {
  const auto& table = descriptorTable();
  const auto it = table.find(std::string(symbol));
  if (it == table.end()) return std::nullopt;
  return it->second;
}

const std::unordered_map<SelectionKey, std::string>& reverseQualityMap() {
  static const auto map = [] {
    std::unordered_map<SelectionKey, std::string> built;
    std::unordered_map<SelectionKey, int> bestScore;
    // Sorted catalogue order makes equal scores resolve the same way on every run.
    for (const auto& quality : supportedQualities()) {
      const auto descriptor = qualityDescriptor(quality.symbol);
      if (!descriptor) continue;
      const auto normalised = normaliseSelection(*descriptor);
      const auto key = selectionKey(normalised);
      const int score = reverseMapScore(quality.symbol, normalised);
      const auto found = bestScore.find(key);
      if (found == bestScore.end() || score < found->second) {
        bestScore[key] = score;
        built[key] = quality.symbol;
      }
    }
    return built;
  }();
  return map;
}

DegreeSelection decomposeQuality(const ParsedChord& chord) {
  auto descriptor = qualityDescriptor(chord.quality);
  auto selection = descriptor ? *descriptor : selectionFromSymbolText(chord.quality);
  selection.bass = chord.bass;
  return selection;
}

DegreeSelection normaliseSelection(DegreeSelection s) {
  const auto seventh = s.seventh;
  const auto thirteenth = s.thirteenth;
  const auto eleventh = s.eleventh;

  if (seventh == 0) {
    if (thirteenth != 1) {
      // Without a seventh or sixth, upper degrees can only be added tones.
      if (s.ninth == 4) s.ninth = 1;
      else if (s.ninth == 2 || s.ninth == 3 || s.ninth == 5) s.ninth = 0;
      if (s.eleventh == 3) s.eleventh = 1;
      else if (s.eleventh == 2 || s.eleventh == 4) s.eleventh = 0;
      s.thirteenth = 0;
    } else if (s.eleventh == 3) {
      s.eleventh = 1;
    }
    return s;
  }

  if (thirteenth == 1 && s.ninth >= 2) s.thirteenth = 3;
  else if (s.ninth == 1) s.ninth = 4;
  if (s.eleventh == 1) s.eleventh = 3;
  // An eleventh or thirteenth over a seventh implies the ninth below it.
  const bool eleventhGiven = eleventh == 1 || eleventh == 3;
  if (s.ninth == 0 && (eleventhGiven || s.thirteenth == 3)) s.ninth = 4;
  return s;
}

std::optional<std::string> composeQuality(const DegreeSelection& selection) {
  const auto& map = reverseQualityMap();
  const auto it = map.find(selectionKey(normaliseSelection(selection)));
  if (it == map.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> activeModifierIds(const DegreeSelection& s) {
  static constexpr std::array<const char*, 4> thirds{"third-major", "third-minor", "third-sus2",
                                                     "third-sus4"};
  static constexpr std::array<const char*, 4> sevenths{"", "seventh-flat7", "seventh-major7",
                                                       "seventh-dim7"};
  static constexpr std::array<const char*, 6> ninths{"",          "ninth-add9",
                                                     "ninth-flat9", "ninth-flat9sharp9",
                                                     "ninth-9",   "ninth-sharp9"};
  static constexpr std::array<const char*, 5> elevenths{"", "eleventh-add11", "eleventh-flat11",
                                                        "eleventh-11", "eleventh-sharp11"};
  std::vector<std::string> ids;
  ids.emplace_back(s.third < thirds.size() ? thirds[s.third] : thirds[0]);
  ids.emplace_back(s.fifth == 1 ? "fifth-flat5" : s.fifth == 2 ? "fifth-sharp5" : "fifth-perfect");
  if (s.seventh >= 1 && s.seventh < sevenths.size()) ids.emplace_back(sevenths[s.seventh]);
  if (s.ninth >= 1 && s.ninth < ninths.size()) ids.emplace_back(ninths[s.ninth]);
  if (s.eleventh >= 1 && s.eleventh < elevenths.size()) ids.emplace_back(elevenths[s.eleventh]);
  if (s.thirteenth == 1) ids.emplace_back(s.seventh == 0 ? "sixth-6" : "thirteenth-add13");
  else if (s.thirteenth == 2) ids.emplace_back("thirteenth-flat13");
  else if (s.thirteenth == 3) ids.emplace_back("thirteenth-13");
  if (s.bass) ids.emplace_back("slash");
  return ids;
}

std::vector<std::string> toggleModifier(const std::vector<std::string>& ids, std::string_view id) {
  const auto group = modifierGroup(id);
  if (!group) return {std::string(id)};
  std::vector<std::string> result;
  for (const auto& other : ids)
    if (modifierGroup(other) != group) result.push_back(other);
  // Extensions switch off when chosen again; a third or fifth is only ever replaced.
  if (listContains(ids, id) && isExtensionGroup(*group)) return result;
  result.emplace_back(id);
  return result;
}

DegreeSelection applyModifierIds(const DegreeSelection& s, const std::vector<std::string>& ids) {
  const bool triadChanges = std::any_of(ids.begin(), ids.end(), [](const std::string& id) {
    return id.starts_with("third-") || id.starts_with("fifth-");
  });

  DegreeSelection result = s;
  // The last recognised id of each slot decides; an extension slot named only by unknown
  // ids of its group is cleared.
  std::array<bool, 6> named{};
  std::array<std::optional<std::uint8_t>, 6> chosen{};
  for (const auto& id : ids) {
    const auto group = modifierGroup(id);
    if (!group) continue;
    DegreeSlot slot = DegreeSlot::none;
    if (*group == "third") slot = DegreeSlot::third;
    else if (*group == "fifth") slot = DegreeSlot::fifth;
    else if (*group == "seventh") slot = DegreeSlot::seventh;
    else if (*group == "ninth") slot = DegreeSlot::ninth;
    else if (*group == "eleventh") slot = DegreeSlot::eleventh;
    else if (*group == "sixth" || *group == "thirteenth") slot = DegreeSlot::thirteenth;
    if (slot == DegreeSlot::none) continue;
    const auto index = static_cast<std::size_t>(slot);
    named[index] = true;
    const auto* row = findModifier(id);
    if (row && row->slot == slot) chosen[index] = row->value;
  }

  for (auto slot : {DegreeSlot::third, DegreeSlot::fifth}) {
    const auto index = static_cast<std::size_t>(slot);
    if (chosen[index]) slotOf(result, slot) = *chosen[index];
  }
  for (auto slot : {DegreeSlot::seventh, DegreeSlot::ninth, DegreeSlot::eleventh,
                    DegreeSlot::thirteenth}) {
    const auto index = static_cast<std::size_t>(slot);
    if (named[index]) slotOf(result, slot) = chosen[index].value_or(0);
    else if (triadChanges) slotOf(result, slot) = 0;
  }
  result.bass = s.bass;
  return normaliseSelection(result);
}

std::string applyModifiers(const ParsedChord& chord, const std::vector<std::string>& ids) {
  if (ids.empty()) return chord.quality;
  const auto symbol = composeQuality(applyModifierIds(decomposeQuality(chord), ids));
  if (!symbol) return {};
  if (auto resolved = resolveQuality(*symbol)) return resolved->symbol;
  return *symbol;
}

ModifierAvailability modifierAvailability(const ParsedChord& chord,
                                          const std::vector<std::string>& selected) {
  const auto base = decomposeQuality(chord);
  ModifierAvailability result;
  result.active = activeModifierIds(base);
  const auto& current = selected.empty() ? result.active : selected;

  const bool currentHasSeventh = std::any_of(current.begin(), current.end(), [](const auto& id) {
    return id.starts_with("seventh-");
  });
  const bool currentHasSixth = listContains(current, "sixth-6");

  for (const auto& row : modifierTable()) {
    if (row.id == "slash") continue;
    bool disabled = false;
    // A sixth and a seventh exclude each other in the interface.
    if (row.id == "sixth-6" && currentHasSeventh) {
      disabled = true;
    } else if (row.id.starts_with("seventh-") && currentHasSixth) {
      disabled = true;
    } else {
      const auto toggled = toggleModifier(current, row.id);
      if (toggled != current) {
        const auto applied = applyModifierIds(base, toggled);
        const auto symbol = composeQuality(applied);
        if (!symbol || !resolveQuality(*symbol)) {
          disabled = true;
        } else {
          // Allowed, unless normalisation would swallow the id so that choosing it shows
          // nothing.
          disabled = !listContains(current, row.id) &&
                     !listContains(activeModifierIds(applied), row.id);
        }
      }
    }
    if (disabled) result.disabled.emplace_back(row.id);
  }
  return result;
}

}  // namespace tw
