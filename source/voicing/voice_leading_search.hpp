#pragma once
// The scoring and search half of the voice-leading solver: unary and transition scores,
// the alignment of voicings of different sizes, and the pruned beam search over the
// candidate voicings of consecutive chords. Scores are maximised.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "chord/chord_parser.hpp"
#include "voicing/pitch_class_voicer.hpp"
#include "voicing/voice_leading_rules.hpp"
#include "voicing/voice_leading_transition.hpp"

namespace tw {

// What the style rules need to know about a chord.
struct AvlChordTraits {
  PitchClass root = 0;
  std::optional<PitchClass> writtenBass;
  bool hasFifth = false;           // some interval is 6, 7 or 8 mod 12
  std::uint16_t tensionMask = 0;   // pitch classes of its b9, #9, 11, #11 and b13
};

AvlChordTraits avlChordTraits(const ParsedChord& chord);

// Empty when either voicing is empty.
AvlAlignment alignVoicings(const Voicing& a, const Voicing& b);

double unaryScore(const Voicing& voicing, const AvlChordTraits& chord, const AvlOptions& options);

// The unary score of `b` with the terms that price entering it from any voicing, summed as the
// search sums them.
double entryScore(const Voicing& b, const AvlChordTraits& chord, const AvlOptions& options);

// Every term of moving from `a` (previous chord) to `b`.
double transitionScore(const Voicing& a, const AvlChordTraits& chordA, const Voicing& b,
                       const AvlChordTraits& chordB, const AvlOptions& options);

inline constexpr std::size_t kAvlMaxCandidates = 500;
inline constexpr std::size_t kAvlBeamWidth = 160;

struct AvlSearchChord {
  std::span<const Voicing> candidates;  // not owned; generation order
  AvlChordTraits traits;
};

struct AvlSearchStats {
  std::vector<std::size_t> candidateCounts;  // per chord, after pruning
  std::size_t beamStates = 0;                // predecessor states offered, summed over chords
  std::size_t transitions = 0;               // transitions actually scored
};

// The best-scoring path, one voicing per chord. Throws std::runtime_error
// "no legal revoicings found" when a chord has no candidate.
std::vector<Voicing> searchVoicePath(std::span<const AvlSearchChord> chords,
                                     const AvlOptions& options, AvlSearchStats* stats = nullptr);

// The score the search maximises, for a given path (tests compare against it).
double pathScore(std::span<const Voicing> path, std::span<const AvlChordTraits> chords,
                 const AvlOptions& options);

}  // namespace tw
