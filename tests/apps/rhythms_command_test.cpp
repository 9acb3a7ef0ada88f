// The rhythms subcommand, run as a user runs it.
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

TEST(RhythmsCommand, ListsTheCatalogue) {
  const auto run = runCommand("rhythms");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(has(run, "0     none            Whole Note              Basic            0+16\n"))
      << run.out;
  EXPECT_TRUE(has(run, "split-5         Split - Gospel          Split Voice      "
                       "0+6 bass; 2+4 upper; 8+4 bass; 8+4 top; 12+4 upper\n"));
}

TEST(RhythmsCommand, JsonHoldsFortyPatterns) {
  const auto run = runCommand("rhythms --json");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(nlohmann::json::parse(run.out).at("patterns").size(), 40u);
}

TEST(RhythmsCommand, RejectsUnknownArguments) {
  const auto run = runCommand("rhythms --fast");
  EXPECT_NE(run.status, 0);
  EXPECT_TRUE(has(run, "unknown option '--fast'"));
  EXPECT_EQ(runCommand("rhythms --help").status, 0);
}

}  // namespace
