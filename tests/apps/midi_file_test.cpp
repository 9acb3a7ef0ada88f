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

namespace tw::cli {
namespace {

struct ReadEvent {
  long long tick;
  int status;
  int data1;
  int data2;
  bool operator==(const ReadEvent&) const = default;
};

struct ReadFile {
  int format = -1, tracks = -1, division = -1;
  long micros = -1;
  bool timeSignature44 = false;
  long long endTick = -1;
  std::vector<ReadEvent> notes;
};

// A strict reader: fails the test on anything unexpected.
ReadFile readBack(const std::vector<std::uint8_t>& b) {
  ReadFile f;
  std::size_t p = 0;
  auto u = [&](int n) {
    long v = 0;
    for (int i = 0; i < n; ++i) {
      EXPECT_LT(p, b.size());
      if (p >= b.size()) return v;
      v = (v << 8) | b[p++];
    }
    return v;
  };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b.at(p++), static_cast<std::uint8_t>(t[i]));
  };
  tag("MThd");
  EXPECT_EQ(u(4), 6);
  f.format = static_cast<int>(u(2));
  f.tracks = static_cast<int>(u(2));
  f.division = static_cast<int>(u(2));
  tag("MTrk");
  const long length = u(4);
  EXPECT_EQ(static_cast<std::size_t>(length), b.size() - p);
  long long tick = 0;
  while (p < b.size()) {
    long delta = 0;
    for (;;) {
      const std::uint8_t c = b.at(p++);
      delta = (delta << 7) | (c & 0x7F);
      if (!(c & 0x80)) break;
    }
    tick += delta;
    const int status = b.at(p++);
    if (status == 0xFF) {
      const int type = b.at(p++);
      const int len = b.at(p++);
      if (type == 0x51) {
        EXPECT_EQ(len, 3);
        f.micros = (b.at(p) << 16) | (b.at(p + 1) << 8) | b.at(p + 2);
      } else if (type == 0x58) {
        f.timeSignature44 = b.at(p) == 4 && b.at(p + 1) == 2;
      } else if (type == 0x2F) {
        f.endTick = tick;
        EXPECT_EQ(p + static_cast<std::size_t>(len), b.size());
      } else {
        ADD_FAILURE() << "unexpected meta event " << type;
      }
      p += static_cast<std::size_t>(len);
    } else {
      EXPECT_TRUE(status == 0x80 || status == 0x90) << status;
      const int d1 = b.at(p++), d2 = b.at(p++);
      f.notes.push_back({tick, status, d1, d2});
    }
  }
  return f;
}

TEST(MidiFile, ChordsHeldForABarEach) {
  std::string error;
  MidiWriteOptions options;  // 100 bpm, velocity 90
  const auto bytes = encodeMidiFile({{50, 53, 57, 60}, {}, {55, 59, 62, 65}}, options, error);
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
  const auto f = readBack(encodeMidiFile({{60}, {60}}, {}, error));
  const std::vector<ReadEvent> want{{0, 0x90, 60, 90}, {1920, 0x80, 60, 0}, {1920, 0x90, 60, 90}, {3840, 0x80, 60, 0}};
  EXPECT_EQ(f.notes, want);
}

TEST(MidiFile, RhythmEventsPickTheirVoices) {
  std::string error;
  MidiWriteOptions options;
  options.tempoBpm = 120;
  options.velocity = 64;
  options.rhythm = {{0, 4, "bass"}, {4, 4, "upper"}, {8, 2, "middle"}, {12, 4, "top"}};
  const auto f = readBack(encodeMidiFile({{48, 64, 67, 72}}, options, error));
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
  const auto f = readBack(encodeMidiFile({{-5, 60, 60, 200}}, {}, error));
  EXPECT_EQ(f.notes.size(), 2u);
}

TEST(MidiFile, LongDeltasUseSeveralBytes) {
  std::string error;
  std::vector<std::vector<int>> chords(100);  // 99 silent bars, then one note
  chords.back() = {60};
  const auto f = readBack(encodeMidiFile(chords, {}, error));
  ASSERT_EQ(f.notes.size(), 2u);
  EXPECT_EQ(f.notes[0].tick, 99 * 1920);
}

TEST(MidiFile, BadOptionsAreRefused) {
  std::string error;
  MidiWriteOptions options;
  options.tempoBpm = 0;
  EXPECT_TRUE(encodeMidiFile({{60}}, options, error).empty());
  EXPECT_FALSE(error.empty());
  options = {};
  options.rhythm = {{15, 100, "all"}};
  EXPECT_TRUE(encodeMidiFile({{60}}, options, error).empty());
  EXPECT_FALSE(error.empty());
}

TEST(MidiFile, WritesThroughATemporaryFile) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("tw-midi-test-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path target = folder / "out.mid";
  EXPECT_EQ(writeMidiFile(target.string(), {{60, 64, 67}}, {}), "");
  std::ifstream in(target, std::ios::binary);
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  std::string error;
  EXPECT_EQ(bytes, encodeMidiFile({{60, 64, 67}}, {}, error));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++entries;
  EXPECT_EQ(entries, 1u);  // no temporary file left

  EXPECT_NE(writeMidiFile((folder / "missing" / "x.mid").string(), {{60}}, {}), "");
  EXPECT_NE(writeMidiFile(folder.string(), {{60}}, {}), "");
  EXPECT_FALSE(fs::exists(folder / "missing"));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tw::cli
