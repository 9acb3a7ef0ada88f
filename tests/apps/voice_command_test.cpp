// `tonalweaver voice` run as a process: output, JSON, help and failures.
#include <gtest/gtest.h>

#include "apps/command_runner.hpp"

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

using tw::testing::CommandRun;

CommandRun voice(const std::string& args) { return tw::testing::runTonalweaver("voice " + args); }

TEST(VoiceCommand, PrintsNotesWithNames) {
  CommandRun r = voice("C --style closed");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "60 C4  64 E4  67 G4\n");
  r = voice("Ebmaj7 --octave 3");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "51 Eb3  55 G3  58 Bb3  62 D4\n");
}

TEST(VoiceCommand, JsonIsTheRequestReply) {
  CommandRun r = voice("C --style drop24 --json");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\"style\":\"drop24\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"notes\":[48,55,64,72]"), std::string::npos) << r.out;
}

TEST(VoiceCommand, HelpHasExamples) {
  CommandRun r = voice("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("examples:"), std::string::npos);
}

TEST(VoiceCommand, BadInputFailsClearly) {
  CommandRun r = voice("H7");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("Invalid chord or style"), std::string::npos);
  r = voice("C --style Closed");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("Invalid chord or style"), std::string::npos);
  r = voice("C --octave high");
  EXPECT_EQ(r.status, 2);
  r = voice("");
  EXPECT_EQ(r.status, 2);
  r = voice("C --frobnicate");
  EXPECT_EQ(r.status, 2);
}

TEST(VoiceCommand, ReadsAChartSpellingUnlessStrict) {
  CommandRun r = voice("Bbm/maj7");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(tw::testing::contains(r, "read Bbm/maj7 as BbmM7")) << r.out;
  EXPECT_TRUE(tw::testing::contains(r, "70 Bb4  73 Db5  77 F5  81 A5")) << r.out;
  r = voice("Bbm/maj7 --strict");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(tw::testing::contains(r, "read Bbm/maj7")) << r.out;
}

}  // namespace
