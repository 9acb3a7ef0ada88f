#pragma once
// Turns request text into a decoded request, picks the handler from the request table, runs
// it and sends its reply. No failure leaves the dispatcher: bad text, unknown types and
// failing handlers are all answered with an error reply (or, for the few dropped shapes,
// with silence).
#include <string>
#include <string_view>

#include "protocol/clipboard_service.hpp"
#include "protocol/reply_sink.hpp"
#include "protocol/request_protocol.hpp"
#include "protocol/request_table.hpp"

namespace tw {

inline constexpr std::string_view kEngineVersion = "1.1.1";

// The request type an untyped document stands for: its "type" member when it has one
// (throws the JSON library's type error when that member is not a string), else the first
// request-table row whose shape test holds, else the empty string.
std::string inferRequestType(const Json& document,
                             std::span<const RequestTableRow> table = requestTable());

class RequestDispatcher {
 public:
  // The table is the engine's own unless a test supplies one with handlers of its own.
  RequestDispatcher(ReplySink& sink, Clipboard& clipboard,
                    std::span<const RequestTableRow> table = requestTable())
      : sink_(sink), clipboard_(clipboard), table_(table) {}

  // A request whose type arrived beside its JSON text; empty text is a null document.
  void handleTypedRequest(std::string_view type, std::string_view text);

  // A JSON text that arrived without a type; its type is inferred from its shape.
  void handleUntypedRequest(std::string_view text);

  // Validates, extracts the payload, runs the handler and sends its reply.
  void dispatchRequest(std::string_view type, Json document);

 private:
  void dispatchUnguarded(std::string_view type, Json document);
  void runBuiltIn(const RequestTableRow& row, const Json& payload);
  // Sends a reply whose content cannot fail to serialise; swallows anything the sink throws
  // so that no failure reaches the host.
  void sendFinal(std::string_view type, Json payload) noexcept;

  ReplySink& sink_;
  Clipboard& clipboard_;
  std::span<const RequestTableRow> table_;
};

}  // namespace tw
