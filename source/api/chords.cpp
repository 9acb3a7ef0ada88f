#include "tonalweaver/chords.hpp"

#include "api/engine_terms.hpp"
#include "api/guarded_call.hpp"
#include "chord/quality_catalogue.hpp"

namespace tonalweaver {

Result<Chord> parseChord(std::string_view symbol) {
  return internal::guardedCall([&] {
    const tw::ParsedChord parsed = internal::readChord(symbol);
    const bool flats = tw::sentSymbolPrefersFlats(parsed, symbol);
    Chord chord;
    chord.symbol = parsed.symbol;
    chord.root = tw::noteName(parsed.root, flats);
    chord.rootPitchClass = parsed.root;
    chord.quality = parsed.quality;
    chord.category = std::string(tw::qualityCategory(parsed.quality));
    chord.intervals = parsed.intervals.toVector();
    if (parsed.bass) {
      chord.bass = tw::noteName(*parsed.bass, flats);
      chord.bassPitchClass = *parsed.bass;
    }
    return chord;
  });
}

}  // namespace tonalweaver
