#include "host_test_support.hpp"

#include <gtest/gtest.h>

#include "host/reply_reassembly.hpp"

namespace tw::testing {

std::vector<Json> envelopesFrom(const std::vector<SentMessage>& sent, int outlet) {
  std::vector<Json> envelopes;
  ReplyReassembler reassembler;
  for (const auto& message : sent) {
    if (message.outlet != outlet) continue;
    auto result = reassembler.accept(message.atoms);
    if (result.error) ADD_FAILURE() << *result.error;
    if (result.envelopeText) envelopes.push_back(Json::parse(*result.envelopeText));
  }
  if (reassembler.pending()) ADD_FAILURE() << "an incomplete chunk series was left";
  return envelopes;
}

}  // namespace tw::testing
