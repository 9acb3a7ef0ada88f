#include "protocol/request_dispatcher.hpp"

#include "protocol/request_table.hpp"
#include "protocol/text_encoding.hpp"

namespace tw {

namespace {

// Copies the payload's request_id, of any JSON type, into a built-in reply.
Json withRequestIdOf(const Json& payload, Json reply) {
  if (payload.is_object())
    if (const auto id = payload.find("request_id"); id != payload.end()) reply["request_id"] = *id;
  return reply;
}

Json messageOnly(std::string message) {
  Json payload = Json::object();
  payload["message"] = std::move(message);
  return payload;
}

Json messageAndCode(std::string_view message, std::string_view code) {
  Json payload = Json::object();
  payload["message"] = message;
  payload["code"] = code;
  return payload;
}

}  // namespace

std::string inferRequestType(const Json& document, std::span<const RequestTableRow> table) {
  if (document.is_object())
    if (const auto type = document.find("type"); type != document.end())
      return type->get<std::string>();
  for (const auto& row : table)
    if (matchesShape(row.shape, document)) return std::string(row.type);
  return {};
}

void RequestDispatcher::sendFinal(std::string_view type, Json payload) noexcept {
  try {
    sink_.sendReply(type, std::move(payload));
  } catch (...) {
    // Only reached if the host's own outlet fails; there is nobody left to tell.
  }
}

void RequestDispatcher::handleTypedRequest(std::string_view type, std::string_view text) {
  DecodedText decoded = decodeRequestText(text);
  if (decoded.error) {
    sendFinal("error", messageOnly("Invalid JSON: " + *decoded.error));
    return;
  }
  dispatchRequest(type, std::move(decoded.value));
}

void RequestDispatcher::handleUntypedRequest(std::string_view text) {
  DecodedText decoded = decodeRequestText(text);
  if (decoded.error) {
    sendFinal("error", messageOnly("JSON parse error: " + *decoded.error));
    return;
  }
  std::string type;
  try {
    type = inferRequestType(decoded.value, table_);
  } catch (const std::exception& failure) {
    sendFinal("error", messageOnly("JSON parse error: " + replaceInvalidUtf8(failure.what())));
    return;
  }
  if (!type.empty()) {
    dispatchRequest(type, std::move(decoded.value));
    return;
  }
  const Json& document = decoded.value;
  if (!document.is_object()) {
    sendFinal("error", messageAndCode("Unknown JSON message format", "unknown_payload_shape"));
    return;
  }
  if (document.contains("chord") && !document.contains("style") && !document.contains("modifiers") &&
      !document.contains("getModifiers")) {
    sendFinal("error",
              messageAndCode("Ambiguous chord payload: include explicit type", "ambiguous_payload"));
    return;
  }
  // A bare key-mode object is the interface reporting its own key selection, not a request.
  if (document.contains("mode") && !document.contains("root")) return;
  sendFinal("error", messageAndCode("Unknown JSON message format", "unknown_payload_shape"));
}

void RequestDispatcher::dispatchRequest(std::string_view type, Json document) {
  // Kept apart from the document, which the payload extraction may consume.
  std::optional<std::string> requestId = documentRequestId(document);
  try {
    if (type.empty()) {
      sendFinal("error", errorPayload("Missing request type", "missing_type", {}, requestId));
      return;
    }
    dispatchUnguarded(type, std::move(document));
  } catch (const UnhandledRequestType&) {
    sendFinal("error", errorPayload("Unhandled request type", "unhandled_type", type, requestId));
  } catch (...) {
    // The failure's own text stays inside: it may name internals or quote bad bytes.
    sendFinal("error", errorPayload("Request handling failed", "invalid_payload", type, requestId));
  }
}

void RequestDispatcher::dispatchUnguarded(std::string_view type, Json document) {
  const RequestTableRow* row = findRequestRow(table_, type);
  if (row == nullptr) {
    sendFinal("error",
              errorPayload("Unknown request type", "unknown_type", type, documentRequestId(document)));
    return;
  }

  Json payload;
  if (document.is_object() && document.contains("payload")) {
    Json& inner = document["payload"];
    if (!inner.is_object()) throw std::runtime_error("Expected request payload object");
    std::string innerType;
    if (const auto typeMember = document.find("type"); typeMember != document.end())
      innerType = typeMember->get<std::string>();
    if (!innerType.empty() && innerType != type) throw std::runtime_error("Request type mismatch");
    payload = std::move(inner);
    if (auto id = documentRequestId(document); id && !payload.contains("request_id"))
      payload["request_id"] = std::move(*id);
  } else {
    payload = std::move(document);
  }

  if (row->handler != nullptr) {
    HandlerReply reply = row->handler(payload);
    sink_.sendReply(reply.type, std::move(reply.payload));
    return;
  }
  runBuiltIn(*row, payload);
}

void RequestDispatcher::runBuiltIn(const RequestTableRow& row, const Json& payload) {
  switch (row.builtIn) {
    case BuiltInRequest::Version:
      sink_.sendReply("version", withRequestIdOf(payload, Json{{"version", kEngineVersion}}));
      return;
    case BuiltInRequest::Ready:
      sink_.sendReply("ready_ack", withRequestIdOf(payload, Json::object()));
      return;
    case BuiltInRequest::ReadClipboard: {
      const auto text = clipboard_.read();
      if (!text) return;  // an unreachable clipboard is not reported
      Json reply = Json::object();
      reply["text"] = trimClipboardText(*text);
      sink_.sendReply("clipboard_text", std::move(reply));
      return;
    }
    case BuiltInRequest::WriteClipboard: {
      std::string text;
      if (payload.is_object()) {
        if (const auto member = payload.find("text"); member != payload.end())
          text = member->get<std::string>();
      } else if (!payload.is_null()) {
        throw std::runtime_error("Expected a clipboard payload object");
      }
      clipboard_.write(text);  // success or not, this request has no reply
      return;
    }
    case BuiltInRequest::None:
      break;
  }
  throw UnhandledRequestType();
}

}  // namespace tw
