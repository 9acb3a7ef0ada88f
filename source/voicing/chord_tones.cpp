// Classification of chord intervals into the tones the voicing plans place.
#include "voicing/chord_tones.hpp"

#include <array>

namespace tw {

namespace {

struct ToneClass {
  int index;
  ToneFunction function;
};

// By interval 0..21; -1 marks intervals that are classified by their pitch class instead.
constexpr std::array<ToneClass, 22> kByInterval{{
    {0, ToneFunction::Root},               // 0
    {-1, ToneFunction::Root},              // 1
    {1, ToneFunction::ThirdOrSuspension},  // 2
    {2, ToneFunction::ThirdOrSuspension},  // 3
    {3, ToneFunction::ThirdOrSuspension},  // 4
    {4, ToneFunction::ThirdOrSuspension},  // 5
    {5, ToneFunction::Fifth},              // 6
    {6, ToneFunction::Fifth},              // 7
    {7, ToneFunction::Fifth},              // 8
    {8, ToneFunction::SixthOrSeventh},     // 9
    {9, ToneFunction::SixthOrSeventh},     // 10
    {10, ToneFunction::SixthOrSeventh},    // 11
    {-1, ToneFunction::Root},              // 12
    {11, ToneFunction::Tension},           // 13
    {12, ToneFunction::Tension},           // 14
    {13, ToneFunction::Tension},           // 15
    {-1, ToneFunction::Root},              // 16
    {14, ToneFunction::Tension},           // 17
    {15, ToneFunction::Tension},           // 18
    {-1, ToneFunction::Root},              // 19
    {16, ToneFunction::Tension},           // 20
    {17, ToneFunction::Tension},           // 21
}};

// Any other interval by its pitch class: a minor second reads as a fifth-like tone, and the
// second, fourth and sixth as the ninth, eleventh and thirteenth.
constexpr std::array<ToneClass, 12> kByPitchClass{{
    {0, ToneFunction::Root},
    {6, ToneFunction::Fifth},
    {12, ToneFunction::Tension},
    {2, ToneFunction::ThirdOrSuspension},
    {3, ToneFunction::ThirdOrSuspension},
    {14, ToneFunction::Tension},
    {5, ToneFunction::Fifth},
    {6, ToneFunction::Fifth},
    {7, ToneFunction::Fifth},
    {17, ToneFunction::Tension},
    {9, ToneFunction::SixthOrSeventh},
    {10, ToneFunction::SixthOrSeventh},
}};

}  // namespace

ChordTone classifyInterval(int interval) {
  ToneClass c{-1, ToneFunction::Root};
  if (interval >= 0 && interval < static_cast<int>(kByInterval.size()))
    c = kByInterval[static_cast<std::size_t>(interval)];
  if (c.index < 0) c = kByPitchClass[static_cast<std::size_t>(((interval % 12) + 12) % 12)];
  return ChordTone{interval, c.index, c.function, interval != 7};
}

ChordTones chordTones(const IntervalList& intervals) {
  ChordTones tones;
  for (int interval : intervals) tones.push_back(classifyInterval(interval));
  return tones;
}

}  // namespace tw
