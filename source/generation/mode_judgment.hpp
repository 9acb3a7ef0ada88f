#pragma once
// Judging whether a progression of roman numerals is written in a major or a minor key, and
// whether a piece whose annotation gives only its tonic is major or minor.
#include <span>
#include <string>

#include "chord/chord_parser.hpp"
#include "generation/progression_corpus.hpp"

namespace tw {

struct ModeEvidence {
  double major = 0.0;
  double minor = 0.0;
};

// Evidence from the numerals themselves: the case of the tonic weighs most; unaltered III, VI
// and VII (major) and iv, v point to minor; ii, iii, vi, IV point to major; lowered degrees
// (borrowed chords written against a major scale) lean major. The first and last numerals
// count double.
ModeEvidence modeEvidenceOfNumerals(std::span<const std::string> numerals);

// Minor when the minor evidence is larger; a tie is major. The scale type is natural: stored
// numerals are written against the natural minor scale.
ModeJudgment judgeModeOfNumerals(std::span<const std::string> numerals);

struct TimedChord {
  ParsedChord chord;
  double duration = 1.0;
};

// Major or minor for a piece whose tonic is known: the time its chords spend on the minor
// against the major third above the tonic (and the minor against the major sixth, at half
// weight), with chords on the tonic counting double.
bool judgeMinorFromChords(std::span<const TimedChord> chords, PitchClass tonic);

}  // namespace tw
