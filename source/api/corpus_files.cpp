#include "api/corpus_files.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "generation/corpus_loading.hpp"

namespace tw {

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
