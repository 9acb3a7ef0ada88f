#pragma once
// A small Standard MIDI File writer for the command: format 1, one track, 480 ticks per
// quarter note, 4/4; each chord sounds for its share of a bar, as a chart's bar lines give it.
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/chart_reading.hpp"

namespace tw::cli {

inline constexpr int kMidiTicksPerQuarter = 480;
inline constexpr int kMidiTicksPerSixteenth = kMidiTicksPerQuarter / 4;
inline constexpr int kMidiSixteenthsPerBar = 16;

// One strike within a bar. `voices` picks the notes: "all" (the whole chord), "bass" (the
// lowest), "top" (the highest), "upper" (all but the lowest) or "middle" (all but the lowest
// and the highest; a chord without inner notes plays its upper notes instead).
struct MidiRhythmEvent {
  int offsetSixteenths = 0;
  int durationSixteenths = kMidiSixteenthsPerBar;
  std::string voices = "all";
};

struct MidiWriteOptions {
  double tempoBpm = 100.0;  // 4..1000
  int velocity = 90;        // 1..127
  // Played in bar time: each chord sounds the parts of the bar's events that fall within its
  // share, so a chord that starts while an event rings strikes it from there. Empty: every
  // chord is held for its whole share.
  std::vector<MidiRhythmEvent> rhythm;
};

struct MidiChord {
  std::vector<int> notes;  // empty: silence for the chord's share
  BarShare share;
};

// The notes an event's voices word selects from an ascending chord; empty for an unknown word.
std::vector<int> selectVoices(const std::vector<int>& chord, const std::string& voices);

// The file's bytes. Notes outside 0..127 are left out. Returns an empty vector and sets
// `error` when the options are out of range.
std::vector<std::uint8_t> encodeMidiFile(const std::vector<MidiChord>& chords,
                                         const MidiWriteOptions& options, std::string& error);

// Chords that last a bar each, as when a progression has no bar lines.
std::vector<MidiChord> oneChordPerBar(const std::vector<std::vector<int>>& chords);

// Writes the file through a temporary file in the same folder and a rename, so a failed
// write leaves nothing behind. Returns an empty string on success, else the error message.
std::string writeMidiFile(const std::string& path, const std::vector<MidiChord>& chords,
                          const MidiWriteOptions& options);

}  // namespace tw::cli
