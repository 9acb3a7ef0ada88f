#pragma once
// Progressions of a genre drawn from the progression corpus.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tonalweaver/key.hpp"
#include "tonalweaver/result.hpp"

namespace tonalweaver {

// The genres of the shipped corpus: "Pop + EDM", "Classical", "Rock", "Jazz + Neo Soul".
std::vector<std::string> genres();

struct GenerationOptions {
  std::string genre = "Pop + EDM";     // compared by its letters and digits: "jazz neo soul" too
  int length = 4;                      // chords: 4, 6 or 8
  std::optional<Key> key{};            // none: a key chosen at random
  double temperature = 0.25;           // 0..1 (clamped): how many inner chords are varied
  Spelling spelling{};
  std::optional<std::uint32_t> seed{};  // a repeatable draw: the same seed, options and corpus
                                        // give the same progression; without one the draw is
                                        // fresh and avoids the ten results given last
};

struct GeneratedProgression {
  std::string genre{};                  // the genre's display name
  std::vector<std::string> chords{};    // chord symbols spelled in the key
  std::vector<std::string> numerals{};  // the same chords as roman numerals
};

// Generates a progression. Needs the progression corpus (loadCorpora); fails when none is
// loaded, for an unknown genre or length, or with "Invalid key root: TEXT".
//
//   tonalweaver::generateProgression({.genre = "Rock", .length = 8, .seed = 7})
Result<GeneratedProgression> generateProgression(const GenerationOptions& options = {});

}  // namespace tonalweaver
