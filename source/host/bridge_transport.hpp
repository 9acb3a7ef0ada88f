#pragma once
// The seam between host messages and the JSON protocol: incoming "fromJweb", request-type
// and untyped messages become dispatcher calls (the web view's own page events are dropped),
// and every reply leaves the first outlet as "toJweb", cut into numbered "__tw_chunk" pieces
// when it is long.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_layer.hpp"
#include "protocol/reply_serialisation.hpp"
#include "protocol/request_dispatcher.hpp"

namespace tw {

// Symbol name, decimal integer, fixed-point float with six decimals, object class name (or
// "NULL"), ";", ",", or "?" for anything else.
std::string atomToText(const Atom& atom);

// Page-life-cycle names the web view sends on the typed and on the untyped path.
bool isTypedPageEvent(std::string_view type);
bool isUntypedPageEvent(std::string_view selector);

// The 18 request types that have a message of their own, in declaration order.
std::span<const std::string_view> requestMessageTypes();
// True for the request-type messages that may come without JSON text.
bool requestMessageMayOmitText(std::string_view type);

// The process-wide chunk counter: incremented before each chunked reply and never reset.
std::uint64_t nextChunkCounter();

class BridgeTransport final : public ReplySink {
 public:
  BridgeTransport(Outlet& toJweb, Clipboard& clipboard) : outlet_(toJweb), dispatcher_(*this, clipboard) {}

  // "fromJweb" E T ...: fewer than two arguments are dropped.
  void receiveFromJweb(std::span<const Atom> arguments);
  // A request-type message R [T ...].
  void receiveRequestMessage(std::string_view type, std::span<const Atom> arguments);
  // Any other message: only its selector is used.
  void receiveUntyped(const Atom& selector);

  void sendReply(std::string_view type, Json payload) override;
  void sendToBridge(std::string_view name, std::string_view text);

  RequestDispatcher& dispatcher() { return dispatcher_; }

 private:
  void handleTyped(const std::string& type, const std::string& text);

  Outlet& outlet_;
  RequestDispatcher dispatcher_;
};

}  // namespace tw
