// Provisional loaders: no corpus format is readable yet, so every file is rejected and the
// corpora stay empty.
#include "generation/corpus_loading.hpp"

namespace tw {

bool loadContinuationCorpus(std::span<const std::uint8_t>) { return false; }

bool loadProgressionCorpus(std::span<const std::uint8_t>) { return false; }

}  // namespace tw
