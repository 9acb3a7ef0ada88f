// Analysis speed on real tunes: "detect_key" and "parse_progression" end to end (JSON payload
// in, reply out) and the key-scoring core over all 36 candidate keys.
//
//   bench_analysis [benchmark flags] [JAZZ_CORPUS_FOLDER]
//
// The folder defaults to $TONALWEAVER_DATASETS_DIR/jazz-corpus, else to the datasets folder
// the build knows; the benchmarks are skipped when it is absent.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/key_detection.hpp"
#include "analysis/progression_parsing.hpp"
#include "chord/chord_parser.hpp"
#include "protocol/request_handlers.hpp"

namespace {

namespace fs = std::filesystem;

struct Tune {
  std::string progression;  // bar lines kept, only chords the engine reads
  std::string keyRoot;
  std::size_t chordCount = 0;
  tw::PreparedKeyInput prepared;
};

std::vector<Tune>& tunes() {
  static std::vector<Tune> list;
  return list;
}

std::string corpusFolder(int argc, char** argv) {
  if (argc > 1) return argv[1];
  if (const char* env = std::getenv("TONALWEAVER_DATASETS_DIR")) return std::string(env) + "/jazz-corpus";
  return std::string(TONALWEAVER_DATASETS_DIR) + "/jazz-corpus";
}

// One song file: "Key = value" metadata lines, then bars ending in "|". The no-chord sign
// "NC" and anything else the parser rejects is left out, so every tune is analysable whole.
bool readTune(const fs::path& file, Tune& tune) {
  std::ifstream in(file);
  std::string line;
  std::ostringstream progression;
  std::vector<tw::KeyInputChord> chords;
  while (std::getline(in, line)) {
    if (line.find(" = ") != std::string::npos) {
      if (line.rfind("DBKeySig = ", 0) == 0) tune.keyRoot = line.substr(11);
      continue;
    }
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
      if (word == "|") {
        progression << "| ";
        continue;
      }
      const auto chord = tw::parseChordSymbol(word);
      if (!chord) continue;
      progression << word << ' ';
      chords.push_back({chord->root, chord->quality, chord->bass.value_or(0), chord->hasBass(), 1.0});
    }
  }
  while (!tune.keyRoot.empty() && (tune.keyRoot.back() == '\r' || tune.keyRoot.back() == ' '))
    tune.keyRoot.pop_back();
  if (tune.keyRoot.empty() || !tw::parseChordSymbol(tune.keyRoot)) tune.keyRoot = std::string(1, 'C');
  tune.progression = progression.str();
  tune.chordCount = chords.size();
  tune.prepared = tw::prepareKeyInput(chords);
  return tune.chordCount >= 30 && tune.chordCount <= 300;
}

void loadCorpus(const std::string& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) return;
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error))
    if (entry.is_regular_file() && entry.path().extension() == ".txt") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    Tune tune;
    if (readTune(file, tune)) tunes().push_back(std::move(tune));
  }
}

std::size_t totalChords() {
  std::size_t total = 0;
  for (const auto& tune : tunes()) total += tune.chordCount;
  return total;
}

bool skipWithoutCorpus(benchmark::State& state) {
  if (!tunes().empty()) return false;
  state.SkipWithError("jazz corpus not found; pass its folder or set TONALWEAVER_DATASETS_DIR");
  return true;
}

void BM_DetectKeyRequest(benchmark::State& state) {
  if (skipWithoutCorpus(state)) return;
  std::vector<tw::Json> payloads;
  for (const auto& tune : tunes()) payloads.push_back({{"progression", tune.progression}, {"request_id", "b"}});
  for (auto _ : state) {
    for (const auto& payload : payloads) {
      tw::HandlerReply reply = tw::handleDetectKey(payload);
      benchmark::DoNotOptimize(reply);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * totalChords()));
  state.counters["tunes"] = static_cast<double>(payloads.size());
}
BENCHMARK(BM_DetectKeyRequest)->Unit(benchmark::kMillisecond);

void BM_ParseProgressionRequest(benchmark::State& state) {
  if (skipWithoutCorpus(state)) return;
  std::vector<tw::Json> payloads;
  for (const auto& tune : tunes()) {
    payloads.push_back({{"progression", tune.progression},
                        {"key", {{"root", tune.keyRoot}, {"mode", "major"}}},
                        {"request_id", "b"}});
  }
  for (auto _ : state) {
    for (const auto& payload : payloads) {
      tw::HandlerReply reply = tw::handleParseProgression(payload);
      benchmark::DoNotOptimize(reply);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * totalChords()));
}
BENCHMARK(BM_ParseProgressionRequest)->Unit(benchmark::kMillisecond);

// Items are chords: each one scored against all 36 candidates.
void BM_KeyScoreAllCandidates(benchmark::State& state) {
  if (skipWithoutCorpus(state)) return;
  for (auto _ : state) {
    double sum = 0.0;
    for (const auto& tune : tunes()) {
      for (tw::PitchClass root = 0; root < 12; ++root) {
        sum += tw::keyScore(tune.prepared, {root, false, false});
        sum += tw::keyScore(tune.prepared, {root, true, false});
        sum += tw::keyScore(tune.prepared, {root, true, true});
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * totalChords()));
}
BENCHMARK(BM_KeyScoreAllCandidates)->Unit(benchmark::kMillisecond);

// Tokenising alone, to see how much of the request time is chord parsing.
void BM_TokenizeProgression(benchmark::State& state) {
  if (skipWithoutCorpus(state)) return;
  for (auto _ : state) {
    for (const auto& tune : tunes()) {
      auto parse = tw::tokenizeProgression(tune.progression);
      benchmark::DoNotOptimize(parse);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * totalChords()));
}
BENCHMARK(BM_TokenizeProgression)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string folder = corpusFolder(argc, argv);
  loadCorpus(folder);
  std::cerr << "jazz corpus: " << folder << ": " << tunes().size() << " tunes of 30-300 chords, "
            << totalChords() << " chords\n";
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
