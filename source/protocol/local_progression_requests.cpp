// "generate_local_progression": the request read, the progression generated, the reply built.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "generation/genre_filters.hpp"
#include "generation/local_progression_generator.hpp"
#include "generation/progression_corpus.hpp"
#include "protocol/request_handlers.hpp"
#include "protocol/spelling_request.hpp"

namespace tw {

namespace {

std::string lowerCased(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The requested length as an integer; a fractional number counts by its integer part and a
// number far outside any length maps like any other unknown length.
long long requestedLength(const Json& payload) {
  auto it = payload.find("length");
  if (it == payload.end() || it->is_null()) return 4;
  if (it->is_number_unsigned()) return it->get<std::uint64_t>() > 100 ? 0 : static_cast<long long>(it->get<std::uint64_t>());
  if (it->is_number_integer()) return it->get<long long>();
  if (it->is_number_float()) {
    double v = it->get<double>();
    return (std::isfinite(v) && v > -100 && v < 100) ? static_cast<long long>(v) : 0;
  }
  return it->get<long long>();  // the JSON library's type error for any other kind
}

Json errorReply(const Json& payload, const std::string& message) {
  Json reply{{"error", message}, {"message", message}};
  copyRequestId(payload, reply);
  return reply;
}

}  // namespace

HandlerReply handleGenerateLocalProgression(const Json& payload) {
  if (!payload.is_object()) throw std::invalid_argument("payload is not an object");
  const std::string genre = payload.value("genre", std::string("Pop + EDM"));
  const std::string genreKey = genreKeyOf(genre);
  const int length = mappedProgressionLength(requestedLength(payload));
  const bool autoKey = payload.value("auto_key", false);

  KeyChoice choice;
  std::string keyName;
  if (autoKey) {
    choice = automaticKeyChoice();
  } else {
    std::string root = "C";
    std::string mode = "major";
    std::string scaleType = "natural";
    auto key = payload.find("key");
    if (key != payload.end() && key->is_object()) {
      root = key->value("root", root);
      mode = key->value("mode", mode);
      scaleType = key->value("minorScaleType", scaleType);
    }
    auto tonic = parseNoteName(root);
    if (!tonic) return {"local_progression_error", errorReply(payload, "Invalid key root: " + root)};
    // The mode is compared lower-cased here: "Minor" asks for a minor key.
    bool minor = lowerCased(mode) == "minor";
    choice = {*tonic, minor, minor && scaleType == "melodic", false};
    keyName = root;
  }

  double temperature = payload.value("temperature", 0.25);
  temperature = std::isfinite(temperature) ? std::clamp(temperature, 0.0, 1.0) : 0.0;

  KeyContext spellingKey{choice.tonic, choice.minor, choice.melodic};
  ResolvedSpelling spelling = resolveSpelling(payload, spellingKey, keyName);

  const auto generated = generateLocalProgression(genreKey, length, choice, temperature, spelling);
  if (!generated) return {"local_progression_error", errorReply(payload, "Could not generate progression")};

  std::string_view display = genreDisplayName(genreKey);
  Json reply{{"genre", display.empty() ? genre : std::string(display)},
             {"length", length},
             {"chords", generated->chords},
             {"roman", generated->numerals}};
  copyRequestId(payload, reply);
  return {"local_progression_result", reply};
}

}  // namespace tw
