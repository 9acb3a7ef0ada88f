#pragma once
// The auto voice-leading solver: anchors fix register and density, the voicer supplies every
// legal voicing of each chord in a window derived from the anchor, and a beam search picks
// the smoothest path between the anchors.
#include <span>
#include <string>
#include <vector>

#include "chord/chord_parser.hpp"
#include "voicing/pitch_class_voicer.hpp"
#include "voicing/voice_leading_rules.hpp"
#include "voicing/voice_leading_search.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {

// The solver works at this octave; callers move its voicings to each slot's own.
inline constexpr int kSolverOctave = 3;

struct AvlSlot {
  ParsedChord chord;
  VoicingStyle style = 0;
  int octave = 4;
  int octaveShift = 0;
  bool dropBass = false;
  int inversion = 0;
  std::vector<int> manualNotes;  // possibly empty; notes outside 0..127 are ignored
  bool autoVoiced = true;        // false: the slot is an anchor
};

struct AvlFixedChord {
  Voicing notes;
  bool fixed = false;
};

// Counters a caller may ask for (benchmarks).
struct AvlSolveStats {
  std::size_t chords = 0;
  std::size_t rawCandidates = 0;   // before pruning
  std::size_t keptCandidates = 0;  // after pruning
  std::size_t beamStates = 0;
  std::size_t transitions = 0;
};

// One voicing per slot, in slot order, all at octave 3 (the caller moves them to each slot's
// octave). An anchor gets its manual notes, sorted, whole; the search leads from their lowest
// twelve. Throws std::runtime_error with the user-visible message on failure. With `debug`,
// appends lines to this thread's debug list.
std::vector<std::vector<int>> solveProgression(std::span<const AvlSlot> slots,
                                               bool allowBassChanges, bool debug,
                                               AvlSolveStats* stats = nullptr);

// The search over one segment. `fixedChords` is empty or has one entry per chord.
// `firstIndex` numbers the chords in debug lines.
std::vector<Voicing> solveSegment(std::span<const ParsedChord> chords, const AvlOptions& options,
                                  std::span<const AvlFixedChord> fixedChords, bool debug = false,
                                  std::size_t firstIndex = 0, AvlSolveStats* stats = nullptr);

// The options of a segment opened by an anchor voicing in a style.
AvlOptions segmentOptions(const Voicing& anchor, VoicingStyle anchorStyle,
                          std::span<const ParsedChord> chords, bool allowBassChanges);

// The anchor voicing of a slot: manual notes sorted, else its style at octave 3.
std::vector<int> anchorVoicing(const AvlSlot& slot);

// This thread's debug lines: returns them and empties the list.
std::vector<std::string> takeAvlDebugLines();

}  // namespace tw
