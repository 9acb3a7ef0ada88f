// The process-wide corpora: written only by the loaders (at object creation), read by the
// generator and the suggestion engine.
#include "generation/corpus_loading.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace tw {

namespace {
ContinuationCorpus& continuationStore() {
  static ContinuationCorpus corpus;
  return corpus;
}

std::uint64_t& continuationLoadCount() {
  static std::uint64_t count = 0;
  return count;
}

ProgressionCorpus& progressionStore() {
  static ProgressionCorpus corpus;
  return corpus;
}
}  // namespace

void installContinuationCorpus(ContinuationCorpus corpus) {
  continuationStore() = std::move(corpus);
  ++continuationLoadCount();
}

void installProgressionCorpus(ProgressionCorpus corpus) { progressionStore() = std::move(corpus); }

bool loadContinuationCorpus(std::span<const std::uint8_t> bytes) {
  auto decoded = decodeContinuationCorpus(bytes);
  installContinuationCorpus(decoded ? std::move(*decoded) : ContinuationCorpus{});
  return decoded.has_value();
}

bool loadProgressionCorpus(std::span<const std::uint8_t> bytes) {
  auto decoded = decodeProgressionCorpus(bytes);
  installProgressionCorpus(decoded ? std::move(*decoded) : ProgressionCorpus{});
  return decoded.has_value();
}

const ContinuationCorpus& continuationCorpus() { return continuationStore(); }
const ProgressionCorpus& progressionCorpus() { return progressionStore(); }
std::uint64_t continuationCorpusLoads() { return continuationLoadCount(); }

std::vector<std::uint8_t> readCorpusFile(const std::string& path) {
  // Only a regular file: a folder opens as a stream, then throws on the first read.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (in.bad()) return {};
  return bytes;
}

int loadCorpusFolder(const std::string& folder) {
  std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  int loaded = 0;
  loaded += loadProgressionCorpus(readCorpusFile(base + "pc.bin")) ? 1 : 0;
  loaded += loadContinuationCorpus(readCorpusFile(base + "cc.bin")) ? 1 : 0;
  return loaded;
}

}  // namespace tw
