#pragma once
// The two corpus files behind generation and suggestions, loaded into the process.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "tonalweaver/result.hpp"

namespace tonalweaver {

// What a loaded pair of corpora holds.
struct CorpusSummary {
  std::size_t progressions = 0;  // stored progressions, every genre and length (pc.bin)
  std::size_t numerals = 0;      // numerals that have continuations (cc.bin)
};

// Loads "pc.bin" (the progressions generateProgression draws from) and "cc.bin" (the
// continuations behind smart suggestions) from a folder, for the whole process. The installed
// package puts them in share/tonalweaver; its CMake package names that folder in
// `tonalweaver_CORPUS_DIR`, its pkg-config file in the variable `corpusdir`. Nothing loaded is
// replaced unless both files read and check out; fails naming the file otherwise.
Result<CorpusSummary> loadCorpora(const std::string& folder);

// The same from the files' bytes (for corpora embedded in a program or read by the caller).
Result<CorpusSummary> loadCorpora(std::span<const std::uint8_t> progressionFile,
                                  std::span<const std::uint8_t> continuationFile);

}  // namespace tonalweaver
