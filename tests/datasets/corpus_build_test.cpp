// The shipped corpus files are exactly what the builder makes from the data sets.
#include <gtest/gtest.h>

#include <filesystem>

#include "datasets/corpus_builder.hpp"
#include "api/corpus_files.hpp"
#include "generation/corpus_loading.hpp"

namespace tw {
namespace {

TEST(CorpusBuild, ShippedFilesAreRebuiltByteForByte) {
  if (!std::filesystem::is_directory(TONALWEAVER_DATASETS_DIR))
    GTEST_SKIP() << "no data sets at " << TONALWEAVER_DATASETS_DIR;
  BuiltCorpora built = buildCorpora(TONALWEAVER_DATASETS_DIR);
  auto shippedPc = readCorpusFile(std::string(TONALWEAVER_SOURCE_DIR) + "/data/pc.bin");
  auto shippedCc = readCorpusFile(std::string(TONALWEAVER_SOURCE_DIR) + "/data/cc.bin");
  ASSERT_FALSE(shippedPc.empty());
  ASSERT_FALSE(shippedCc.empty());
  EXPECT_TRUE(encodeProgressionCorpus(built.progressions) == shippedPc);
  EXPECT_TRUE(encodeContinuationCorpus(built.continuations) == shippedCc);

  // Every data set was read, a tenth of it held out, and no chord went unnamed silently.
  ASSERT_EQ(built.datasets.size(), 4u);
  for (const auto& d : built.datasets) {
    EXPECT_TRUE(d.found) << d.name;
    EXPECT_EQ(d.piecesHeldOut, (d.piecesUsed + d.piecesHeldOut + 9) / 10) << d.name;
    EXPECT_LT(d.rejectedCount * 20, d.chordsRead) << d.name;
  }
  for (const auto& genre : {"popedm", "classical", "rock", "jazzneosoul"})
    for (int length : kProgressionLengths) {
      const auto* list = built.progressions.find(genre, length);
      ASSERT_NE(list, nullptr) << genre << length;
      EXPECT_GE(list->size(), 200u) << genre << length;
    }
}

TEST(CorpusBuild, ShippedFilesLoad) {
  auto pc = readCorpusFile(std::string(TONALWEAVER_SOURCE_DIR) + "/data/pc.bin");
  auto cc = readCorpusFile(std::string(TONALWEAVER_SOURCE_DIR) + "/data/cc.bin");
  EXPECT_TRUE(decodeProgressionCorpus(pc).has_value());
  EXPECT_TRUE(decodeContinuationCorpus(cc).has_value());
}

TEST(CorpusBuild, MissingDataSetsGiveEmptyCorpora) {
  BuiltCorpora built = buildCorpora("/nonexistent/datasets");
  EXPECT_TRUE(built.progressions.empty());
  EXPECT_TRUE(built.continuations.empty());
  for (const auto& d : built.datasets) EXPECT_FALSE(d.found);
}

}  // namespace
}  // namespace tw
