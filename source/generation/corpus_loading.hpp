#pragma once
// Loading the two corpora from the bytes of "pc.bin" and "cc.bin". Each loader replaces the
// process-wide corpus when the bytes are a valid file and leaves it empty otherwise.
#include <cstdint>
#include <span>

namespace tw {

// True when the bytes held a valid continuation corpus and it is now loaded.
bool loadContinuationCorpus(std::span<const std::uint8_t> bytes);

// True when the bytes held a valid progression corpus and it is now loaded.
bool loadProgressionCorpus(std::span<const std::uint8_t> bytes);

}  // namespace tw
