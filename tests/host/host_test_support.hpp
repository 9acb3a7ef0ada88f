#pragma once
// Shared helpers for the host tests: a sink that records envelopes, and an object that
// records what leaves its outlets.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/bridge_transport.hpp"
#include "host/host_layer.hpp"
#include "protocol/reply_sink.hpp"

namespace tw::testing {

// Records every reply as its decoded envelope (serialised exactly as the transport does).
struct RecordingSink final : ReplySink {
  std::vector<Json> envelopes;
  std::vector<std::string> texts;

  void sendReply(std::string_view type, Json payload) override {
    texts.push_back(serialiseReply(type, std::move(payload)));
    envelopes.push_back(Json::parse(texts.back()));
  }
  const Json& only() const {
    if (envelopes.size() != 1) throw std::runtime_error("expected exactly one reply");
    return envelopes.front();
  }
};

struct SentMessage {
  int outlet;
  Atoms atoms;
};

// Collects outlet traffic of any host object.
struct OutletRecorder {
  std::vector<SentMessage> sent;
  OutletSink sink() {
    return [this](int outlet, const Atoms& atoms) { sent.push_back({outlet, atoms}); };
  }
};

// A bare object with one outlet, for driving the bridge transport alone.
class ProbeObject final : public HostObject {
 public:
  ProbeObject() {
    addInlet("in");
    addOutlet("anything", "out");
  }
  Outlet& out() { return ownOutlet(0); }
};

inline Atoms symbols(std::initializer_list<const char*> names) {
  Atoms atoms;
  for (const char* name : names) atoms.push_back(Atom::symbol(name));
  return atoms;
}

// Reassembles the "toJweb" traffic of one outlet into decoded envelopes, checking every
// chunk series on the way.
std::vector<Json> envelopesFrom(const std::vector<SentMessage>& sent, int outlet = 0);

}  // namespace tw::testing
