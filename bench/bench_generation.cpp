// Corpus loading, local generation and suggestions with voicings.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "api/corpus_files.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/local_progression_generator.hpp"
#include "generation/random_source.hpp"
#include "generation/recent_progressions.hpp"
#include "generation/suggestion_engine.hpp"
#include "analysis/roman_numerals.hpp"
#include "voicing/pitch_class_voicer.hpp"
#include "protocol/request_handlers.hpp"

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

// A session's worth of different requests: every key, both modes, progressions of two to
// eight chords, with and without a next chord, in the three styles. With `cold`, the voicer
// starts empty every time, as after a restart.
void BM_SuggestionsVaried(benchmark::State& state) {
  if (!loadBoth()) state.SkipWithError("corpus files missing from the resources folder");
  const bool cold = state.range(0) != 0;
  static const std::vector<std::vector<std::string>> progressions{
      {"I", "vi", "IV", "V"}, {"ii7", "V7"}, {"I", "V", "vi", "iii", "IV", "I", "IV", "V"},
      {"Imaj7", "vi7", "ii7", "V7", "iii7", "VI7"}, {"i", "VI", "III", "VII"}, {"i", "iv", "V7"}};
  static const char* keys[] = {"C", "G", "D", "A", "E", "B", "F#", "Db", "Ab", "Eb", "Bb", "F"};
  static const char* styles[] = {"closed", "shell", "pop"};
  std::vector<tw::Json> requests;
  for (std::size_t k = 0; k < 12; ++k)
    for (std::size_t p = 0; p < progressions.size(); ++p) {
      const bool minor = progressions[p].front() == "i";
      tw::KeyContext key{static_cast<tw::PitchClass>((k * 7) % 12), minor, false};
      tw::Json chords = tw::Json::array();
      for (const auto& numeral : progressions[p]) {
        tw::RomanChord c = tw::chordFromRoman(key, numeral);
        chords.push_back(tw::Json{{"symbol", std::string(tw::kSharpNames[static_cast<std::size_t>(c.root)]) + c.quality}});
      }
      tw::Json request{{"prevChords", chords}, {"root", keys[k]}, {"mode", minor ? "minor" : "major"},
                       {"voicingStyle", styles[(k + p) % 3]}};
      if (p % 2 == 1) request["nextChord"] = keys[k];
      requests.push_back(std::move(request));
    }
  std::size_t n = 0;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      tw::clearCandidateCache();
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(tw::handleGetSuggestions(requests[n++ % requests.size()]));
  }
}
BENCHMARK(BM_SuggestionsVaried)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_SuggestionsShuffled(benchmark::State& state) {
  if (!loadBoth()) state.SkipWithError("corpus files missing from the resources folder");
  tw::ScopedRandomSeed seed(7);
  tw::Json request{{"prevChords", {"Am", "F"}}, {"root", "A"}, {"mode", "minor"}, {"shuffleMode", true}};
  for (auto _ : state) benchmark::DoNotOptimize(tw::handleGetSuggestions(request));
}
BENCHMARK(BM_SuggestionsShuffled)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
