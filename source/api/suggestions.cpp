#include "tonalweaver/suggestions.hpp"

#include "api/engine_terms.hpp"
#include "api/guarded_call.hpp"
#include "chord/quality_catalogue.hpp"
#include "generation/suggestion_engine.hpp"
#include "generation/suggestion_names.hpp"

namespace tonalweaver {

namespace {

std::string_view placementWord(Placement placement) {
  switch (placement) {
    case Placement::Insert: return "insert";
    case Placement::Replace: return "replace";
    case Placement::Append: break;
  }
  return "append";
}

std::optional<tw::ParsedChord> readOptionalChord(const std::optional<std::string>& symbol) {
  if (!symbol) return std::nullopt;
  return internal::readChord(*symbol);
}

}  // namespace

Result<std::vector<Suggestion>> suggestNextChords(const SuggestionRequest& request) {
  return internal::guardedCall([&] {
    const tw::KeyContext key = internal::readKey(request.key);
    const tw::ResolvedSpelling spelling =
        tw::resolveSpelling(internal::spellingRequestOf(request.spelling), key, request.key.tonic);

    tw::SuggestionContext context;
    context.key = key;
    for (const std::string& symbol : request.previous)
      context.previous.push_back(internal::readChord(symbol));
    context.next = readOptionalChord(request.next);
    context.current = readOptionalChord(request.current);
    context.position = std::string(placementWord(request.placement));

    tw::SuggestionOptions options;
    options.mergeVariants = request.mergeVariants;
    options.flags = {true, spelling.preferFlats};
    options.style = internal::readStyle(request.style);
    options.octave = internal::clampedOctave(request.octave);
    options.dropBass = request.dropBass;

    std::vector<tw::Suggestion> found = tw::suggestChords(context, options);
    tw::SuggestionNames names(key, spelling.options(), options.flags);
    std::vector<Suggestion> suggestions;
    suggestions.reserve(found.size());
    for (tw::Suggestion& candidate : found) {
      Suggestion suggestion;
      suggestion.symbol = names.symbol(candidate);
      suggestion.family = std::string(tw::categoryName(candidate.category));
      suggestion.label = std::move(candidate.label);
      suggestion.numeral = names.numeral(candidate);
      suggestion.score = tw::roundedScore(candidate);
      suggestion.notes = std::move(candidate.notes);
      suggestion.category = std::string(tw::qualityCategory(tw::SuggestionNames::quality(candidate)));
      suggestion.diatonic = candidate.isDiatonic;
      suggestion.current = candidate.isCurrent;
      suggestions.push_back(std::move(suggestion));
    }
    return suggestions;
  });
}

}  // namespace tonalweaver
