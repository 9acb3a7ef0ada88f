#pragma once
// Naming the key a progression is most likely in: all 36 keys (12 tonics; major, natural
// minor, melodic minor) scored by a hand-tuned heuristic.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"
#include "chord/pitch_class.hpp"

namespace tw {

struct KeyInputChord {
  PitchClass root = 0;
  std::string quality;
  PitchClass bass = 0;
  bool hasBass = false;
  double weight = 1.0;  // a chord whose weight is not above 0 is left out
};

// A parsed chord at the weight of one.
KeyInputChord keyInputChord(const ParsedChord& chord);

struct KeyCandidate {
  KeyContext key;
  double score = 0.0;
};

// 0 major, 1 minor, 2 dominant, 3 diminished, 4 half-diminished, 5 augmented, 6 suspended,
// 7 other.
enum class QualityClass : std::uint8_t {
  Major = 0,
  Minor = 1,
  Dominant = 2,
  Diminished = 3,
  HalfDiminished = 4,
  Augmented = 5,
  Suspended = 6,
  Other = 7,
};

QualityClass qualityClassOf(std::string_view quality);
bool isMajorSeventhFamily(std::string_view quality);

// Everything about a chord that does not depend on the candidate key, computed once so the
// 36 candidate scorings only do arithmetic.
struct KeyChordFeatures {
  double weight = 1.0;
  // Each tone's weight times the chord weight, already scaled for a tone inside (0.35) and
  // outside (1.15) the scale; the bass likewise.
  std::array<double, 8> insideTone{};
  std::array<double, 8> outsideTone{};
  double insideBass = 0.0;
  double outsideBass = 0.0;
  std::array<std::uint8_t, 8> toneOffsets{};  // each interval mod 12
  std::uint8_t toneCount = 0;
  std::uint8_t root = 0;
  std::uint8_t bass = 0;
  QualityClass cls = QualityClass::Other;
  bool distinctBass = false;
  bool majorSeventhFamily = false;
  bool melodicTonicQuality = false;  // exactly mM7, mM9, mMaj7 or mMaj9
  bool fifthResolution = false;      // a dominant whose next root lies a fourth above
  bool leadingResolution = false;    // a diminished chord whose next root lies a semitone above
};

struct PreparedKeyInput {
  std::vector<KeyChordFeatures> chords;
};

PreparedKeyInput prepareKeyInput(std::span<const KeyInputChord> chords);

double keyScore(const PreparedKeyInput& input, const KeyContext& key);
double keyScore(std::span<const KeyInputChord> chords, const KeyContext& key);

// The 36 candidates scored and ordered best first: higher score, then major before minor,
// natural before melodic, then the lower tonic.
std::array<KeyCandidate, 36> rankKeys(const PreparedKeyInput& input);

// C major for an empty sequence.
KeyContext detectKey(std::span<const KeyInputChord> chords);

}  // namespace tw
