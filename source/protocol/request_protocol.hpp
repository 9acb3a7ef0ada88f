#pragma once
// The JSON request/reply protocol: the decoded request, the reply envelope every answer is
// wrapped in, the generic error payload, and strict decoding of request text.
#include <optional>
#include <string>
#include <string_view>

#include "protocol/handler_contract.hpp"

namespace tw {

// One decoded request, alive only while it is dispatched.
struct Request {
  std::string type;  // may be empty; dispatch then rejects it
  Json document;     // the whole decoded text; null for empty text
  Json payload;      // what the handler reads
};

// The reply envelope. A string request_id travels at the top, not in the payload.
struct Reply {
  std::string type;
  bool ok = true;
  Json payload = Json::object();
  std::optional<std::string> requestId;
  std::optional<Json> error;  // a copy of the payload's own "error" member

  // The envelope as a JSON object (keys come out in ascending byte order).
  Json toJson() const&;
  Json toJson() &&;
};

// True when a reply of this type and payload reports a failure: the type is "error" or ends
// in "_error" (at least 7 characters), the payload's "success" is false, or it has "error".
bool replyReportsFailure(std::string_view type, const Json& payload);

// Builds the envelope: a non-object payload is wrapped as {"value": payload}, a string
// request_id moves to the top, "error" is copied up.
Reply buildReply(std::string type, Json payload);

// The payload of the dispatcher's own error replies: message, the same text as "error",
// code, requested_type when the type is not empty, and the request document's string
// request_id when it had one.
Json errorPayload(std::string_view message, std::string_view code, std::string_view requestedType,
                  std::optional<std::string> requestId);

// The string request_id of a request document, if it has one.
std::optional<std::string> documentRequestId(const Json& document);

// Nesting deeper than this is refused at decode time, before anything walks the value
// recursively.
inline constexpr std::size_t kMaxJsonNesting = 256;

// Strict decoding: exactly one JSON value, no comments, nothing but white space after it.
// Empty text decodes to null.
struct DecodedText {
  Json value;
  std::optional<std::string> error;  // the decoder's description, always valid UTF-8
};
DecodedText decodeRequestText(std::string_view text);

}  // namespace tw
