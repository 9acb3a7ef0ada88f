#pragma once
// Reading the voicing requests' payloads: clamped integers that never overflow, and the
// generic error payload a handler answers under its own reply type.
#include <string_view>

#include "host/handler_contract.hpp"

namespace tw {

// The member `key` of an object as an integer clamped into [lo, hi], or `fallback` when
// absent. Numbers of any size and booleans are accepted; any other JSON type throws the
// JSON library's type error.
int readClampedInt(const Json& payload, std::string_view key, int fallback, int lo, int hi);

// The error payload a malformed (non-object) payload earns: message, error, code and the
// request type.
Json invalidPayloadError(std::string_view requestType);

}  // namespace tw
