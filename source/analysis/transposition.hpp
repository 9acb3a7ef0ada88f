#pragma once
// Moving a list of chords to another key, and re-reading it after the key changed.
#include "host/handler_contract.hpp"

namespace tw {

HandlerReply handleTransposeProgression(const Json& payload);
HandlerReply handleRecalculateRomans(const Json& payload);

}  // namespace tw
