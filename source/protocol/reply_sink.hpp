#pragma once
// Where finished replies go. The dispatcher decides what to answer; the sink builds the
// envelope, serialises it and carries it out of the object.
#include <string_view>

#include "protocol/handler_contract.hpp"

namespace tw {

class ReplySink {
 public:
  virtual ~ReplySink() = default;
  // Sends one reply. Throws when the reply cannot be serialised (a string holding invalid
  // UTF-8); nothing has been sent in that case.
  virtual void sendReply(std::string_view type, Json payload) = 0;
};

}  // namespace tw
