#include "midi_file.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include <unistd.h>

namespace tw::cli {

namespace {

struct TimedEvent {
  long long tick;
  int order;  // at one tick, note-offs (0) come before note-ons (1)
  std::uint8_t status;
  std::uint8_t note;
  std::uint8_t velocity;
};

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
}

void putVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t buffer[5];
  int count = 0;
  buffer[count++] = static_cast<std::uint8_t>(value & 0x7F);
  while ((value >>= 7) != 0) buffer[count++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
  while (count-- > 0) out.push_back(buffer[count]);
}

constexpr long long kTicksPerBar = 1LL * kMidiSixteenthsPerBar * kMidiTicksPerSixteenth;
constexpr int kMaxEventEnd = 4 * kMidiSixteenthsPerBar;

// The first and the last tick (exclusive) of a chord's share of its bar.
std::pair<long long, long long> shareTicks(const BarShare& share) {
  const long long barStart = share.bar * kTicksPerBar;
  return {barStart + share.part * kTicksPerBar / share.parts,
          barStart + (share.part + 1LL) * kTicksPerBar / share.parts};
}

std::vector<int> validNotes(const std::vector<int>& chord) {
  std::vector<int> notes;
  for (int n : chord)
    if (n >= 0 && n <= 127) notes.push_back(n);
  std::sort(notes.begin(), notes.end());
  notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
  return notes;
}

}  // namespace

std::vector<int> selectVoices(const std::vector<int>& chord, const std::string& voices) {
  if (chord.empty()) return {};
  if (voices == "all" || voices.empty()) return chord;
  if (voices == "bass") return {chord.front()};
  if (voices == "top") return {chord.back()};
  if (voices == "upper") return chord.size() > 1 ? std::vector<int>(chord.begin() + 1, chord.end()) : chord;
  if (voices == "middle") {
    if (chord.size() > 2) return std::vector<int>(chord.begin() + 1, chord.end() - 1);
    return selectVoices(chord, "upper");
  }
  return {};
}

std::vector<MidiChord> oneChordPerBar(const std::vector<std::vector<int>>& chords) {
  std::vector<MidiChord> timed;
  for (std::size_t i = 0; i < chords.size(); ++i) timed.push_back({chords[i], {static_cast<int>(i), 0, 1}});
  return timed;
}

std::vector<std::uint8_t> encodeMidiFile(const std::vector<MidiChord>& chords,
                                         const MidiWriteOptions& options, std::string& error) {
  error.clear();
  if (!(options.tempoBpm >= 4.0 && options.tempoBpm <= 1000.0)) {
    error = "tempo must lie between 4 and 1000 beats per minute";
    return {};
  }
  if (options.velocity < 1 || options.velocity > 127) {
    error = "velocity must lie between 1 and 127";
    return {};
  }
  std::vector<MidiRhythmEvent> rhythm = options.rhythm;
  if (rhythm.empty()) rhythm.push_back({});
  for (const auto& e : rhythm) {
    if (e.offsetSixteenths < 0 || e.durationSixteenths <= 0 ||
        e.offsetSixteenths + e.durationSixteenths > kMaxEventEnd) {
      error = "rhythm events must start within the bar and last 1 to 64 sixteenths";
      return {};
    }
  }
  for (const auto& c : chords) {
    if (c.share.bar < 0 || c.share.parts < 1 || c.share.part < 0 || c.share.part >= c.share.parts) {
      error = "a chord's share of its bar is out of range";
      return {};
    }
  }

  std::vector<TimedEvent> events;
  long long end = 0;
  for (const MidiChord& chord : chords) {
    const auto [from, to] = shareTicks(chord.share);
    end = std::max(end, to);
    const std::vector<int> notes = validNotes(chord.notes);
    if (notes.empty()) continue;
    // Events of this bar and of the bars before it that may still ring.
    const long long lastBar = (to - 1) / kTicksPerBar;
    const long long firstBar = std::max(0LL, from / kTicksPerBar - (kMaxEventEnd - 1) / kMidiSixteenthsPerBar);
    for (long long bar = firstBar; bar <= lastBar; ++bar) {
      for (const auto& e : rhythm) {
        const long long eventOn = bar * kTicksPerBar + 1LL * e.offsetSixteenths * kMidiTicksPerSixteenth;
        const long long eventOff = eventOn + 1LL * e.durationSixteenths * kMidiTicksPerSixteenth;
        const long long on = std::max(eventOn, from);
        const long long off = std::min(eventOff, to);
        if (on >= off) continue;
        for (int n : selectVoices(notes, e.voices)) {
          events.push_back({on, 1, 0x90, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(options.velocity)});
          events.push_back({off, 0, 0x80, static_cast<std::uint8_t>(n), 0});
        }
      }
    }
  }
  std::stable_sort(events.begin(), events.end(), [](const TimedEvent& a, const TimedEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });

  std::vector<std::uint8_t> track;
  const auto microsPerQuarter = static_cast<std::uint32_t>(std::lround(60'000'000.0 / options.tempoBpm));
  // Tempo and a 4/4 time signature at the start.
  track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03});
  putBigEndian(track, microsPerQuarter, 3);
  track.insert(track.end(), {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08});
  long long now = 0;
  for (const auto& e : events) {
    putVariableLength(track, static_cast<std::uint32_t>(e.tick - now));
    now = e.tick;
    track.insert(track.end(), {e.status, e.note, e.velocity});
  }
  // The track ends with the last chord's share, even when it is silent.
  end = std::max(end, now);
  putVariableLength(track, static_cast<std::uint32_t>(end - now));
  track.insert(track.end(), {0xFF, 0x2F, 0x00});

  std::vector<std::uint8_t> file{'M', 'T', 'h', 'd'};
  putBigEndian(file, 6, 4);
  putBigEndian(file, 1, 2);  // format 1
  putBigEndian(file, 1, 2);  // one track
  putBigEndian(file, kMidiTicksPerQuarter, 2);
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  putBigEndian(file, static_cast<std::uint32_t>(track.size()), 4);
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

std::string writeMidiFile(const std::string& path, const std::vector<MidiChord>& chords,
                          const MidiWriteOptions& options) {
  namespace fs = std::filesystem;
  std::string error;
  const std::vector<std::uint8_t> bytes = encodeMidiFile(chords, options, error);
  if (!error.empty()) return error;
  if (path.empty()) return "no MIDI file name given";

  const fs::path target(path);
  std::error_code ec;
  if (fs::is_directory(target, ec)) return "cannot write " + path + ": it is a folder";
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec)) return "cannot write " + path + ": no such folder";
  const fs::path temporary =
      folder / ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()));
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot write " + path + ": the folder is not writable";
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      fs::remove(temporary, ec);
      return "cannot write " + path + ": writing failed";
    }
  }
  fs::rename(temporary, target, ec);
  if (ec) {
    fs::remove(temporary, ec);
    return "cannot write " + path + ": " + ec.message();
  }
  return {};
}

}  // namespace tw::cli
