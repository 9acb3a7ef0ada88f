// Every voicing style on real tunes: the first 100 lead sheets of the jazz collection, each
// sent as one "generate_progression" request with auto voice leading at octave 4, cold (the
// voicer's candidate cache and the roughness cache emptied before every tune, outside the
// timing). Items are chords, so items_per_second reads as chords per second.
// TONALWEAVER_TUNES=n takes the first n lead sheets instead (profiling runs).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "datasets/dataset_readers.hpp"
#include "protocol/request_handlers.hpp"
#include "voicing/roughness.hpp"

namespace {

std::size_t tuneCount() {
  const char* text = std::getenv("TONALWEAVER_TUNES");
  const long n = text ? std::atol(text) : 0;
  return n > 0 ? static_cast<std::size_t>(n) : 100;
}
const char* const kStyles[] = {"closed", "shell", "anthem", "split", "guide-color", "velmaro"};

struct Tune {
  tw::Json payload;
  std::size_t chords = 0;
};

const std::vector<std::string>& leadSheets() {
  static const auto sheets = [] {
    std::vector<std::string> out;
    tw::DatasetReading reading = tw::readJazzCorpus(TONALWEAVER_DATASETS_DIR);
    const std::size_t tunes = tuneCount();
    for (const auto& piece : reading.pieces) {
      if (out.size() == tunes) break;
      std::string symbols;
      for (const auto& c : piece.chords) symbols += c.chord.symbol + ' ';
      out.push_back(symbols);
    }
    return out;
  }();
  return sheets;
}

std::vector<Tune> requests(const char* style, bool bassChanges) {
  std::vector<Tune> tunes;
  for (const auto& sheet : leadSheets()) {
    Tune t;
    t.payload = {{"slots", tw::Json::array()}, {"auto_voice_lead", true},
                 {"allow_bass_changes", bassChanges}};
    std::size_t start = 0;
    while (start < sheet.size()) {
      const std::size_t end = sheet.find(' ', start);
      t.payload["slots"].push_back({{"chord", sheet.substr(start, end - start)}, {"style", style}, {"octave", 4}});
      ++t.chords;
      start = end + 1;
    }
    tunes.push_back(std::move(t));
  }
  return tunes;
}

// range(0): style index; range(1): bass changes allowed.
void BM_StyleOnRealTunesCold(benchmark::State& state) {
  const char* style = kStyles[state.range(0)];
  const auto tunes = requests(style, state.range(1) != 0);
  if (tunes.empty()) {
    state.SkipWithError("jazz collection not found");
    return;
  }
  std::size_t chords = 0, failed = 0;
  for (auto _ : state) {
    for (const auto& tune : tunes) {
      state.PauseTiming();
      tw::clearCandidateCache();
      tw::clearRoughnessCache();
      state.ResumeTiming();
      const tw::HandlerReply reply = tw::handleGenerateProgression(tune.payload);
      failed += reply.type != "progression_voicings";
      chords += tune.chords;
      benchmark::DoNotOptimize(reply);
    }
  }
  state.SetLabel(style);
  state.SetItemsProcessed(static_cast<std::int64_t>(chords));
  state.counters["tunes"] = static_cast<double>(tunes.size());
  state.counters["failed_requests"] = static_cast<double>(failed);
}

BENCHMARK(BM_StyleOnRealTunesCold)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
