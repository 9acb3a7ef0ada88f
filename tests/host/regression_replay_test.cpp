// Replays every fuzz seed (fuzz/seeds/<target>/) and every minimised finding
// (tests/regressions/<target>/) through the entry point it was fuzzed on, with the same
// property checks the fuzz targets make, so a fixed fault stays fixed without a fuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "../../fuzz/entry_drivers.hpp"
#include "../../fuzz/host_message_driver.hpp"
#include "../../fuzz/web_request_driver.hpp"

namespace tw::fuzzing {
namespace {

namespace fs = std::filesystem;

struct ReplayTarget {
  const char* name;
  void (*run)(Bytes, Violations&);
};

// One row per fuzz target: fuzz/<name>_fuzzer.cpp runs the same driver.
const ReplayTarget kTargets[] = {
    {"chord_symbol", runChordSymbolInput},
    {"progression_text", runProgressionTextInput},
    {"request", runRequestInput},
    {"host_message", runHostMessageInput},
    {"continuation_corpus", runContinuationCorpusInput},
    {"progression_corpus", runProgressionCorpusInput},
    {"web_request", runWebRequestInput},
};

const fs::path kSourceDir = TONALWEAVER_SOURCE_DIR;
const fs::path kSeedsDir = kSourceDir / "fuzz" / "seeds";
const fs::path kRegressionsDir = kSourceDir / "tests" / "regressions";

// Every regular file of a folder, in name order; nothing when the folder does not exist.
std::vector<fs::path> inputFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The corpus targets load into the process-wide corpora; put back what was there.
class ProcessCorporaGuard {
 public:
  ProcessCorporaGuard()
      : continuations_(encodeContinuationCorpus(continuationCorpus())),
        progressions_(encodeProgressionCorpus(progressionCorpus())),
        hadContinuations_(!continuationCorpus().empty()),
        hadProgressions_(!progressionCorpus().empty()) {}
  ~ProcessCorporaGuard() {
    loadContinuationCorpus(hadContinuations_ ? Bytes(continuations_) : Bytes());
    loadProgressionCorpus(hadProgressions_ ? Bytes(progressions_) : Bytes());
  }

 private:
  std::vector<std::uint8_t> continuations_;
  std::vector<std::uint8_t> progressions_;
  bool hadContinuations_;
  bool hadProgressions_;
};

// Runs every file of a folder through the target; returns how many ran.
std::size_t replayFolder(const ReplayTarget& target, const fs::path& folder) {
  ProcessCorporaGuard guard;
  std::size_t replayed = 0;
  for (const auto& file : inputFiles(folder)) {
    const auto bytes = readBytes(file);
    Violations found;
    target.run(bytes, found);
    EXPECT_TRUE(found.empty()) << "input " << file.string() << " (" << bytes.size() << " bytes):\n"
                               << found.text();
    ++replayed;
  }
  return replayed;
}

class ReplayTest : public ::testing::TestWithParam<ReplayTarget> {};

TEST_P(ReplayTest, EverySeedHoldsTheProperties) {
  const fs::path folder = kSeedsDir / GetParam().name;
  const std::size_t replayed = replayFolder(GetParam(), folder);
  EXPECT_GT(replayed, 0u) << "no seeds in " << folder.string();
  RecordProperty("seeds", static_cast<int>(replayed));
}

TEST_P(ReplayTest, EveryRegressionInputHoldsTheProperties) {
  // No folder simply means that fuzzing has found nothing on this target yet.
  const fs::path folder = kRegressionsDir / GetParam().name;
  const std::size_t replayed = replayFolder(GetParam(), folder);
  RecordProperty("regressions", static_cast<int>(replayed));
  std::cout << "[ replayed ] " << replayed << " regression inputs of " << GetParam().name << "\n";
}

INSTANTIATE_TEST_SUITE_P(FuzzTargets, ReplayTest, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

// Inputs in a folder that no target replays would be skipped without a word.
TEST(ReplayFolders, EveryInputFolderBelongsToATarget) {
  std::set<std::string> known;
  for (const auto& target : kTargets) known.insert(target.name);
  for (const auto& root : {kSeedsDir, kRegressionsDir}) {
    if (!fs::is_directory(root)) continue;
    for (const auto& entry : fs::directory_iterator(root)) {
      if (entry.is_directory()) {
        EXPECT_TRUE(known.count(entry.path().filename().string()))
            << entry.path().string() << " belongs to no replayed target";
      } else {
        ADD_FAILURE() << entry.path().string() << " lies outside every target's folder";
      }
    }
  }
}

TEST(ReplayFolders, EveryTargetHasItsFuzzer) {
  for (const auto& target : kTargets) {
    EXPECT_TRUE(fs::is_regular_file(kSourceDir / "fuzz" / (std::string(target.name) + "_fuzzer.cpp")))
        << target.name;
  }
}

}  // namespace
}  // namespace tw::fuzzing
