#include "tonalweaver/voicing.hpp"

#include "api/engine_terms.hpp"
#include "api/guarded_call.hpp"
#include "voicing/voicing_plans.hpp"

namespace tonalweaver {

std::vector<VoicingStyle> voicingStyles() {
  return internal::guardedCall([] {
           std::vector<VoicingStyle> styles;
           for (const tw::StyleEntry& entry : tw::styleCatalogue())
             styles.push_back({std::string(entry.id), std::string(entry.name),
                               std::string(entry.description)});
           return styles;
         })
      .value();
}

Result<ChordVoicing> voiceChord(std::string_view chord, const VoicingOptions& options) {
  return internal::guardedCall([&] {
    const tw::ParsedChord parsed = internal::readChord(chord);
    const tw::VoicingStyle style = internal::readStyle(options.style);
    const int octave = internal::clampedOctave(options.octave);
    const tw::VoicingOptions engine = internal::voicingOptionsOf(options);
    ChordVoicing voicing;
    voicing.notes = tw::voiceChord(parsed, style, octave, engine);
    voicing.maxInversion = tw::maxManualInversion(parsed, style, octave, engine.octaveShift);
    return voicing;
  });
}

}  // namespace tonalweaver
