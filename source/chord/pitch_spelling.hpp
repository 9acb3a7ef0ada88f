#pragma once
// Note-name parsing and the spelling rules that name a pitch class in a key or a chord.
#include <optional>
#include <string>
#include <string_view>

#include "chord/key_context.hpp"
#include "chord/pitch_class.hpp"

namespace tw {

// Reads a plain note name ("C#", "bb", "Dbbb"); the first letter may be lower case.
std::optional<PitchClass> parseNoteName(std::string_view text);

// Flat or sharp table name of a pitch class.
NoteName noteName(PitchClass pc, bool preferFlats);

// The letter (0..6 in CDEFGAB order) a pitch class takes; black keys follow the preference.
int letterIndexOf(PitchClass pc, bool preferFlats);

// The key's default flat preference when a request states none.
bool keyPrefersFlats(const KeyContext& key);

struct ResolvedSpelling {
  bool preferFlats = false;
  bool simplify = true;

  SpellingOptions options() const {
    return {OptionalFlag::of(preferFlats), OptionalFlag::of(simplify)};
  }
};

// What a request asks of the spelling: simplify accidentals or not, and "flats", "sharps" or
// anything else (by the key).
struct SpellingRequest {
  bool simplify = true;
  std::string preference = "fifths";
};

// The spelling for a request in a key: flats or sharps as asked; otherwise a flat or sharp
// written in the key's name decides, and else the key's own preference.
ResolvedSpelling resolveSpelling(const SpellingRequest& request, const KeyContext& key,
                                 std::string_view keyName);

// Name of scale degree 1..7 of a key; empty outside 1..7.
NoteName degreeNoteName(const KeyContext& key, int degree, SpellingOptions options);

// The name a pitch class takes in a key (chord roots, basses, key names).
NoteName spellPitchInKey(const KeyContext& key, PitchClass pc, SpellingOptions options);

// The name a pitch class takes as a tone of the chord (root, canonical quality symbol).
NoteName spellChordTone(const KeyContext& key, PitchClass chordRoot, std::string_view quality,
                        PitchClass pc, SpellingOptions options);

// Enharmonic simplification of awkward names (Fb -> E, Cbb -> Bb, B## -> C#).
NoteName simplifyNoteName(std::string_view name);

// Letter step above the root for a chord interval (shared by chord-tone spelling and labels).
int letterStepForInterval(int interval, std::string_view quality);

}  // namespace tw
