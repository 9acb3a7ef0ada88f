#pragma once
// Keys and the spelling of note names in them.
#include <string>

namespace tonalweaver {

enum class Mode {
  Major,
  Minor,         // natural minor
  MelodicMinor,  // melodic minor (its raised sixth and seventh shape the diatonic chords)
};

// A key: a tonic as written ("Eb", "F#", "c") and a mode. The tonic's own spelling counts: a
// key written "Gb" names its chords with flats, "F#" with sharps.
struct Key {
  std::string tonic = "C";
  Mode mode = Mode::Major;
};

enum class Accidentals {
  FromKey,  // the key's name and its place on the circle of fifths decide
  Flats,
  Sharps,
};

// How note names are spelled in results that name notes in a key.
struct Spelling {
  Accidentals accidentals = Accidentals::FromKey;
  bool simplify = true;  // awkward names made plain: Fb -> E, Cbb -> Bb, B## -> C#
};

}  // namespace tonalweaver
