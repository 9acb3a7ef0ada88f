#pragma once
// The voice-leading solver's cost model as data: the learned weights, the style rules with
// their style masks and thresholds, and the per-segment options derived from an anchor.
#include <array>
#include <cstdint>
#include <span>

namespace tw {

// The terms the learned weights price; the index is the weight's position in the table.
enum class AvlWeight : std::uint8_t {
  ParallelPerfect = 0,   // parallel fifth or octave between aligned voices
  NoteCountChange = 1,   // change of note count between consecutive voicings
  TargetNoteCount = 2,   // distance of the note count from the target
  AboveTop = 3,          // semitones above the window top
  BelowBottom = 4,       // semitones below the window bottom
  MiddleDistance = 5,    // distance of the mean note from the middle
  OuterLeapToOctave = 6, // outer voices leap in similar motion into an octave
  Roughness = 7,         // roughness of voicings of five or more notes
  TopMotion = 8,         // top-voice motion in semitones
  OuterParallel = 9,     // parallel perfect interval between the outer voices
  VoiceOverlap = 10,     // voice overlap
  LeadingDistance = 11,  // voice-leading distance
};

inline constexpr std::array<double, 12> kAvlLearnedWeights{
    -2.48914450280972,    0.00770292873839696, -1.32050057453009, -0.237290733012646,
    -0.172725275871618,   -0.128380740914212,  0.204282036350433, -8.65279702164732,
    -0.23979933576161,    -2.3226944657203,    -0.66865980398893, -0.374935348715094,
};

constexpr double avlWeight(AvlWeight w) { return kAvlLearnedWeights[static_cast<int>(w)]; }

enum class AvlRuleKind : std::uint8_t {
  StaticTop,         // transition: top note held
  StaticBass,        // transition: lowest note held (bass changes allowed, no written basses)
  WideTriadTop,      // transition: three notes whose two upper ones are far apart
  LowCluster,        // the two lowest notes closer than `threshold`
  SplitFifth,        // root in the bass without its fifth just above it, low in the register
  LowIntervalLimit,  // the two lowest notes closer than `threshold` below `limit`
  LowTensions,       // a tension among the two lowest notes
  BassOffRoot,       // lowest note not the root (bass changes allowed, no written bass)
  BassDegree,        // lowest note's degree above the root, priced by kBassDegreeFactor
  HighInvertedBass,  // an inverted bass more than `threshold` above the window bottom
  LowRootBass,       // a root bass below the window bottom
};

// Bit s of a mask set: the rule applies when the anchor's style is s.
inline constexpr std::uint8_t kEveryStyle = 255;
constexpr std::uint8_t styleBit(int style) { return static_cast<std::uint8_t>(1u << style); }

struct AvlStyleRule {
  AvlRuleKind kind;
  double weight;
  std::uint8_t styleMask;
  int threshold = 0;  // the rule's interval threshold (semitones), where it has one
  int limit = 0;      // the rule's register ceiling (MIDI), where it has one
};

constexpr bool ruleApplies(const AvlStyleRule& rule, int anchorStyle) {
  if (anchorStyle < 0 || anchorStyle > 7) return rule.styleMask == kEveryStyle;
  return (rule.styleMask & styleBit(anchorStyle)) != 0;
}

// The standard rule table, in the order the rules are applied.
std::span<const AvlStyleRule> standardAvlRules();

// Factor of the bass-degree rule by the lowest note's interval above the root (mod 12).
inline constexpr std::array<double, 12> kBassDegreeFactor{0.0, 2.0, 2.0, 0.0, 0.0, 2.0,
                                                          1.0, 1.0, 1.0, 2.0, 2.0, 2.0};

// Settings of one segment. Register and density come from the segment's anchor.
struct AvlOptions {
  int octaveLow = -2;  // octave bases 36, 48, 60, 72
  int octaveHigh = 1;
  bool allowBassChanges = false;
  bool useNoteCountRange = true;
  int minNotes = 1;
  int maxNotes = 4;
  int minSpan = 0;
  int maxSpan = 127;
  int top = 72;
  int middle = 60;
  int bottom = 48;
  int targetNotes = 4;
  double middleWeightScale = 1.0;
  double bottomWeightScale = 1.0;
  double topWeightScale = 1.0;
  std::uint8_t anchorStyle = 0;
  std::span<const AvlStyleRule> rules = standardAvlRules();
};

}  // namespace tw
