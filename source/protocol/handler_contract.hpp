#pragma once
// The contract every request handler follows: a payload in, a reply type and payload out.
// Handlers report bad input inside their own reply and may throw a standard exception for
// anything else; the dispatcher answers such a throw with its generic error reply.
#include <stdexcept>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

namespace tw {

using Json = nlohmann::json;

struct HandlerReply {
  std::string type;
  Json payload;
};

using RequestHandler = HandlerReply (*)(const Json& payload);

// Thrown by a request-table row whose handler does not exist yet; answered with
// "Unhandled request type".
struct UnhandledRequestType : std::runtime_error {
  UnhandledRequestType() : std::runtime_error("unhandled request type") {}
};

// Copies a non-empty string request_id from the request payload into a reply payload.
inline void copyRequestId(const Json& request, Json& reply) {
  if (!request.is_object()) return;
  auto it = request.find("request_id");
  if (it != request.end() && it->is_string() && !it->get_ref<const std::string&>().empty())
    reply["request_id"] = *it;
}

}  // namespace tw
