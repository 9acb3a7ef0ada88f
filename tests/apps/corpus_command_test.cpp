// tonalweaver corpus, run as a user runs it.
#include <gtest/gtest.h>

#include "apps/command_runner.hpp"

#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

using tw::testing::runTonalweaver;

TEST(CorpusCommand, EverySubcommandAnswersHelp) {
  for (const char* arguments : {"corpus --help", "corpus build --help", "corpus evaluate --help"}) {
    const auto run = runTonalweaver(arguments);
    EXPECT_EQ(run.status, 0) << arguments;
    EXPECT_TRUE(tw::testing::contains(run, "usage: tonalweaver corpus build")) << arguments;
  }
  EXPECT_EQ(runTonalweaver("corpus build --fast").status, 2);
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

}  // namespace
