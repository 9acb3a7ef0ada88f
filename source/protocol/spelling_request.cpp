#include "protocol/spelling_request.hpp"

#include <string>

namespace tw {

SpellingRequest readSpellingRequest(const Json& payload) {
  SpellingRequest request;
  if (payload.is_object()) {
    request.simplify = payload.value("simplifyAccidentals", true);
    request.preference = payload.value("spellingPreference", request.preference);
  }
  return request;
}

}  // namespace tw
