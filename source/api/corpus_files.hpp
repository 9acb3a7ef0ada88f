#pragma once
// The corpus files on disk: the engine takes only their bytes, so reading them happens here.
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

// The whole content of a regular file; empty when it cannot be read.
std::vector<std::uint8_t> readCorpusFile(const std::string& path);

// Loads "pc.bin" and "cc.bin" from a folder; a missing or bad file leaves its corpus empty.
// Returns how many of the two loaded.
int loadCorpusFolder(const std::string& folder);

}  // namespace tw
