#pragma once
// Loading the two corpora from the bytes of "pc.bin" and "cc.bin". Each loader replaces the
// process-wide corpus when the bytes are a valid file and leaves it empty otherwise.
#include <cstdint>
#include <span>
#include <string>

#include "generation/continuation_corpus.hpp"
#include "generation/progression_corpus.hpp"

namespace tw {

// True when the bytes held a valid continuation corpus and it is now loaded.
bool loadContinuationCorpus(std::span<const std::uint8_t> bytes);

// True when the bytes held a valid progression corpus and it is now loaded.
bool loadProgressionCorpus(std::span<const std::uint8_t> bytes);

// Replace the process-wide corpora with ones already decoded (a caller that checks both files
// before either replaces what is loaded).
void installContinuationCorpus(ContinuationCorpus corpus);
void installProgressionCorpus(ProgressionCorpus corpus);

// The process-wide corpora (empty until a valid file is loaded).
const ContinuationCorpus& continuationCorpus();
// How many times the continuation corpus has been (re)loaded: what refers into it is stale
// once this changes.
std::uint64_t continuationCorpusLoads();
const ProgressionCorpus& progressionCorpus();

}  // namespace tw
