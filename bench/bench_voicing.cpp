// Speed of the voicing engine: voiceChord over the whole quality catalogue in every style,
// and the pitch-class-set voicer on the requests the voice-leading solver makes.
#include <benchmark/benchmark.h>

#include <array>
#include <stdexcept>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/quality_catalogue.hpp"
#include "voicing/pitch_class_voicer.hpp"
#include "voicing/voicing_styles.hpp"

namespace {

using namespace tw;

std::vector<ParsedChord> catalogueChords() {
  std::vector<ParsedChord> chords;
  int i = 0;
  for (const ChordQuality& quality : supportedQualities())
    chords.push_back(makeParsedChord(i++ % 12, quality, std::nullopt));
  return chords;
}

// One voiceChord call per catalogue quality and style; the time per item is the average.
void BM_VoiceChordCatalogue(benchmark::State& state) {
  const std::vector<ParsedChord> chords = catalogueChords();
  std::int64_t calls = 0;
  for (auto _ : state) {
    for (const ParsedChord& chord : chords) {
      for (VoicingStyle style = 0; style < 6; ++style) {
        try {
          auto notes = voiceChord(chord, style, 4, {});
          benchmark::DoNotOptimize(notes.data());
        } catch (const std::runtime_error&) {
        }
        ++calls;
      }
    }
  }
  state.SetItemsProcessed(calls);
  // Seconds per voiceChord call (shown with an SI prefix: 250n is 250 ns).
  state.counters["time_per_voicing"] = benchmark::Counter(
      static_cast<double>(calls), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_VoiceChordCatalogue)->Unit(benchmark::kMicrosecond);

// Chords of three to seven distinct pitch classes: maj, maj7, maj9, 11, 13#11.
const std::array<std::vector<PitchClass>, 5> kChordPitchClasses{{
    {0, 4, 7},
    {0, 4, 7, 11},
    {0, 4, 7, 11, 2},
    {0, 4, 7, 10, 2, 5},
    {0, 4, 7, 10, 2, 6, 9},
}};

// The solver's request shape: octaves -2..1, window 36..83, note counts from the chord's
// size to two more, the bass either fixed on the root or free among the chord tones.
VoicerRequest solverRequest(int size, bool fixedBass, int maxSpan) {
  VoicerRequest r;
  r.pitchClasses = kChordPitchClasses[static_cast<std::size_t>(size - 3)];
  r.octaveLow = -2;
  r.octaveHigh = 1;
  r.low = 36;
  r.high = 83;
  r.useNoteCountRange = true;
  r.minNotes = size;
  r.maxNotes = size + 2;
  r.minSpan = 0;
  r.maxSpan = maxSpan;
  r.bassMask = 0;
  for (PitchClass pc : r.pitchClasses) r.bassMask = static_cast<std::uint16_t>(r.bassMask | (1u << pc));
  if (fixedBass) r.fixedBass = r.pitchClasses.front();
  return r;
}

void reportCandidates(benchmark::State& state, const VoicingCandidates& list,
                      std::int64_t requests) {
  std::int64_t notes = 0;
  for (const Voicing& v : *list) notes += static_cast<std::int64_t>(v.size());
  state.counters["candidates"] = static_cast<double>(list->size());
  state.counters["notes_per_s"] = benchmark::Counter(static_cast<double>(notes * requests),
                                                     benchmark::Counter::kIsRate);
}

void BM_VoicerCold(benchmark::State& state) {
  const VoicerRequest request = solverRequest(static_cast<int>(state.range(0)),
                                              state.range(1) != 0,
                                              static_cast<int>(state.range(2)));
  VoicingCandidates last;
  std::int64_t requests = 0;
  for (auto _ : state) {
    state.PauseTiming();
    last.reset();
    clearCandidateCache();
    state.ResumeTiming();
    last = voice(request).candidates;
    ++requests;
  }
  reportCandidates(state, last, requests);
}

void BM_VoicerCached(benchmark::State& state) {
  const VoicerRequest request = solverRequest(static_cast<int>(state.range(0)),
                                              state.range(1) != 0,
                                              static_cast<int>(state.range(2)));
  clearCandidateCache();
  VoicingCandidates first = voice(request).candidates;
  for (auto _ : state) {
    auto result = voice(request);
    benchmark::DoNotOptimize(result.cacheHit);
  }
  state.counters["candidates"] = static_cast<double>(first->size());
}

// Arguments: distinct pitch classes, fixed bass (1) or bass mask (0), maximum span.
void solverShapes(benchmark::internal::Benchmark* b) {
  for (int span : {24, 127})
    for (int size = 3; size <= 7; ++size)
      for (int fixed : {0, 1}) b->Args({size, fixed, span});
}
BENCHMARK(BM_VoicerCold)->Apply(solverShapes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VoicerCached)->Apply(solverShapes)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
