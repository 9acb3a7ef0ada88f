#pragma once
// Reading a key from a request: the object with "root", "mode" and "minorScaleType".
#include <optional>
#include <string>
#include <string_view>

#include "chord/key_context.hpp"
#include "protocol/handler_contract.hpp"

namespace tw {

struct KeyObjectDefaults {
  std::string_view root;              // used when the object has no "root"
  bool scaleTypeOnlyWhenMinor = false;  // leave "minorScaleType" unread for a major key
};

// The key as the request wrote it. `key` is empty when the root text is not a note name;
// the handler reports that in its own words.
struct KeyObjectReading {
  std::optional<KeyContext> key;
  std::string rootText;
  std::string modeText;        // "major" when absent
  bool melodicRequested = false;  // "minorScaleType" is exactly "melodic", whatever the mode
};

// A member of the wrong JSON type throws the JSON library's type error, which the dispatcher
// answers. `object` must be a JSON object.
KeyObjectReading parseKeyObject(const Json& object, KeyObjectDefaults defaults);

// "major" or "minor", and "natural" or "melodic", as replies write a key.
std::string_view modeName(const KeyContext& key);
std::string_view minorScaleTypeName(const KeyContext& key);

}  // namespace tw
