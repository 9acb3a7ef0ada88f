// `tonalweaver generate` run as a process: its MIDI file keeps a bar per chord, in a rhythm.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "apps/command_runner.hpp"
#include "apps/midi_reader.hpp"

namespace {

using tw::testing::runTonalweaver;

TEST(GenerateCommand, MidiFileHasABarPerChordInTheRhythm) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("tw-generate-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string file = (folder / "g.mid").string();
  auto run = runTonalweaver("generate --genre Rock --length 4 --seed 7 --midi " + file + " --rhythm quarter");
  ASSERT_EQ(run.status, 0) << run.out;
  const tw::testing::ReadFile f = tw::testing::readMidiFile(file);
  EXPECT_EQ(f.endTick, 4 * 1920);
  std::vector<long long> starts;
  for (const auto& [tick, note] : tw::testing::strikes(f))
    if (starts.empty() || starts.back() != tick) starts.push_back(tick);
  std::vector<long long> quarters;
  for (long long t = 0; t < 4 * 1920; t += 480) quarters.push_back(t);
  EXPECT_EQ(starts, quarters);
  EXPECT_EQ(runTonalweaver("generate --rhythm quarter").status, 2);
  EXPECT_EQ(runTonalweaver("generate --midi " + file + " --rhythm waltz").status, 2);
  fs::remove_all(folder);
}

}  // namespace
