// `tonalweaver progression` run as a process: lines, JSON, standard input, MIDI output and
// failures.
#include <gtest/gtest.h>

#include "apps/command_runner.hpp"
#include "apps/midi_reader.hpp"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

namespace {

using tw::testing::CommandRun;

CommandRun progression(const std::string& args, const std::string& input = "") {
  return tw::testing::runTonalweaver("progression " + args, input);
}

TEST(ProgressionCommand, OneLinePerChord) {
  const CommandRun r = progression("'C | Am , F G7'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "C           60 64 67                C E G\n"
            "Am          69 72 76                A C E\n"
            "F           65 69 72                F A C\n"
            "G7          67 71 74 77             G B D F\n");
}

TEST(ProgressionCommand, KeyAddsRomanNumerals) {
  const CommandRun r = progression("'Dm7 G7 Cmaj7' --key 'C major'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Dm7         iim7        62 65 69 72             D F A C\n"
            "G7          V7          67 71 74 77             G B D F\n"
            "Cmaj7       Imaj7       60 64 67 71             C E G B\n");
  EXPECT_EQ(progression("Am --key 'A minor'").out.substr(0, 16), "Am          i   ");
}

TEST(ProgressionCommand, ReadsStandardInputAndRepeats) {
  const CommandRun r = progression("--octave 3", "C % | G\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "C           48 52 55                C E G\n"
            "C           48 52 55                C E G\n"
            "G           55 59 62                G B D\n");
  EXPECT_EQ(progression("-", "F").out, "F           65 69 72                F A C\n");
}

TEST(ProgressionCommand, VoiceLeadingKeepsTheFirstChordAndMovesLittle) {
  const CommandRun r = progression("'C F G C' --avl");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, 42), "C           60 64 67                C E G\n");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
}

TEST(ProgressionCommand, TransposeMovesTheVoicing) {
  EXPECT_EQ(progression("C --transpose 2").out, "D           62 66 69                D F# A\n");
  EXPECT_EQ(progression("C --transpose 12").out, "C           72 76 79                C E G\n");
  EXPECT_EQ(progression("'Bbmaj7/D F#m7' --transpose -3").out,
            "Gmaj7/B     47 67 71 74 78          B G B D F#\n"
            "D#m7        63 66 70 73             D# F# A# C#\n");
}

TEST(ProgressionCommand, JsonIsTheReplyEnvelope) {
  const CommandRun r = progression("'C G' --json");
  EXPECT_EQ(r.status, 0);
  const auto reply = nlohmann::json::parse(r.out);
  EXPECT_EQ(reply["type"], "progression_voicings");
  EXPECT_EQ(reply["ok"], true);
  EXPECT_EQ(reply["payload"]["voicings"], (nlohmann::json{{60, 64, 67}, {67, 71, 74}}));
}

TEST(ProgressionCommand, HelpHasExamples) {
  const CommandRun r = progression("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: tonalweaver progression"), std::string::npos);
  EXPECT_NE(r.out.find("examples:"), std::string::npos);
}

TEST(ProgressionCommand, BadArgumentsAreRefused) {
  for (const char* args : {"C --style Closed", "C --key H", "C --key 'C dorian'", "C --octave 9",
                           "C --octave x", "C --transpose 49", "C --tempo 0", "C --frobnicate",
                           "C --allow-bass-changes", "C --midi", "C G extra", "'| ,'",
                           "C --rhythm split-2", "C --midi x.mid --rhythm waltz", "C --rhythm"}) {
    const CommandRun r = progression(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.out.find("tonalweaver progression:"), std::string::npos) << args;
  }
}

TEST(ProgressionCommand, UnknownChordsAreNamed) {
  const CommandRun r = progression("'C Xyz G Qq'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("'Xyz', 'Qq'"), std::string::npos) << r.out;
}

TEST(ProgressionCommand, WritesAMidiFile) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("tw-progression-cmd-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path file = folder / "out.mid";
  const CommandRun r = progression("'C G7' --midi " + file.string() + " --tempo 120");
  EXPECT_EQ(r.status, 0) << r.out;
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GE(bytes.size(), 22u);
  EXPECT_EQ(bytes.substr(0, 4), "MThd");
  // Tempo 120: 500000 microseconds per quarter.
  EXPECT_NE(bytes.find(std::string("\xFF\x51\x03\x07\xA1\x20", 6)), std::string::npos);
  // Seven notes struck, seven released.
  std::size_t ons = 0;
  for (std::size_t i = 0; i + 2 < bytes.size(); ++i)
    if (static_cast<unsigned char>(bytes[i]) == 0x90 && static_cast<unsigned char>(bytes[i + 2]) == 90) ++ons;
  EXPECT_EQ(ons, 7u);

  const CommandRun bad = progression("C --midi " + (folder / "missing" / "x.mid").string());
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("cannot write"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder / "missing"));
  fs::remove_all(folder);
}

TEST(ProgressionCommand, BarLinesGiveTheChordsTheirTimeInTheMidiFile) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("tw-progression-bars-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string file = (folder / "bars.mid").string();
  // Two beats each, then a whole bar: C (60 64 67) from 0, G (67 71 74) from 960, F from 1920.
  CommandRun r = progression("'C G | F |' --midi " + file);
  ASSERT_EQ(r.status, 0) << r.out;
  tw::testing::ReadFile f = tw::testing::readMidiFile(file);
  EXPECT_EQ(f.endTick, 2 * 1920);
  std::vector<long long> starts;
  for (const auto& [tick, note] : tw::testing::strikes(f)) starts.push_back(tick);
  EXPECT_EQ(starts, (std::vector<long long>{0, 0, 0, 960, 960, 960, 1920, 1920, 1920}));
  // A repeat sign fills its own bar; a rhythm plays within each chord's share.
  r = progression("'C | % G' --midi " + file + " --rhythm quarter");
  ASSERT_EQ(r.status, 0) << r.out;
  f = tw::testing::readMidiFile(file);
  EXPECT_EQ(f.endTick, 2 * 1920);
  EXPECT_EQ(tw::testing::strikes(f).size(), 24u);  // eight quarters of three-note chords
  EXPECT_EQ(tw::testing::strikes(f)[12].first, 1920);
  // A no-chord mark keeps its share silent.
  r = progression("'NC C | G NC' --midi " + file);
  ASSERT_EQ(r.status, 0) << r.out;
  f = tw::testing::readMidiFile(file);
  starts.clear();
  for (const auto& [tick, note] : tw::testing::strikes(f)) starts.push_back(tick);
  EXPECT_EQ(starts, (std::vector<long long>{960, 960, 960, 1920, 1920, 1920}));
  EXPECT_EQ(f.endTick, 2 * 1920);
  fs::remove_all(folder);
}

TEST(ProgressionCommand, ReadsChartSpellingsAndSaysSoUnlessStrict) {
  CommandRun r = progression("'Dm7 G7+ | Cm/maj7 Ch7 |'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(tw::testing::contains(r, "read G7+ as G7#5")) << r.out;
  EXPECT_TRUE(tw::testing::contains(r, "read Cm/maj7 as CmM7")) << r.out;
  EXPECT_TRUE(tw::testing::contains(r, "read Ch7 as Cm7b5")) << r.out;
  r = progression("'Dm7 G7+ | Cm/maj7 Ch7 |' --strict");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(tw::testing::contains(r, "not a chord symbol: 'G7+', 'Cm/maj7', 'Ch7'")) << r.out;
}

TEST(ProgressionCommand, RhythmPatternStrikesTheVoicingParts) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("tw-progression-rhythm-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path file = folder / "stride.mid";
  // Stride: bass, upper, bass, upper. The C triad 60 64 67 strikes its bass twice and its two
  // upper notes twice: six notes in all, each starting a quarter apart.
  const CommandRun r = progression("C --midi " + file.string() + " --rhythm split-2");
  EXPECT_EQ(r.status, 0) << r.out;
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  std::vector<int> struck;
  for (std::size_t i = 0; i + 2 < bytes.size(); ++i)
    if (static_cast<unsigned char>(bytes[i]) == 0x90 && static_cast<unsigned char>(bytes[i + 2]) == 90)
      struck.push_back(static_cast<unsigned char>(bytes[i + 1]));
  EXPECT_EQ(struck, (std::vector<int>{60, 64, 67, 60, 64, 67}));
  fs::remove_all(folder);
}

}  // namespace
