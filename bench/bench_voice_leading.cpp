// The voice-leading solver over the first 100 tunes of the jazz corpus, closed style, one
// anchor on each tune's first chord: cold (both caches emptied before every pass) and warm.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "voicing/roughness.hpp"
#include "voicing/voice_leading_search.hpp"
#include "voicing/voice_leading_solver.hpp"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTunes = 100;

// Bars in order, one chord per symbol; symbols the parser rejects (NC and the like) skipped.
std::vector<tw::AvlSlot> readTune(const fs::path& file) {
  std::ifstream in(file);
  std::vector<tw::AvlSlot> slots;
  std::string line;
  while (std::getline(in, line)) {
    if (line.find('=') != std::string::npos) continue;  // metadata
    for (char& c : line)
      if (c == '|') c = ' ';
    std::istringstream words(line);
    std::string token;
    while (words >> token) {
      auto chord = tw::parseChordSymbol(token);
      if (!chord) continue;
      tw::AvlSlot slot;
      slot.chord = std::move(*chord);
      slot.style = 0;  // closed
      slots.push_back(std::move(slot));
    }
  }
  return slots;
}

const std::vector<std::vector<tw::AvlSlot>>& corpus() {
  static const auto tunes = [] {
    std::vector<std::vector<tw::AvlSlot>> result;
    const fs::path root = fs::path(TONALWEAVER_DATASETS_DIR) / "jazz-corpus" / "SongDB";
    std::error_code ec;
    if (!fs::is_directory(root, ec)) return result;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root, ec))
      if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
      if (result.size() == kTunes) break;
      auto tune = readTune(f);
      if (!tune.empty()) result.push_back(std::move(tune));
    }
    return result;
  }();
  return tunes;
}

std::size_t chordCount() {
  std::size_t n = 0;
  for (const auto& t : corpus()) n += t.size();
  return n;
}

void solveCorpus(benchmark::State& state, bool cold) {
  const auto& tunes = corpus();
  if (tunes.empty()) {
    state.SkipWithError("jazz corpus not found");
    return;
  }
  tw::AvlSolveStats stats;
  std::size_t passes = 0;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      tw::clearCandidateCache();
      tw::clearRoughnessCache();
      state.ResumeTiming();
    }
    for (const auto& tune : tunes) benchmark::DoNotOptimize(tw::solveProgression(tune, false, false, &stats));
    ++passes;
  }
  const double chords = static_cast<double>(stats.chords);
  state.SetItemsProcessed(static_cast<std::int64_t>(passes * chordCount()));
  state.counters["tunes"] = static_cast<double>(tunes.size());
  state.counters["chords"] = static_cast<double>(chordCount());
  state.counters["raw_cand_per_chord"] = static_cast<double>(stats.rawCandidates) / chords;
  state.counters["cand_per_chord"] = static_cast<double>(stats.keptCandidates) / chords;
  state.counters["beam_states_per_chord"] = static_cast<double>(stats.beamStates) / chords;
  state.counters["transitions_per_chord"] = static_cast<double>(stats.transitions) / chords;

  // How smooth the chosen paths are (computed once, outside the timing).
  double motion = 0, topMotion = 0;
  std::size_t transitions = 0;
  for (const auto& tune : tunes) {
    const auto voicings = tw::solveProgression(tune, false, false);
    for (std::size_t i = 1; i < voicings.size(); ++i) {
      const tw::Voicing a(voicings[i - 1]), b(voicings[i]);
      motion += tw::alignVoicings(a, b).distance;
      topMotion += std::abs(b.back() - a.back());
      ++transitions;
    }
  }
  state.counters["motion_per_transition"] = motion / static_cast<double>(transitions);
  state.counters["top_move_per_transition"] = topMotion / static_cast<double>(transitions);
}

void BM_JazzCorpusCold(benchmark::State& state) { solveCorpus(state, true); }
void BM_JazzCorpusWarm(benchmark::State& state) { solveCorpus(state, false); }

BENCHMARK(BM_JazzCorpusCold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JazzCorpusWarm)->Unit(benchmark::kMillisecond);

// Growth with length: one long progression of the same eight chords, solver path.
void BM_LongProgression(benchmark::State& state) {
  const char* cycle[] = {"Dm7", "G7", "Cmaj7", "A7", "Fmaj7", "Bm7b5", "E7", "Am7"};
  std::vector<tw::AvlSlot> slots;
  for (int i = 0; i < state.range(0); ++i) {
    tw::AvlSlot s;
    s.chord = *tw::parseChordSymbol(cycle[i % 8]);
    s.style = static_cast<tw::VoicingStyle>(state.range(1));
    slots.push_back(std::move(s));
  }
  for (auto _ : state) benchmark::DoNotOptimize(tw::solveProgression(slots, false, false));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LongProgression)
    ->ArgsProduct({{250, 500, 1000, 2000}, {0, 2, 5}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
