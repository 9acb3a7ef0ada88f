#pragma once
// The rhythm catalogue in the form its reply carries.
#include "protocol/handler_contract.hpp"

namespace tw {

// The "patterns" object of the catalogue reply: one member per pattern, keyed by id.
Json rhythmPatternsJson();

}  // namespace tw
