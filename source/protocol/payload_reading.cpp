#include "protocol/payload_reading.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace tw {

int readClampedInt(const Json& payload, std::string_view key, int fallback, int lo, int hi) {
  const auto member = payload.find(std::string(key));
  if (member == payload.end()) return fallback;
  const Json& value = *member;
  long long number = 0;
  if (value.is_boolean()) {
    number = value.get<bool>() ? 1 : 0;
  } else if (value.is_number_unsigned()) {
    const auto u = value.get<std::uint64_t>();
    number = u > static_cast<std::uint64_t>(hi) ? hi : static_cast<long long>(u);
  } else if (value.is_number_integer()) {
    number = value.get<std::int64_t>();
  } else if (value.is_number_float()) {
    // Clamped before the conversion: a huge or non-finite double has no integer value.
    const double d = value.get<double>();
    if (std::isnan(d)) return fallback;
    number = static_cast<long long>(std::clamp(d, static_cast<double>(lo), static_cast<double>(hi)));
  } else {
    return value.get<int>();  // throws the library's type error for text, arrays, objects, null
  }
  return static_cast<int>(std::clamp<long long>(number, lo, hi));
}

Json invalidPayloadError(std::string_view requestType) {
  const std::string message = "Request handling failed";
  return Json{{"message", message},
              {"error", message},
              {"code", "invalid_payload"},
              {"requested_type", std::string(requestType)}};
}

}  // namespace tw
