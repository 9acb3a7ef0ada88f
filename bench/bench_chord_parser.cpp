// Parse speed over the whole chord vocabulary: every catalogue symbol and every alias
// spelling after several roots, with and without a slash bass.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/quality_catalogue.hpp"

namespace {

std::vector<std::string> vocabulary(const std::vector<std::string>& basses) {
  std::vector<std::string> suffixes;
  for (const tw::ChordQuality& quality : tw::supportedQualities()) suffixes.push_back(quality.symbol);
  for (const auto& [key, symbol] : tw::qualityAliasMap()) suffixes.push_back(key);

  std::vector<std::string> symbols;
  for (const char* root : {"C", "F#", "Bb", "e", "Ab"})
    for (const std::string& suffix : suffixes)
      for (const std::string& bass : basses) symbols.push_back(root + suffix + bass);
  return symbols;
}

void parseAll(benchmark::State& state, const std::vector<std::string>& symbols) {
  std::size_t parsed = 0;
  for (auto _ : state) {
    for (const std::string& symbol : symbols) {
      auto chord = tw::parseChordSymbol(symbol);
      parsed += chord.has_value();
      benchmark::DoNotOptimize(chord);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * symbols.size()));
  state.counters["symbols"] = static_cast<double>(symbols.size());
  state.counters["parsed"] =
      benchmark::Counter(static_cast<double>(parsed), benchmark::Counter::kAvgIterations);
}

void BM_ParseVocabulary(benchmark::State& state) {
  static const std::vector<std::string> symbols = vocabulary({""});
  parseAll(state, symbols);
}

void BM_ParseVocabularyWithSlashBass(benchmark::State& state) {
  static const std::vector<std::string> symbols = vocabulary({"/E", "/Bb"});
  parseAll(state, symbols);
}

void BM_ParseVocabularyMixed(benchmark::State& state) {
  static const std::vector<std::string> symbols = vocabulary({"", "/E", "/Bb"});
  parseAll(state, symbols);
}

void BM_ResolveQuality(benchmark::State& state) {
  std::vector<std::string> suffixes;
  for (const tw::ChordQuality& quality : tw::supportedQualities()) suffixes.push_back(quality.symbol);
  for (const auto& [key, symbol] : tw::qualityAliasMap()) suffixes.push_back(key);
  for (auto _ : state)
    for (const std::string& suffix : suffixes) benchmark::DoNotOptimize(tw::resolveQuality(suffix));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * suffixes.size()));
}

}  // namespace

BENCHMARK(BM_ParseVocabulary);
BENCHMARK(BM_ParseVocabularyWithSlashBass);
BENCHMARK(BM_ParseVocabularyMixed);
BENCHMARK(BM_ResolveQuality);

BENCHMARK_MAIN();
