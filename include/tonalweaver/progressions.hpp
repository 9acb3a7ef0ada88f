#pragma once
// A progression of chords voiced one by one, or led smoothly from voicing to voicing.
#include <optional>
#include <string>
#include <vector>

#include "tonalweaver/key.hpp"
#include "tonalweaver/result.hpp"
#include "tonalweaver/voicing.hpp"

namespace tonalweaver {

// One chord of a progression and how to voice it.
struct Slot {
  std::string chord{};
  VoicingOptions voicing{};  // style and register; with voice leading, those of an anchor set
                             // the register and density of the chords led on from it
  bool anchor = false;       // with voice leading: keep this slot's own voicing and lead on from
                             // it (the first slot always is one)
  std::vector<int> notes{};  // a voicing of your own (MIDI notes 0..127) instead of the style's,
                             // kept as entered and moved only by the transposition; makes the
                             // slot an anchor
};

struct ProgressionOptions {
  bool voiceLeading = true;       // lead each chord smoothly from the one before it
  bool allowBassChanges = false;  // voice leading may put another chord tone in the bass of a
                                  // chord written without a slash bass
  int transpose = 0;              // semitones, -48..48 (clamped), without the register jumping
  std::optional<Key> key{};       // when given, each chord also gets its numeral in the key
  Spelling spelling{};            // of the shown symbols and note labels
};

// One voiced slot, with what a display shows of it.
struct VoicedChord {
  std::vector<int> notes{};               // MIDI notes 0..127, ascending, each once
  std::string symbol{};                   // the chord as it sounds: over the sounding bass
  std::optional<std::string> numeral{};   // in the key, when one was given
  std::vector<std::string> noteLabels{};  // a spelled name for each note
  int maxInversion = 1;                   // inversion steps that give distinct voicings
};

// Voices every slot, in slot order. Fails naming the slot whose chord, style or notes cannot
// be read, or with the voice-leading search's own words ("no legal revoicings found").
//
//   auto voiced = tonalweaver::voiceProgression({{"Dm7"}, {"G7"}, {"Cmaj7"}},
//                                               {.key = tonalweaver::Key{"C"}});
//   // notes 62 65 69 72 | 55 65 71 74 | 60 67 71 76, numerals "iim7", "V7", "Imaj7"
Result<std::vector<VoicedChord>> voiceProgression(const std::vector<Slot>& slots,
                                                 const ProgressionOptions& options = {});

}  // namespace tonalweaver
