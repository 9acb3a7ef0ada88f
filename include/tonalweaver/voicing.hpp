#pragma once
// One chord turned into MIDI notes in a keyboard voicing style.
#include <string>
#include <string_view>
#include <vector>

#include "tonalweaver/result.hpp"

namespace tonalweaver {

// A voicing style of the catalogue.
struct VoicingStyle {
  std::string id{};           // what VoicingOptions::style takes
  std::string name{};
  std::string description{};
};

// The six styles: "closed", "shell", "anthem", "split", "guide-color", "velmaro".
std::vector<VoicingStyle> voicingStyles();

struct VoicingOptions {
  std::string style = "closed";  // a style id; "pop" also names anthem, "drop24" and "drop2-4" split
  int octave = 4;                // octave of the root, 0..7 (MIDI 60 is C4); clamped into range
  int octaveShift = 0;           // octaves added to `octave`, -3..4; clamped into range
  int inversion = 0;             // steps of inversion upwards; negative steps go downwards
  bool dropBass = false;         // the lowest note an octave down
};

struct ChordVoicing {
  std::vector<int> notes{};  // MIDI notes 0..127, ascending, each once
  int maxInversion = 1;      // the inversion steps that give distinct voicings of this chord
};

// Voices one chord. Fails with "Invalid chord: TEXT", "Invalid style: TEXT", or the voicer's
// own words when a style has no voicing for the chord.
//
//   tonalweaver::voiceChord("Cmaj7", {.style = "anthem", .octave = 3})->notes
Result<ChordVoicing> voiceChord(std::string_view chord, const VoicingOptions& options = {});

}  // namespace tonalweaver
