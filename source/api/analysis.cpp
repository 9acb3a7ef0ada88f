#include "tonalweaver/analysis.hpp"

#include "analysis/key_detection.hpp"
#include "analysis/roman_numerals.hpp"
#include "api/engine_terms.hpp"
#include "api/guarded_call.hpp"

namespace tonalweaver {

Result<ChordAnalysis> analyseChord(std::string_view chord, const Key& key, const Spelling& spelling) {
  return internal::guardedCall([&] {
    const tw::KeyContext context = internal::readKey(key);
    const tw::ParsedChord parsed = internal::readChord(chord);
    const tw::SpellingOptions options =
        tw::resolveSpelling(internal::spellingRequestOf(spelling), context, key.tonic).options();
    tw::AnalysedChord analysed = tw::analyseChord(context, parsed, options);
    ChordAnalysis analysis;
    analysis.symbol = std::move(analysed.symbol);
    analysis.root = std::move(analysed.root);
    analysis.quality = std::move(analysed.quality);
    analysis.category = std::move(analysed.category);
    analysis.bass = std::move(analysed.bass);
    analysis.numeral = std::move(analysed.roman);
    analysis.degree = analysed.degree;
    return analysis;
  });
}

Result<Key> detectKey(const std::vector<std::string>& chords, const Spelling& spelling) {
  return internal::guardedCall([&] {
    if (chords.empty()) internal::fail("Progression is empty");
    std::vector<tw::KeyInputChord> input;
    input.reserve(chords.size());
    for (const std::string& symbol : chords)
      input.push_back(tw::keyInputChord(internal::readChord(symbol)));
    const tw::KeyContext key = tw::detectKey(input);
    const tw::SpellingOptions options =
        tw::resolveSpelling(internal::spellingRequestOf(spelling), key, "").options();
    const Mode mode = !key.minor ? Mode::Major : key.melodic ? Mode::MelodicMinor : Mode::Minor;
    return Key{tw::degreeNoteName(key, 1, options), mode};
  });
}

}  // namespace tonalweaver
