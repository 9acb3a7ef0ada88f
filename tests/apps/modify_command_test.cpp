// The modify subcommand, run as a user runs it.
#include <gtest/gtest.h>

#include "apps/command_runner.hpp"

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

namespace {

using Run = tw::testing::CommandRun;

Run runCommand(const std::string& arguments) { return tw::testing::runTonalweaver(arguments); }

bool has(const Run& run, const std::string& text) { return tw::testing::contains(run, text); }

TEST(ModifyCommand, TogglesModifiersOntoTheChord) {
  const auto run = runCommand("modify Cmaj7 ninth-flat9 fifth-flat5");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(has(run, "Cmaj7b5b9\n")) << run.out;
  EXPECT_TRUE(has(run, "modifiers: third-major fifth-flat5 seventh-major7 ninth-flat9\n"));
  EXPECT_TRUE(has(run, "notes: 60 64 66 71 73 (C4 E4 Gb4 B4 Db5)\n")) << run.out;
}

TEST(ModifyCommand, ExactListReplacesTheSelection) {
  const auto run = runCommand("modify C7 third-minor --exact");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(has(run, "Cm\n")) << run.out;
}

TEST(ModifyCommand, JsonPrintsTheReply) {
  const auto run = runCommand("modify C7 third-minor --octave 3 --bass G --json");
  ASSERT_EQ(run.status, 0) << run.out;
  const auto reply = nlohmann::json::parse(run.out);
  EXPECT_EQ(reply.at("chord"), "Cm7/G");
  EXPECT_EQ(reply.at("notes").at(0), 43);
}

TEST(ModifyCommand, ListsModifiersWithTheirState) {
  const auto run = runCommand("modify C7");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(has(run, "seventh-flat7       7      seventh     active")) << run.out;
  EXPECT_TRUE(has(run, "sixth-6             6      sixth       disabled")) << run.out;
  EXPECT_TRUE(has(run, "third-minor         ♭3     third")) << run.out;
}

TEST(ModifyCommand, BadInputFailsWithAMessage) {
  struct Case { const char* arguments; const char* message; };
  const Case cases[] = {
      {"modify", "CHORD is required"},
      {"modify X7", "Invalid chord: X7"},
      {"modify C7 ninth-b9", "Unknown modifier: ninth-b9"},
      {"modify C ninth-9 --bass H", "Invalid bass: H"},
      {"modify C ninth-9 --style Closed", "--style takes a voicing style"},
      {"modify C ninth-9 --octave four", "--octave needs a whole number"},
      {"modify C ninth-9 --octave", "--octave needs a value"},
      {"modify C --frobnicate", "unknown option '--frobnicate'"},
      {"modify C seventh-dim7", "Unable to apply modifiers to chord quality"},
      {"modify C --bass E", "need at least one modifier id"},
  };
  for (const auto& c : cases) {
    const auto run = runCommand(c.arguments);
    EXPECT_NE(run.status, 0) << c.arguments;
    EXPECT_TRUE(has(run, c.message)) << c.arguments << "\n" << run.out;
  }
}

TEST(ModifyCommand, HelpShowsExamples) {
  const auto run = runCommand("modify --help");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(has(run, "usage: tonalweaver modify [OPTIONS] CHORD [MODIFIER...]"));
  EXPECT_TRUE(has(run, "examples:"));
}

}  // namespace
