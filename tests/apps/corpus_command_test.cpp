// tonalweaver corpus, run as a user runs it.
#include <gtest/gtest.h>

#include "apps/command_runner.hpp"

#include <unistd.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

namespace {

using tw::testing::runTonalweaver;

TEST(CorpusCommand, EverySubcommandAnswersHelp) {
  for (const char* action : {"", " build", " dump", " evaluate", " coverage"}) {
    const auto run = runTonalweaver(std::string("corpus") + action + " --help");
    EXPECT_EQ(run.status, 0) << action;
    EXPECT_TRUE(tw::testing::contains(run, std::string("usage: tonalweaver corpus") + action + " [OPTIONS]")) << action;
  }
  EXPECT_EQ(runTonalweaver("corpus build --fast").status, 2);
}

TEST(CorpusCommand, AFolderWhereACorpusFileShouldBeIsNoCorpus) {
  const auto folder = std::filesystem::temp_directory_path() / ("tw-corpus-folder-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder / "cc.bin");
  const auto dump = runTonalweaver("corpus dump '" + (folder / "cc.bin").string() + "'");
  EXPECT_EQ(dump.status, 1) << dump.out;
  EXPECT_TRUE(tw::testing::contains(dump, "cannot read")) << dump.out;
  const auto suggest = runTonalweaver("suggest Dm7 --corpus '" + folder.string() + "'");
  EXPECT_EQ(suggest.status, 0) << suggest.out;
  EXPECT_TRUE(tw::testing::contains(suggest, "no continuation corpus")) << suggest.out;
  std::filesystem::remove_all(folder);
}

TEST(CorpusCommand, BuildMakesANewOutputFolderAndMatchesTheShippedCorpora) {
  const std::filesystem::path datasets = TONALWEAVER_DATASETS_DIR;
  if (!std::filesystem::is_directory(datasets)) GTEST_SKIP() << "the data sets are not on this machine";
  const auto out = std::filesystem::temp_directory_path() / ("tw-corpus-" + std::to_string(getpid())) / "new";
  const auto run = runTonalweaver("corpus build --out '" + out.string() + "' --datasets '" + datasets.string() + "'");
  ASSERT_EQ(run.status, 0) << run.out;
  // The build is deterministic: the files in data/ are what it makes.
  for (const char* name : {"pc.bin", "cc.bin"})
    EXPECT_EQ(runTonalweaver(std::string("corpus dump '") + (out / name).string() + "'").out,
              runTonalweaver(std::string("corpus dump '") + TONALWEAVER_SOURCE_DIR + "/data/" + name + "'").out)
        << name;
  std::filesystem::remove_all(out.parent_path());
}

// The chart reader's goal on the lead-sheet collection: 99.9% of the chord occurrences and
// 99% of the tunes read in full, where the catalogue's spellings alone read fewer.
TEST(CorpusCommand, CoverageMeetsTheChartReadersGoal) {
  const std::filesystem::path datasets = TONALWEAVER_DATASETS_DIR;
  if (!std::filesystem::is_directory(datasets / "jazz-corpus")) GTEST_SKIP() << "the data sets are not on this machine";
  const auto run = runTonalweaver("corpus coverage --json --top 5 --datasets '" + datasets.string() + "'");
  ASSERT_EQ(run.status, 0) << run.out;
  const auto figures = nlohmann::json::parse(run.out);
  const auto& chart = figures["chartReader"];
  const auto& catalogue = figures["catalogue"];
  EXPECT_GE(chart["read"].get<double>(), 0.999 * chart["occurrences"].get<double>());
  EXPECT_GE(chart["tunesFullyRead"].get<double>(), 0.99 * chart["tunes"].get<double>());
  EXPECT_LT(catalogue["read"].get<long>(), chart["read"].get<long>());
  EXPECT_EQ(catalogue["occurrences"], chart["occurrences"]);
  EXPECT_EQ(catalogue["mostUnread"][0]["quality"], "7+");
  EXPECT_LE(chart["mostUnread"].size(), 5u);
  // The tenth the corpus build holds out is measured apart.
  const auto& heldOut = figures["heldOut"];
  EXPECT_EQ(heldOut["chartReader"]["tunes"].get<long>(), (chart["tunes"].get<long>() + 9) / 10);
  EXPECT_GT(heldOut["chartReader"]["read"].get<long>(), heldOut["catalogue"]["read"].get<long>());
  EXPECT_EQ(runTonalweaver("corpus coverage --datasets /nonexistent").status, 1);
  EXPECT_EQ(runTonalweaver("corpus coverage --top many").status, 2);
}

}  // namespace
