// Parse speed over the whole chord vocabulary: every catalogue symbol and every alias
// spelling after several roots, with and without a slash bass.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "chord/chart_reader.hpp"
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

// The chord tokens of the lead-sheet collection, in file order ("NC" and bar lines left out);
// without the data sets, the chart table's spellings on a few roots with some plain symbols.
const std::vector<std::string>& leadSheetSymbols() {
  static const std::vector<std::string> symbols = [] {
    namespace fs = std::filesystem;
    std::vector<std::string> out;
    const fs::path root = fs::path(TONALWEAVER_DATASETS_DIR) / "jazz-corpus" / "SongDB";
    std::error_code error;
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
      if (it->is_regular_file(error)) files.push_back(it->path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      std::ifstream in(file);
      std::string line, word;
      while (std::getline(in, line)) {
        if (line.find('=') != std::string::npos) continue;
        std::istringstream words(line);
        while (words >> word)
          if (word != "|" && word != "NC") out.push_back(word);
      }
    }
    if (out.empty())
      for (const char* root : {"C", "F#", "Bb", "e"}) {
        for (const tw::ChartSpelling& row : tw::chartSpellings()) out.push_back(root + std::string(row.chart));
        for (const char* plain : {"7", "m7", "maj7", "m7b5", "7b9", "", "6", "o7"}) out.push_back(root + std::string(plain));
      }
    return out;
  }();
  return symbols;
}

// The parser alone, then the chart reader (the parser, and the table for what it rejects).
void BM_ParseLeadSheetSymbols(benchmark::State& state) { parseAll(state, leadSheetSymbols()); }

void BM_ReadChartLeadSheetSymbols(benchmark::State& state) {
  const auto& symbols = leadSheetSymbols();
  std::size_t read = 0;
  for (auto _ : state) {
    for (const std::string& symbol : symbols) {
      auto chord = tw::readChartChord(symbol);
      read += chord.chord.has_value();
      benchmark::DoNotOptimize(chord);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * symbols.size()));
  state.counters["symbols"] = static_cast<double>(symbols.size());
  state.counters["read"] = benchmark::Counter(static_cast<double>(read), benchmark::Counter::kAvgIterations);
}

// Only chart spellings: what a rewrite costs over parsing the rewritten text directly.
std::vector<std::string> chartSpellingSymbols(bool rewritten) {
  std::vector<std::string> out;
  for (const char* root : {"C", "F#", "Bb", "e"})
    for (const char* bass : {"", "/E"})
      for (const tw::ChartSpelling& row : tw::chartSpellings())
        out.push_back(root + std::string(rewritten ? row.catalogue : row.chart) + bass);
  return out;
}

void BM_ParseRewrittenSpellings(benchmark::State& state) {
  static const std::vector<std::string> symbols = chartSpellingSymbols(true);
  parseAll(state, symbols);
}

void BM_ReadChartSpellings(benchmark::State& state) {
  static const std::vector<std::string> symbols = chartSpellingSymbols(false);
  for (auto _ : state)
    for (const std::string& symbol : symbols) benchmark::DoNotOptimize(tw::readChartChord(symbol));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * symbols.size()));
}

}  // namespace

BENCHMARK(BM_ParseLeadSheetSymbols);
BENCHMARK(BM_ReadChartLeadSheetSymbols);
BENCHMARK(BM_ParseRewrittenSpellings);
BENCHMARK(BM_ReadChartSpellings);
BENCHMARK(BM_ParseVocabulary);
BENCHMARK(BM_ParseVocabularyWithSlashBass);
BENCHMARK(BM_ParseVocabularyMixed);
BENCHMARK(BM_ResolveQuality);

BENCHMARK_MAIN();
