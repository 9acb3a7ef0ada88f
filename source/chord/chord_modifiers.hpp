#pragma once
// Chord modifiers: a chord's quality seen as six degree slots, edited by modifier ids and
// mapped back onto a catalogue quality.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/interval_list.hpp"
#include "chord/modifier_table.hpp"
#include "chord/pitch_class.hpp"

namespace tw {

// The degree content of a chord. Slot values:
//   third      0 major, 1 minor, 2 sus2, 3 sus4
//   fifth      0 perfect, 1 flat five, 2 sharp five
//   seventh    0 none, 1 minor seventh, 2 major seventh, 3 diminished seventh
//   ninth      0 none, 1 added ninth, 2 b9, 3 b9 and #9, 4 ninth, 5 #9
//   eleventh   0 none, 1 added eleventh, 2 b11, 3 eleventh, 4 #11
//   thirteenth 0 none, 1 sixth or added thirteenth, 2 b13, 3 thirteenth
struct DegreeSelection {
  std::uint8_t third = 0;
  std::uint8_t fifth = 0;
  std::uint8_t seventh = 0;
  std::uint8_t ninth = 0;
  std::uint8_t eleventh = 0;
  std::uint8_t thirteenth = 0;
  std::optional<PitchClass> bass;

  friend bool operator==(const DegreeSelection&, const DegreeSelection&) = default;
};

// The six slot values as six decimal digits, third first: a minor seventh chord is "101000".
using SelectionKey = std::string;
SelectionKey selectionKey(const DegreeSelection& selection);

// The table row of a modifier id, or nothing for an id outside the table.
const ModifierRow* findModifier(std::string_view id);

// The word before the first '-' ("ninth" for "ninth-flat9"); nothing for "slash" and any
// id without a '-'.
std::optional<std::string_view> modifierGroup(std::string_view id);

// Degree slots derived from a quality's intervals (no bass).
DegreeSelection selectionFromIntervals(const IntervalList& intervals);

// Degree slots read from a quality's symbol text (no bass); used for the qualities whose
// intervals are not a faithful description.
DegreeSelection selectionFromSymbolText(std::string_view quality);

// The descriptor of a catalogue quality; nothing for the qualities without one and for
// symbols outside the catalogue.
std::optional<DegreeSelection> qualityDescriptor(std::string_view symbol);

// Selection key -> canonical symbol, over every quality with a descriptor.
const std::unordered_map<SelectionKey, std::string>& reverseQualityMap();

DegreeSelection decomposeQuality(const ParsedChord& chord);
DegreeSelection normaliseSelection(DegreeSelection selection);
std::optional<std::string> composeQuality(const DegreeSelection& selection);
std::vector<std::string> activeModifierIds(const DegreeSelection& selection);
std::vector<std::string> toggleModifier(const std::vector<std::string>& ids, std::string_view id);
DegreeSelection applyModifierIds(const DegreeSelection& selection,
                                 const std::vector<std::string>& ids);

// The canonical quality the chord takes under the ids; empty when no quality fits. An empty
// id list gives the chord's own quality.
std::string applyModifiers(const ParsedChord& chord, const std::vector<std::string>& ids);

struct ModifierAvailability {
  std::vector<std::string> active;
  std::vector<std::string> disabled;  // table order
};

// Which ids describe the chord and which would lead to no catalogue quality when toggled
// into the client's current list (the active ids when that list is empty).
ModifierAvailability modifierAvailability(const ParsedChord& chord,
                                          const std::vector<std::string>& selected);

}  // namespace tw
