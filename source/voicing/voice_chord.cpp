// voiceChord: a style's offsets placed at an octave, with inversion, slash bass, bass drop
// and the MIDI range applied; and the style lookups around it.
#include <algorithm>
#include <climits>

#include "voicing/plan_resolution.hpp"
#include "voicing/voicing_plans.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw {

namespace {

constexpr int kStyleCount = 6;
constexpr int kAnthem = 2;
constexpr int kSplit = 3;
constexpr int kGuideColor = 4;
constexpr int kVelmaro = 5;
constexpr int kLowestOctave = 0;
constexpr int kHighestOctave = 7;

using NoteList = InlineList<int, 24>;

int floorDiv(int value, int divisor) {
  const int q = value / divisor;
  return (value % divisor != 0 && value < 0) ? q - 1 : q;
}

// The octave after the shift, summed without overflow and kept on the keyboard.
int effectiveOctave(int octave, int octaveShift) {
  const long long sum = static_cast<long long>(octave) + octaveShift;
  return static_cast<int>(std::clamp<long long>(sum, kLowestOctave, kHighestOctave));
}

int rootPosition(const ParsedChord& chord, int octave, int octaveShift) {
  return 12 * (effectiveOctave(octave, octaveShift) + 1) + reducePitchClass(chord.root);
}

// The chord's intervals reduced into one octave, ascending, without repeats.
InlineList<int, IntervalList::kCapacity> reducedIntervalSet(const IntervalList& intervals) {
  InlineList<int, IntervalList::kCapacity> set;
  for (int interval : intervals) set.push_back(reducePitchClass(interval));
  set.sortUnique();
  return set;
}

bool isReducedTriad(const IntervalList& intervals) {
  const auto set = reducedIntervalSet(intervals);
  return set.size() == 3 && set.contains(0);
}

// Styles whose plans are rebuilt on another chord tone when inverted, instead of rotating
// the notes of the root-position voicing.
bool usesDescriptorInversion(const ParsedChord& chord, VoicingStyle style) {
  if (style == kAnthem) return true;
  return (style == kSplit || style == kGuideColor || style == kVelmaro) &&
         isReducedTriad(chord.intervals);
}

// Step 3's offsets: the guide-colour voicing of a slash triad gives up its top root, which
// the written bass replaces.
StyleOffsetList plainOffsets(const ParsedChord& chord, VoicingStyle style) {
  StyleOffsetList offsets = styleOffsetList(style, chord.intervals);
  if (style == kGuideColor && chord.hasBass() && isReducedTriad(chord.intervals)) {
    for (std::size_t i = offsets.size(); i-- > 0;) {
      if (offsets[i] > 0 && offsets[i] % 12 == 0) {
        offsets.eraseAt(i);
        break;
      }
    }
  }
  return offsets;
}

void placeOffsets(NoteList& notes, const StyleOffsetList& offsets, int from) {
  for (int offset : offsets) notes.push_back(from + offset);
}

NoteList descriptorInversion(const ParsedChord& chord, VoicingStyle style, int root,
                             int inversion) {
  const auto set = reducedIntervalSet(chord.intervals);
  const int n = std::max<int>(1, static_cast<int>(set.size()));
  const int steps = std::clamp(inversion, -n, n);
  const int r = ((steps % n) + n) % n;
  const int octaves = (steps - r) / n;
  NoteList notes;
  if (r == 0) {
    placeOffsets(notes, styleOffsetList(style, chord.intervals), root + 12 * octaves);
    return notes;
  }
  const int newRoot = set[static_cast<std::size_t>(r)];
  InlineList<int, IntervalList::kCapacity> rerooted;
  for (int interval : chord.intervals)
    rerooted.push_back(reducePitchClass(reducePitchClass(interval) - newRoot));
  rerooted.sortUnique();
  IntervalList intervals;
  for (int interval : rerooted) intervals.push_back(interval);
  placeOffsets(notes, styleOffsetList(style, intervals), root + 12 * octaves + newRoot);
  return notes;
}

void rotate(NoteList& notes, int inversion) {
  if (notes.empty()) return;
  const int count = static_cast<int>(notes.size());
  const int steps = std::clamp(inversion, -count, count);
  for (int i = 0; i < steps; ++i) {
    const int lowest = notes[0];
    notes.eraseAt(0);
    notes.push_back(lowest + 12);
    std::sort(notes.begin(), notes.end());
  }
  for (int i = 0; i < -steps; ++i) {
    const int highest = notes.back();
    notes.pop_back();
    notes.push_back(highest - 12);
    std::sort(notes.begin(), notes.end());
  }
}

}  // namespace

std::optional<VoicingStyle> styleFromId(std::string_view id) {
  const auto& catalogue = styleCatalogue();
  for (int style = 0; style < kStyleCount; ++style)
    if (catalogue[static_cast<std::size_t>(style)].id == id) return style;
  if (id == "pop") return kAnthem;
  if (id == "drop24" || id == "drop2-4") return kSplit;
  return std::nullopt;
}

std::string_view styleId(VoicingStyle style) {
  if (style < 0 || style >= kStyleCount) return styleCatalogue()[0].id;
  return styleCatalogue()[static_cast<std::size_t>(style)].id;
}

std::vector<int> styleOffsets(VoicingStyle style, const IntervalList& intervals) {
  return styleOffsetList(style, intervals).toVector();
}

std::vector<int> voiceChord(const ParsedChord& chord, VoicingStyle style, int octave,
                            VoicingOptions options) {
  const int root = rootPosition(chord, octave, options.octaveShift);
  NoteList notes;
  if (options.inversion != 0 && usesDescriptorInversion(chord, style)) {
    notes = descriptorInversion(chord, style, root, options.inversion);
    std::sort(notes.begin(), notes.end());
  } else {
    placeOffsets(notes, plainOffsets(chord, style), root);
    std::sort(notes.begin(), notes.end());
    if (options.inversion != 0) rotate(notes, options.inversion);
  }

  if (chord.hasBass() && !notes.empty()) {
    const int bass = 12 * floorDiv(notes[0], 12) - 12 + reducePitchClass(*chord.bass);
    if (bass >= 0) {
      notes.push_back(bass);
      std::sort(notes.begin(), notes.end());
    }
  }
  if (options.dropBass && !notes.empty() && notes[0] - 12 >= 0) notes[0] -= 12;

  std::vector<int> result;
  result.reserve(notes.size());
  for (int note : notes) result.push_back(std::clamp(note, 0, 127));
  // A voicing holds each MIDI note once: rotating a doubled tone down, or pinning notes at the
  // ends of the range, can land two voices on the same key.
  result.erase(std::unique(result.begin(), result.end()), result.end());
  return result;
}

int maxManualInversion(const ParsedChord& chord, VoicingStyle style, int octave,
                       int octaveShift) {
  const int root = rootPosition(chord, octave, octaveShift);
  NoteList notes;
  placeOffsets(notes, plainOffsets(chord, style), root);
  if (notes.empty()) return 1;
  if (usesDescriptorInversion(chord, style)) {
    InlineList<int, 24> pitchClasses;
    for (int note : notes) pitchClasses.push_back(reducePitchClass(note));
    pitchClasses.sortUnique();
    return std::max<int>(1, static_cast<int>(pitchClasses.size()));
  }
  return static_cast<int>(notes.size());
}

std::vector<VoicingStyle> relevantStyles(const IntervalList& intervals) {
  if (intervals.empty()) return {0, kVelmaro};
  if (intervals.size() <= 2) return {0, kAnthem, kGuideColor, kVelmaro};
  return {0, kAnthem, kSplit, kGuideColor, kVelmaro};
}

}  // namespace tw
