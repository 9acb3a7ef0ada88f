// The process-wide corpora: written only by the loaders (at object creation), read by the
// generator and the suggestion engine.
#include "generation/corpus_loading.hpp"


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

}  // namespace tw
