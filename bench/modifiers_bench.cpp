// Cost of the modifier requests the interface sends on every click: availability with the
// voicing-change check, and applying a selection with a voicing.
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include "chord/chord_modifiers.hpp"
#include "protocol/request_handlers.hpp"

namespace {

void BM_GetAvailableModifiers(benchmark::State& state) {
  const nlohmann::json payload{{"chord", "C7"}, {"voicingStyle", "anthem"}};
  for (auto _ : state) benchmark::DoNotOptimize(tw::handleGetAvailableModifiers(payload));
}
BENCHMARK(BM_GetAvailableModifiers);

void BM_GetAvailableModifiersExtended(benchmark::State& state) {
  const nlohmann::json payload{{"chord", "Cm11b5"}, {"voicingStyle", "split"}};
  for (auto _ : state) benchmark::DoNotOptimize(tw::handleGetAvailableModifiers(payload));
}
BENCHMARK(BM_GetAvailableModifiersExtended);

void BM_ApplyModifiersVoiced(benchmark::State& state) {
  const nlohmann::json payload{{"chord", "Cmaj7"},
                               {"modifiers", {"third-major", "fifth-flat5", "seventh-major7",
                                              "ninth-flat9"}},
                               {"style", "anthem"}};
  for (auto _ : state) benchmark::DoNotOptimize(tw::handleApplyModifiers(payload));
}
BENCHMARK(BM_ApplyModifiersVoiced);

void BM_ComposeQuality(benchmark::State& state) {
  tw::DegreeSelection selection;
  selection.seventh = 1;
  selection.ninth = 4;
  selection.eleventh = 4;
  for (auto _ : state) benchmark::DoNotOptimize(tw::composeQuality(selection));
}
BENCHMARK(BM_ComposeQuality);

}  // namespace

BENCHMARK_MAIN();
