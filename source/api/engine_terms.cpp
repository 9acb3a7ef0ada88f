#include "api/engine_terms.hpp"

#include <algorithm>

#include "api/guarded_call.hpp"

namespace tonalweaver::internal {

namespace {
constexpr int kLowestOctave = 0;
constexpr int kHighestOctave = 7;
constexpr int kLowestShift = -3;
constexpr int kHighestShift = 4;
}  // namespace

tw::ParsedChord readChord(std::string_view symbol) {
  auto chord = tw::parseChordSymbol(symbol);
  if (!chord) fail("Invalid chord: " + std::string(symbol));
  return std::move(*chord);
}

tw::VoicingStyle readStyle(std::string_view id) {
  const auto style = tw::styleFromId(id);
  if (!style) fail("Invalid style: " + std::string(id));
  return *style;
}

tw::KeyContext readKey(const Key& key) {
  const auto tonic = tw::parseNoteName(key.tonic);
  if (!tonic) fail("Invalid key root: " + key.tonic);
  const bool minor = key.mode != Mode::Major;
  return {*tonic, minor, key.mode == Mode::MelodicMinor};
}

tw::SpellingRequest spellingRequestOf(const Spelling& spelling) {
  tw::SpellingRequest request;
  request.simplify = spelling.simplify;
  if (spelling.accidentals == Accidentals::Flats) request.preference = "flats";
  if (spelling.accidentals == Accidentals::Sharps) request.preference = "sharps";
  return request;
}

int clampedOctave(int octave) { return std::clamp(octave, kLowestOctave, kHighestOctave); }

tw::VoicingOptions voicingOptionsOf(const VoicingOptions& options) {
  tw::VoicingOptions engine;
  engine.octaveShift = std::clamp(options.octaveShift, kLowestShift, kHighestShift);
  engine.dropBass = options.dropBass;
  engine.inversion = options.inversion;
  return engine;
}

}  // namespace tonalweaver::internal
