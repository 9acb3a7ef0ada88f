#pragma once
// A chord's tones as the voicing plans see them: interval, tone index, function and whether
// a plan must keep the tone.
#include <cstdint>

#include "chord/interval_list.hpp"
#include "voicing/inline_list.hpp"

namespace tw {

enum class ToneFunction : std::uint8_t {
  Root = 0,
  ThirdOrSuspension = 1,
  SixthOrSeventh = 2,
  Fifth = 3,
  Tension = 4,
};

constexpr std::uint8_t functionBit(ToneFunction f) {
  return static_cast<std::uint8_t>(1U << static_cast<unsigned>(f));
}

// Tone indices: 0 root; 1 sus2, 2 minor third, 3 major third, 4 sus4; 5 flat fifth,
// 6 fifth, 7 sharp fifth; 8 sixth, 9 minor seventh, 10 major seventh; 11 flat ninth,
// 12 ninth, 13 sharp ninth, 14 eleventh, 15 sharp eleventh, 16 flat thirteenth, 17 thirteenth.
struct ChordTone {
  int interval = 0;
  int index = 0;
  ToneFunction function = ToneFunction::Root;
  bool essential = true;  // only the perfect fifth may be left out
};

using ChordTones = InlineList<ChordTone, IntervalList::kCapacity + 1>;

ChordTone classifyInterval(int interval);

// One tone per interval, in the interval list's order.
ChordTones chordTones(const IntervalList& intervals);

}  // namespace tw
