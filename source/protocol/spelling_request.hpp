#pragma once
// The spelling a request asks for, read from its "simplifyAccidentals" and
// "spellingPreference" members.
#include <string_view>

#include "chord/pitch_spelling.hpp"
#include "protocol/handler_contract.hpp"

namespace tw {

// A payload that is not an object asks for the defaults; a member of the wrong JSON type
// throws the JSON library's type error (the dispatcher answers it).
SpellingRequest readSpellingRequest(const Json& payload);

inline ResolvedSpelling resolveSpelling(const Json& payload, const KeyContext& key, std::string_view keyName) {
  return resolveSpelling(readSpellingRequest(payload), key, keyName);
}

}  // namespace tw
