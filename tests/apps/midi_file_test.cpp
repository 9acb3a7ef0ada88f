// The command's MIDI writer: every byte of the file read back, and safe writing.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The writer belongs to the command, not the engine library, so it is compiled in here.
#include "../apps/midi_file.cpp"
#include "apps/midi_reader.hpp"

namespace tw::cli {
namespace {

using tw::testing::ReadEvent;
using tw::testing::ReadFile;
using tw::testing::readBack;

TEST(MidiFile, ChordsHeldForABarEach) {
  std::string error;
  MidiWriteOptions options;  // 100 bpm, velocity 90
  const auto bytes = encodeMidiFile(oneChordPerBar({{50, 53, 57, 60}, {}, {55, 59, 62, 65}}), options, error);
  ASSERT_TRUE(error.empty()) << error;
  const ReadFile f = readBack(bytes);
  EXPECT_EQ(f.format, 1);
  EXPECT_EQ(f.tracks, 1);
  EXPECT_EQ(f.division, 480);
  EXPECT_EQ(f.micros, 600000);
  EXPECT_TRUE(f.timeSignature44);
  EXPECT_EQ(f.endTick, 3 * 1920);
  const std::vector<ReadEvent> want{
      {0, 0x90, 50, 90},    {0, 0x90, 53, 90},    {0, 0x90, 57, 90},    {0, 0x90, 60, 90},
      {1920, 0x80, 50, 0},  {1920, 0x80, 53, 0},  {1920, 0x80, 57, 0},  {1920, 0x80, 60, 0},
      {3840, 0x90, 55, 90}, {3840, 0x90, 59, 90}, {3840, 0x90, 62, 90}, {3840, 0x90, 65, 90},
      {5760, 0x80, 55, 0},  {5760, 0x80, 59, 0},  {5760, 0x80, 62, 0},  {5760, 0x80, 65, 0},
  };
  EXPECT_EQ(f.notes, want);
}

TEST(MidiFile, RepeatedNotesAreReleasedBeforeTheyStrikeAgain) {
  std::string error;
  const auto f = readBack(encodeMidiFile(oneChordPerBar({{60}, {60}}), {}, error));
  const std::vector<ReadEvent> want{{0, 0x90, 60, 90}, {1920, 0x80, 60, 0}, {1920, 0x90, 60, 90}, {3840, 0x80, 60, 0}};
  EXPECT_EQ(f.notes, want);
}

TEST(MidiFile, RhythmEventsPickTheirVoices) {
  std::string error;
  MidiWriteOptions options;
  options.tempoBpm = 120;
  options.velocity = 64;
  options.rhythm = {{0, 4, "bass"}, {4, 4, "upper"}, {8, 2, "middle"}, {12, 4, "top"}};
  const auto f = readBack(encodeMidiFile(oneChordPerBar({{48, 64, 67, 72}}), options, error));
  ASSERT_TRUE(error.empty());
  EXPECT_EQ(f.micros, 500000);
  const std::vector<ReadEvent> want{
      {0, 0x90, 48, 64},   {480, 0x80, 48, 0},  {480, 0x90, 64, 64},  {480, 0x90, 67, 64},
      {480, 0x90, 72, 64}, {960, 0x80, 64, 0},  {960, 0x80, 67, 0},   {960, 0x80, 72, 0},
      {960, 0x90, 64, 64}, {960, 0x90, 67, 64}, {1200, 0x80, 64, 0},  {1200, 0x80, 67, 0},
      {1440, 0x90, 72, 64}, {1920, 0x80, 72, 0},
  };
  EXPECT_EQ(f.notes, want);
}

TEST(MidiFile, NotesOutsideTheMidiRangeAreLeftOut) {
  std::string error;
  const auto f = readBack(encodeMidiFile(oneChordPerBar({{-5, 60, 60, 200}}), {}, error));
  EXPECT_EQ(f.notes.size(), 2u);
}

TEST(MidiFile, LongDeltasUseSeveralBytes) {
  std::string error;
  std::vector<std::vector<int>> chords(100);  // 99 silent bars, then one note
  chords.back() = {60};
  const auto f = readBack(encodeMidiFile(oneChordPerBar(chords), {}, error));
  ASSERT_EQ(f.notes.size(), 2u);
  EXPECT_EQ(f.notes[0].tick, 99 * 1920);
}

// Chords share their bars; a pattern runs in bar time and each chord sounds the parts of its
// events that fall within its share (struck again where a chord changes inside an event).
TEST(MidiFile, ChordsSoundForTheirShareOfTheBar) {
  struct Case {
    const char* name;
    std::vector<MidiRhythmEvent> rhythm;
    std::vector<MidiChord> chords;
    std::vector<ReadEvent> want;
  };
  const Case cases[] = {
      {"held: two beats each, then a bar",
       {},
       {{{60}, {0, 0, 2}}, {{62}, {0, 1, 2}}, {{64}, {1, 0, 1}}},
       {{0, 0x90, 60, 90}, {960, 0x80, 60, 0}, {960, 0x90, 62, 90}, {1920, 0x80, 62, 0},
        {1920, 0x90, 64, 90}, {3840, 0x80, 64, 0}}},
      {"half notes over four quarter chords",
       {{0, 8, "all"}, {8, 8, "all"}},
       {{{60}, {0, 0, 4}}, {{62}, {0, 1, 4}}, {{64}, {0, 2, 4}}, {{65}, {0, 3, 4}}},
       {{0, 0x90, 60, 90}, {480, 0x80, 60, 0}, {480, 0x90, 62, 90}, {960, 0x80, 62, 0},
        {960, 0x90, 64, 90}, {1440, 0x80, 64, 0}, {1440, 0x90, 65, 90}, {1920, 0x80, 65, 0}}},
      {"charleston over two halves",
       {{0, 6, "all"}, {6, 2, "all"}, {10, 6, "all"}},
       {{{60}, {0, 0, 2}}, {{67}, {0, 1, 2}}},
       {{0, 0x90, 60, 90}, {720, 0x80, 60, 0}, {720, 0x90, 60, 90}, {960, 0x80, 60, 0},
        {1200, 0x90, 67, 90}, {1920, 0x80, 67, 0}}},
      {"three to a bar, a silent share kept",
       {},
       {{{60}, {0, 0, 3}}, {{}, {0, 1, 3}}, {{62}, {0, 2, 3}}},
       {{0, 0x90, 60, 90}, {640, 0x80, 60, 0}, {1280, 0x90, 62, 90}, {1920, 0x80, 62, 0}}},
  };
  for (const Case& c : cases) {
    std::string error;
    MidiWriteOptions options;
    options.rhythm = c.rhythm;
    const ReadFile f = readBack(encodeMidiFile(c.chords, options, error));
    ASSERT_TRUE(error.empty()) << c.name << ": " << error;
    EXPECT_EQ(f.notes, c.want) << c.name;
    EXPECT_EQ(f.endTick, c.chords.back().share.bar * 1920 + 1920) << c.name;
  }
  std::string error;
  EXPECT_TRUE(encodeMidiFile({{{60}, {0, 2, 2}}}, {}, error).empty());
  EXPECT_FALSE(error.empty());
}

TEST(MidiFile, BadOptionsAreRefused) {
  std::string error;
  MidiWriteOptions options;
  options.tempoBpm = 0;
  EXPECT_TRUE(encodeMidiFile(oneChordPerBar({{60}}), options, error).empty());
  EXPECT_FALSE(error.empty());
  options = {};
  options.rhythm = {{15, 100, "all"}};
  EXPECT_TRUE(encodeMidiFile(oneChordPerBar({{60}}), options, error).empty());
  EXPECT_FALSE(error.empty());
}

TEST(MidiFile, WritesThroughATemporaryFile) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("tw-midi-test-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path target = folder / "out.mid";
  EXPECT_EQ(writeMidiFile(target.string(), oneChordPerBar({{60, 64, 67}}), {}), "");
  std::ifstream in(target, std::ios::binary);
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  std::string error;
  EXPECT_EQ(bytes, encodeMidiFile(oneChordPerBar({{60, 64, 67}}), {}, error));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++entries;
  EXPECT_EQ(entries, 1u);  // no temporary file left

  EXPECT_NE(writeMidiFile((folder / "missing" / "x.mid").string(), oneChordPerBar({{60}}), {}), "");
  EXPECT_NE(writeMidiFile(folder.string(), oneChordPerBar({{60}}), {}), "");
  EXPECT_FALSE(fs::exists(folder / "missing"));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tw::cli
