#include "tonalweaver/generation.hpp"

#include <algorithm>
#include <cmath>

#include "api/engine_terms.hpp"
#include "api/guarded_call.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/genre_filters.hpp"
#include "generation/local_progression_generator.hpp"
#include "generation/random_source.hpp"
#include "generation/recent_progressions.hpp"

namespace tonalweaver {

namespace {

int readLength(int length) {
  if (length != 4 && length != 6 && length != 8)
    internal::fail("Length must be 4, 6 or 8, not " + std::to_string(length));
  return length;
}

std::string readGenreKey(const std::string& genre, int length) {
  const tw::ProgressionCorpus& corpus = tw::progressionCorpus();
  if (corpus.empty()) internal::fail("No progression corpus is loaded (see loadCorpora)");
  std::string key = tw::genreKeyOf(genre);
  if (!corpus.genres().contains(key)) internal::fail("Unknown genre: " + genre);
  if (!corpus.find(key, length))
    internal::fail("No progressions of " + std::to_string(length) + " chords for the genre " + genre);
  return key;
}

double clampedTemperature(double temperature) {
  return std::isfinite(temperature) ? std::clamp(temperature, 0.0, 1.0) : 0.0;
}

GeneratedProgression generate(const GenerationOptions& options, tw::RecentProgressions& recent) {
  const int length = readLength(options.length);
  const std::string genreKey = readGenreKey(options.genre, length);
  tw::KeyChoice choice;
  std::string keyName;
  if (options.key) {
    const tw::KeyContext key = internal::readKey(*options.key);
    choice = {key.root, key.minor, key.melodic, false};
    keyName = options.key->tonic;
  } else {
    choice = tw::automaticKeyChoice();
  }
  const tw::ResolvedSpelling spelling =
      tw::resolveSpelling(internal::spellingRequestOf(options.spelling),
                          tw::KeyContext{choice.tonic, choice.minor, choice.melodic}, keyName);
  auto generated = tw::generateLocalProgression(genreKey, length, choice,
                                                clampedTemperature(options.temperature), spelling, recent);
  if (!generated) internal::fail("Could not generate progression");
  const std::string_view display = tw::genreDisplayName(genreKey);
  return {display.empty() ? options.genre : std::string(display), std::move(generated->chords),
          std::move(generated->numerals)};
}

}  // namespace

std::vector<std::string> genres() {
  return internal::guardedCall([] {
           std::vector<std::string> names;
           for (const tw::GenreName& genre : tw::kGenres) names.emplace_back(genre.display);
           return names;
         })
      .value();
}

Result<GeneratedProgression> generateProgression(const GenerationOptions& options) {
  return internal::guardedCall([&] {
    if (!options.seed) return generate(options, tw::recentProgressions());
    // A seeded draw stands on its own: the process's recent results neither steer it nor
    // learn of it.
    const tw::ScopedRandomSeed seed(*options.seed);
    tw::RecentProgressions recent;
    return generate(options, recent);
  });
}

}  // namespace tonalweaver
