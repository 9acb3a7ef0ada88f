// "get_suggestions": the request read into a context, the suggestions found, the reply built.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>

#include "chord/chord_parser.hpp"
#include "chord/pitch_spelling.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/suggestion_engine.hpp"
#include "generation/suggestion_names.hpp"
#include "protocol/request_handlers.hpp"
#include "protocol/spelling_request.hpp"

namespace tw {

namespace {

std::optional<ParsedChord> chordFromJson(const Json& value) {
  if (value.is_string()) return parseChordSymbol(value.get_ref<const std::string&>());
  if (value.is_object()) {
    auto symbol = value.find("symbol");
    if (symbol != value.end() && symbol->is_string()) return parseChordSymbol(symbol->get_ref<const std::string&>());
  }
  return std::nullopt;
}

std::optional<std::string> optionalString(const Json& payload, const char* key) {
  auto it = payload.find(key);
  if (it == payload.end() || it->is_null()) return std::nullopt;
  return it->get<std::string>();  // another JSON type is the dispatcher's type error
}

std::string positionWord(const Json& payload) {
  auto it = payload.find("position");
  if (it == payload.end() || it->is_null()) return "append";
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number()) {
    double v = it->get<double>();
    if (v >= 2) return "replace";
    if (v >= 1) return "insert";
    return "append";
  }
  throw std::invalid_argument("position is neither a number nor a text");
}

}  // namespace

HandlerReply handleGetSuggestions(const Json& payload) {
  if (!payload.is_object()) throw std::invalid_argument("payload is not an object");
  const Json* keyObject = nullptr;
  if (auto k = payload.find("key"); k != payload.end() && k->is_object()) keyObject = &*k;
  auto fromKey = [&](const char* name) -> std::optional<std::string> {
    if (!keyObject) return std::nullopt;
    auto it = keyObject->find(name);
    if (it == keyObject->end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
  };
  std::string root = "C";
  if (auto r = payload.find("root"); r != payload.end() && r->is_string()) root = r->get<std::string>();
  else if (auto kr = fromKey("root")) root = *kr;
  std::string mode = "major";
  if (auto m = payload.find("mode"); m != payload.end() && !m->is_null()) mode = m->get<std::string>();
  else if (auto km = fromKey("mode")) mode = *km;
  const bool shuffle = payload.value("shuffleMode", false);
  const bool merge = payload.value("mergeVariants", true);

  auto tonic = parseNoteName(root);
  if (!tonic) {
    Json reply{{"suggestions", Json::array()}, {"shuffleMode", shuffle}, {"error", "Invalid key root: " + root}};
    copyRequestId(payload, reply);
    return {"suggestions_result", reply};
  }
  // Only the exact text "minor" makes a minor key here.
  KeyContext key{*tonic, mode == "minor", false};
  if (key.minor) {
    std::string scale = "natural";
    if (auto s = optionalString(payload, "minorScaleType")) scale = *s;
    else if (auto ks = fromKey("minorScaleType")) scale = *ks;
    key.melodic = scale == "melodic";
  }
  ResolvedSpelling spelling = resolveSpelling(payload, key, root);

  SuggestionContext context;
  context.key = key;
  const Json* previous = nullptr;
  if (auto p = payload.find("prevChords"); p != payload.end() && !p->is_null()) previous = &*p;
  else if (auto c = payload.find("context"); c != payload.end() && !c->is_null()) previous = &*c;
  if (previous) {
    if (!previous->is_array()) throw std::invalid_argument("prevChords is not an array");
    for (const auto& element : *previous)
      if (auto chord = chordFromJson(element)) context.previous.push_back(std::move(*chord));
  }
  if (auto n = optionalString(payload, "nextChord")) context.next = parseChordSymbol(*n);
  if (auto c = optionalString(payload, "currentChord")) context.current = parseChordSymbol(*c);
  context.position = positionWord(payload);

  SuggestionOptions options;
  options.shuffle = shuffle;
  options.mergeVariants = merge;
  options.flags = {true, spelling.preferFlats};
  std::string styleText = payload.value("voicingStyle", std::string("closed"));
  options.style = styleFromId(styleText).value_or(0);
  auto octave = payload.find("octave");
  if (octave != payload.end() && !octave->is_null()) {
    double v = octave->get<double>();
    options.octave = std::isfinite(v) ? static_cast<int>(std::clamp(v, 0.0, 7.0)) : 4;
  }
  options.dropBass = payload.value("drop_bass", false);

  auto list = suggestChords(context, options);

  SuggestionNames names(key, spelling.options(), options.flags);
  // Members go straight into the objects' maps: building each from an initializer list
  // copies it twice, which cost more than the ranking itself.
  Json suggestions = Json::array();
  auto& items = suggestions.get_ref<Json::array_t&>();
  items.reserve(list.size());
  std::size_t smartCount = 0;
  for (auto& x : list) {
    Json::object_t item;
    item.emplace("symbol", names.symbol(x));
    item.emplace("category", categoryName(x.category));
    item.emplace("label", std::move(x.label));
    item.emplace("roman", names.numeral(x));
    item.emplace("score", roundedScore(x));
    item.emplace("notes", Json::array_t(x.notes.begin(), x.notes.end()));
    item.emplace("colorCategory", qualityCategory(SuggestionNames::quality(x)));
    item.emplace("isDiatonic", x.isDiatonic);
    if (x.isCurrent) item.emplace("isCurrent", true);
    if (x.category == kSmart) ++smartCount;
    items.emplace_back(std::move(item));
  }
  Json previousNames = Json::array();
  for (const auto& p : context.previous) previousNames.push_back(std::string(kSharpNames[static_cast<std::size_t>(p.root)]) + p.quality);
  Json::object_t debug;
  debug.emplace("position", context.position);
  debug.emplace("hasNextChord", context.next.has_value());
  debug.emplace("prevChords", std::move(previousNames));
  debug.emplace("prevChordsCount", context.previous.size());
  debug.emplace("corpusLoaded", !continuationCorpus().empty());
  debug.emplace("smartSuggestions", smartCount);
  debug.emplace("totalSuggestions", list.size());
  Json::object_t body;
  body.emplace("suggestions", std::move(suggestions));
  body.emplace("shuffleMode", shuffle);
  body.emplace("mergeVariants", merge);
  body.emplace("_debug", std::move(debug));
  Json reply(std::move(body));
  copyRequestId(payload, reply);
  return {"suggestions_result", std::move(reply)};
}

}  // namespace tw
