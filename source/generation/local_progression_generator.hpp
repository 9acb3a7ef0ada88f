#pragma once
// "generate_local_progression": a stored progression of the genre, some inner chords varied
// with corpus continuations, realised in a chosen or random key, never one of the ten most
// recent results when another can be had.
#include <optional>
#include <string>
#include <vector>

#include "chord/key_context.hpp"
#include "chord/pitch_spelling.hpp"
#include "generation/recent_progressions.hpp"

namespace tw {

struct KeyChoice {
  PitchClass tonic = 0;
  bool minor = false;
  bool melodic = false;
  bool automatic = false;
};

// 4 -> 4, 5 -> 4, 6 -> 6, 7 -> 4, 8 -> 8, anything else -> 4.
int mappedProgressionLength(long long requested);

struct GeneratedProgression {
  std::vector<std::string> chords;
  std::vector<std::string> numerals;
  std::string signature;
};

// One generation attempt: nothing when the corpus has no candidate or nothing realises.
std::optional<GeneratedProgression> generationAttempt(const std::string& genreKey, int length,
                                                      const KeyChoice& key, double temperature,
                                                      const ResolvedSpelling& spelling);

// A key chosen at random for a request that asks for any key.
KeyChoice automaticKeyChoice();

// Up to twelve attempts for a progression that is not one of the ten most recent results and,
// in a chosen key, keeps its tonic; failing that the last one produced. The result joins the
// recent results. Nothing when no attempt produced anything.
std::optional<GeneratedProgression> generateLocalProgression(const std::string& genreKey, int length,
                                                             const KeyChoice& key, double temperature,
                                                             const ResolvedSpelling& spelling);

// The same against a list of recent results of the caller's own.
std::optional<GeneratedProgression> generateLocalProgression(const std::string& genreKey, int length,
                                                             const KeyChoice& key, double temperature,
                                                             const ResolvedSpelling& spelling,
                                                             RecentProgressions& recent);

}  // namespace tw
