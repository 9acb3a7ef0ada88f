#pragma once
// Reading request payload members safely: a non-object payload as an empty object, integers
// that saturate or clamp instead of overflowing, and the generic error payload a handler
// answers under its own reply type.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "protocol/handler_contract.hpp"

namespace tw {

// A payload that is not a JSON object (null for an empty request text) reads as an empty
// object, so every member takes its default.
inline const Json& payloadObject(const Json& payload) {
  static const Json kEmptyObject = Json::object();
  return payload.is_object() ? payload : kEmptyObject;
}

// An integer member read the way the JSON library converts numbers (fractions truncated,
// booleans 0 or 1, other types its type error), except that values beyond the 64-bit range
// saturate instead of wrapping or overflowing.
inline std::int64_t readInteger(const Json& object, std::string_view key, std::int64_t fallback) {
  const auto it = object.find(key);
  if (it == object.end()) return fallback;
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  if (it->is_number_unsigned()) {
    const auto value = it->get<std::uint64_t>();
    return value > static_cast<std::uint64_t>(kMax) ? kMax : static_cast<std::int64_t>(value);
  }
  if (it->is_number_float()) {
    const double value = it->get<double>();
    if (std::isnan(value)) return 0;
    if (value >= 9.2e18) return kMax;
    if (value <= -9.2e18) return kMin;
    return static_cast<std::int64_t>(value);
  }
  return it->get<std::int64_t>();
}

// The member `key` of an object as an integer clamped into [lo, hi], or `fallback` when
// absent. Numbers of any size and booleans are accepted; any other JSON type throws the
// JSON library's type error.
int readClampedInt(const Json& payload, std::string_view key, int fallback, int lo, int hi);

// The error payload a malformed (non-object) payload earns: message, error, code and the
// request type.
Json invalidPayloadError(std::string_view requestType);

}  // namespace tw
