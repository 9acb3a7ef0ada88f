#include "tonalweaver/corpora.hpp"

#include "api/guarded_call.hpp"
#include "api/corpus_files.hpp"
#include "generation/corpus_loading.hpp"

namespace tonalweaver {

namespace {

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::vector<std::uint8_t> bytes = tw::readCorpusFile(path);
  if (bytes.empty()) internal::fail("Cannot read the corpus file " + path + " (missing, unreadable or empty)");
  return bytes;
}

// Both files decoded before either replaces what is loaded.
CorpusSummary install(std::span<const std::uint8_t> progressionFile,
                      std::span<const std::uint8_t> continuationFile, const std::string& progressionName,
                      const std::string& continuationName) {
  auto progressions = tw::decodeProgressionCorpus(progressionFile);
  if (!progressions) internal::fail("Not a valid progression corpus: " + progressionName);
  auto continuations = tw::decodeContinuationCorpus(continuationFile);
  if (!continuations) internal::fail("Not a valid continuation corpus: " + continuationName);

  CorpusSummary summary;
  for (const auto& [genre, groups] : progressions->genres())
    for (const auto& [length, stored] : groups) summary.progressions += stored.size();
  summary.numerals = continuations->entries().size();
  tw::installProgressionCorpus(std::move(*progressions));
  tw::installContinuationCorpus(std::move(*continuations));
  return summary;
}

std::string inFolder(const std::string& folder, const char* name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

Result<CorpusSummary> loadCorpora(const std::string& folder) {
  return internal::guardedCall([&] {
    const std::string progressionPath = inFolder(folder, "pc.bin");
    const std::string continuationPath = inFolder(folder, "cc.bin");
    const std::vector<std::uint8_t> progressionFile = readFile(progressionPath);
    const std::vector<std::uint8_t> continuationFile = readFile(continuationPath);
    return install(progressionFile, continuationFile, progressionPath, continuationPath);
  });
}

Result<CorpusSummary> loadCorpora(std::span<const std::uint8_t> progressionFile,
                                  std::span<const std::uint8_t> continuationFile) {
  return internal::guardedCall([&] {
    return install(progressionFile, continuationFile, "the bytes given", "the bytes given");
  });
}

}  // namespace tonalweaver
