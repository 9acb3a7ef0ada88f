// `tonalweaver analyze` run as a process: output, key detection, JSON, help and failures.
#include <gtest/gtest.h>

#include "apps/command_runner.hpp"

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

namespace {

using tw::testing::CommandRun;

CommandRun analyze(const std::string& args, const std::string& stdinText = {}) {
  return tw::testing::runTonalweaver("analyze " + args, stdinText);
}

TEST(AnalyzeCommand, OneLinePerChord) {
  const CommandRun r = analyze("'Dm7 G7 | Cmaj7 %' --key C");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out,
            "Dm7           iim7        2\n"
            "G7            V7          5\n"
            "Cmaj7         Imaj7       1\n"
            "Cmaj7         Imaj7       1\n");
}

TEST(AnalyzeCommand, KeysWithModes) {
  CommandRun r = analyze("'Fm7 Bb7 Ebmaj7' --key 'Eb major'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Fm7           iim7        2"), std::string::npos) << r.out;
  r = analyze("'Am Dm E7 Am' --key 'A minor'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("E7            V7          5"), std::string::npos) << r.out;
  r = analyze("'A C#' --key Am");
  EXPECT_EQ(r.out, "Amaj          I           1\nC#maj         ♯III        0\n") << r.out;
}

TEST(AnalyzeCommand, DetectPrintsTheKeyFirst) {
  const CommandRun r = analyze("'Am Dm E7 Am' --detect");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind("Key: A minor\n", 0), 0u) << r.out;
}

TEST(AnalyzeCommand, ReadsStandardInput) {
  CommandRun r = analyze("--key C", "C Am F G7");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("G7            V7          5"), std::string::npos) << r.out;
  r = analyze("- --key C", "C");
  EXPECT_EQ(r.status, 0) << r.out;
}

TEST(AnalyzeCommand, JsonIsTheReplyEnvelope) {
  const CommandRun r = analyze("'C/E G7' --key C --json");
  EXPECT_EQ(r.status, 0) << r.out;
  const auto envelope = nlohmann::json::parse(r.out);
  EXPECT_EQ(envelope["type"], "parse_progression_result");
  EXPECT_EQ(envelope["ok"], true);
  EXPECT_EQ(envelope["payload"]["chords"][0]["roman"], "I/E");
  EXPECT_EQ(r.out.find("\xe2"), std::string::npos) << "non-ASCII must be escaped";
}

TEST(AnalyzeCommand, HelpHasExamples) {
  const CommandRun r = analyze("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("examples:"), std::string::npos);
}

TEST(AnalyzeCommand, BadArgumentsFailClearly) {
  for (const char* args : {"C --key", "C --key H", "C --key 'C dorian'", "C --detect --key C", "C --frobnicate",
                           "C G --key C", "C --spelling weird"}) {
    const CommandRun r = analyze(args);
    EXPECT_EQ(r.status, 2) << args << ": " << r.out;
    EXPECT_NE(r.out.find("tonalweaver analyze:"), std::string::npos) << args;
  }
}

TEST(AnalyzeCommand, BadChordsAreReported) {
  CommandRun r = analyze("'C Xyz G' --key C");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("not a chord: Xyz"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Gmaj"), std::string::npos) << r.out;
  r = analyze("'| |' --key C");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("no chords"), std::string::npos) << r.out;
  r = analyze("'% %' --detect");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Progression is empty"), std::string::npos) << r.out;
  // Bytes that are not UTF-8 cannot be written back as JSON: a clear failure, no crash.
  r = analyze("--key C --json", "C \xff G");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("tonalweaver analyze:"), std::string::npos) << r.out;
}

TEST(AnalyzeCommand, ReadsChartSpellingsUnlessStrict) {
  CommandRun r = analyze("'Dm7 G7+ | Cm/maj7' --key C");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(tw::testing::contains(r, "read G7+ as G7#5")) << r.out;
  EXPECT_TRUE(tw::testing::contains(r, "G7#5")) << r.out;
  EXPECT_TRUE(tw::testing::contains(r, "CmM7")) << r.out;
  r = analyze("'Dm7 G7+ | Cm/maj7' --key C --strict");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(tw::testing::contains(r, "not a chord: G7+")) << r.out;
  EXPECT_FALSE(tw::testing::contains(r, "read G7+")) << r.out;
}

}  // namespace
