// Every subcommand's command line, read as a user types it: help, and usage errors told in one
// line with a pointer to the help and exit status 2.
#include <gtest/gtest.h>

#include <string>

#include "apps/command_runner.hpp"

namespace {

using tw::testing::runTonalweaver;

TEST(CommandLine, UsageErrorsAreOneLineThenAPointerToTheHelp) {
  struct Case {
    const char* arguments;
    const char* command;  // whose help the pointer names
    const char* message;
  };
  const Case cases[] = {
      {"voice C --frobnicate", "voice", "unknown option '--frobnicate'"},
      {"progression C --tempo", "progression", "--tempo needs a value"},
      {"suggest Dm7 --seed seven", "suggest", "--seed needs a whole number, not 'seven'"},
      {"serve --port 70000", "serve", "--port takes a whole number from 0 to 65535, not '70000'"},
      {"progression C --tempo fast", "progression", "--tempo takes beats per minute from 4 to 1000, not 'fast'"},
      {"generate --style Closed", "generate",
       "--style takes a voicing style (closed, shell, anthem, split, guide-color, velmaro), not 'Closed'"},
      {"host --clipboard paper", "host", "--clipboard takes memory or system, not 'paper'"},
      {"request", "request", "TYPE is required"},
      {"analyze Dm7 G7 --key C", "analyze", "unexpected argument 'G7' (quote an argument that holds spaces)"},
      {"rhythms all", "rhythms", "unexpected argument 'all'"},
      {"analyze C --detect --key C", "analyze", "give either --key or --detect, not both"},
      {"generate --rhythm funk-2", "generate", "--rhythm requires --midi"},
      {"modify --bass", "modify", "--bass needs a value"},
      {"corpus", "corpus", "name an action: build, dump, evaluate or coverage"},
      {"corpus check", "corpus", "unknown action 'check' (build, dump, evaluate or coverage)"},
      {"corpus evaluate --cases -1", "corpus evaluate", "--cases takes a whole number of 0 or more, not '-1'"},
      {"corpus dump", "corpus dump", "FILE is required"},
  };
  for (const Case& c : cases) {
    const auto run = runTonalweaver(c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_EQ(run.out, "tonalweaver " + std::string(c.command) + ": " + c.message + "\nTry 'tonalweaver " +
                           c.command + " --help'.\n")
        << c.arguments;
  }
  const auto unknown = runTonalweaver("chords");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.out, "tonalweaver: unknown command 'chords'\nTry 'tonalweaver --help'.\n");
}

TEST(CommandLine, EveryCommandAnswersHelpWithItsUsageAndExamples) {
  for (const char* command : {"analyze", "corpus", "generate", "host", "modify", "progression", "request",
                              "rhythms", "serve", "suggest", "voice"}) {
    for (const char* flag : {" --help", " -h"}) {
      const auto run = runTonalweaver(command + std::string(flag));
      EXPECT_EQ(run.status, 0) << command << flag;
      EXPECT_EQ(run.out.rfind("usage: tonalweaver " + std::string(command) + " ", 0), 0u) << run.out;
      EXPECT_TRUE(tw::testing::contains(run, "\nexamples:\n  ")) << command;
    }
    EXPECT_TRUE(tw::testing::contains(runTonalweaver("--help"), "\n  " + std::string(command) + " ")) << command;
  }
  EXPECT_EQ(runTonalweaver("voice --help --octave x").out, runTonalweaver("voice --help").out);
  EXPECT_EQ(runTonalweaver("corpus build --help --out").out, runTonalweaver("corpus build --help").out);
  const auto bare = runTonalweaver("");
  EXPECT_EQ(bare.status, 2);
  EXPECT_EQ(bare.out.rfind("usage: tonalweaver ", 0), 0u) << bare.out;
}

TEST(CommandLine, NumbersAreDecimalAndTheLastOfARepeatedOptionCounts) {
  // Read as octal, 010 would be 8 chords and 08 no number at all.
  const auto ten = runTonalweaver("generate --genre Rock --length 010 --seed 3");
  EXPECT_EQ(ten.status, 0) << ten.out;
  EXPECT_EQ(ten.out, runTonalweaver("generate --genre Rock --length 10 --seed 3").out);
  EXPECT_NE(ten.out, runTonalweaver("generate --genre Rock --length 8 --seed 3").out);
  EXPECT_EQ(runTonalweaver("generate --genre Rock --length 08 --seed 3").out,
            runTonalweaver("generate --genre Rock --length 8 --seed 3").out);
  EXPECT_EQ(runTonalweaver("voice C --octave 2 --octave 5").out, runTonalweaver("voice C --octave 5").out);
  EXPECT_EQ(runTonalweaver("voice C --inversion=-1").out, runTonalweaver("voice C --inversion -1").out);
}

}  // namespace
