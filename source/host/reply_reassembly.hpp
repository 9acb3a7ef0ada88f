#pragma once
// The receiving side of reply transport: turns the "toJweb" messages leaving the object back
// into serialised reply envelopes, joining "__tw_chunk" pieces. Used by the command-line host
// and by anything else that consumes the object's output.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "host/host_layer.hpp"

namespace tw {

class ReplyReassembler {
 public:
  struct Result {
    bool isReply = false;                     // the message was "toJweb" traffic
    std::optional<std::string> replyType;     // set with envelopeText
    std::optional<std::string> envelopeText;  // a complete serialised envelope
    std::optional<std::string> error;         // a malformed or out-of-order piece
  };

  // Accepts one outlet message (first atom = selector).
  Result accept(std::span<const Atom> message);

  // True while a chunk series has started but not finished.
  bool pending() const { return expectedTotal_ != 0; }

 private:
  void reset();

  std::string id_;
  std::string type_;
  std::uint64_t nextIndex_ = 0;
  std::uint64_t expectedTotal_ = 0;
  std::string text_;
};

}  // namespace tw
