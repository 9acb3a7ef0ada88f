// Corpus loading, local generation and suggestions with voicings.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "generation/corpus_loading.hpp"
#include "generation/local_progression_generator.hpp"
#include "generation/random_source.hpp"
#include "generation/recent_progressions.hpp"
#include "generation/suggestion_engine.hpp"

namespace {

std::string resourceFolder() {
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("resources") : (self.parent_path() / "resources").string();
}

const std::vector<std::uint8_t>& fileBytes(const char* name) {
  static std::vector<std::uint8_t> pc = tw::readCorpusFile(resourceFolder() + "/pc.bin");
  static std::vector<std::uint8_t> cc = tw::readCorpusFile(resourceFolder() + "/cc.bin");
  return std::string_view(name) == "pc.bin" ? pc : cc;
}

bool loadBoth() {
  bool ok = tw::loadProgressionCorpus(fileBytes("pc.bin"));
  return tw::loadContinuationCorpus(fileBytes("cc.bin")) && ok;
}

void BM_LoadBothCorpora(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(loadBoth());
  if (!loadBoth()) state.SkipWithError("corpus files missing from the resources folder");
  state.counters["pc_bytes"] = static_cast<double>(fileBytes("pc.bin").size());
  state.counters["cc_bytes"] = static_cast<double>(fileBytes("cc.bin").size());
}
BENCHMARK(BM_LoadBothCorpora)->Unit(benchmark::kMillisecond);

void BM_LoadBothCorporaFromFiles(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tw::loadCorpusFolder(resourceFolder()));
}
BENCHMARK(BM_LoadBothCorporaFromFiles)->Unit(benchmark::kMillisecond);

void BM_GenerateLocalProgression(benchmark::State& state) {
  if (!loadBoth()) state.SkipWithError("corpus files missing from the resources folder");
  tw::ScopedRandomSeed seed(2026);
  const char* genres[] = {"Pop + EDM", "Classical", "Rock", "Jazz + Neo Soul"};
  const int lengths[] = {4, 6, 8};
  std::size_t n = 0;
  for (auto _ : state) {
    tw::Json request{{"genre", genres[n % 4]}, {"length", lengths[n % 3]}, {"temperature", 0.4},
                     {"key", {{"root", "Eb"}, {"mode", n % 5 == 0 ? "minor" : "major"}}}};
    benchmark::DoNotOptimize(tw::handleGenerateLocalProgression(request));
    ++n;
  }
  tw::recentProgressions().clear();
}
BENCHMARK(BM_GenerateLocalProgression)->Unit(benchmark::kMicrosecond);

void BM_SuggestionsWithVoicings(benchmark::State& state) {
  if (!loadBoth()) state.SkipWithError("corpus files missing from the resources folder");
  const char* styles[] = {"closed", "shell", "pop"};
  tw::Json request{{"prevChords", {"Cmaj7", "Am7", "Dm7", "G7"}}, {"nextChord", "Cmaj7"}, {"root", "C"},
                   {"voicingStyle", styles[state.range(0)]}};
  for (auto _ : state) benchmark::DoNotOptimize(tw::handleGetSuggestions(request));
}
BENCHMARK(BM_SuggestionsWithVoicings)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_SuggestionsShuffled(benchmark::State& state) {
  if (!loadBoth()) state.SkipWithError("corpus files missing from the resources folder");
  tw::ScopedRandomSeed seed(7);
  tw::Json request{{"prevChords", {"Am", "F"}}, {"root", "A"}, {"mode", "minor"}, {"shuffleMode", true}};
  for (auto _ : state) benchmark::DoNotOptimize(tw::handleGetSuggestions(request));
}
BENCHMARK(BM_SuggestionsShuffled)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
