#pragma once
// Chords that could come at a place in a progression.
#include <optional>
#include <string>
#include <vector>

#include "tonalweaver/key.hpp"
#include "tonalweaver/result.hpp"

namespace tonalweaver {

enum class Placement {
  Append,   // after the last chord
  Insert,   // between `previous` and `next`
  Replace,  // instead of `current`
};

// Where in which progression a chord is wanted.
struct SuggestionRequest {
  Key key{};
  std::vector<std::string> previous{};   // the chords before the place, oldest first
  std::optional<std::string> next{};     // the chord after the place, if any
  std::optional<std::string> current{};  // the chord now at the place, if any
  Placement placement = Placement::Append;
  std::string style = "closed";          // voicing style of each suggestion's notes
  int octave = 4;                        // their octave, 0..7 (clamped)
  bool dropBass = false;
  bool mergeVariants = true;             // one entry for close variants of a colour chord
  Spelling spelling{};
};

struct Suggestion {
  std::string symbol{};     // spelled in the key
  std::string family{};     // "smart" (from the continuation corpus), "diatonic",
                            // "secondary_dominant", "modal_interchange", "tritone_sub",
                            // "diminished_approach" or "chromatic_mediant"
  std::string label{};      // what it does: "V of ii", "→ V", "CT on I"...
  std::string numeral{};
  double score = 0;         // higher is better, rounded to two decimals
  std::vector<int> notes{}; // MIDI notes in the requested style
  std::string category{};   // the chord's quality category, as for Chord
  bool diatonic = false;    // every tone lies in the key
  bool current = false;     // the chord is `current`
};

// The candidates, in ranked order: at most 30 smart ones and 8 of each other family. Smart
// candidates come only while a continuation corpus is loaded (loadCorpora). Fails with
// "Invalid key root: TEXT", "Invalid chord: TEXT" or "Invalid style: TEXT".
Result<std::vector<Suggestion>> suggestNextChords(const SuggestionRequest& request);

}  // namespace tonalweaver
