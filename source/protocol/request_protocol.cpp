#include "protocol/request_protocol.hpp"

#include "protocol/text_encoding.hpp"

namespace tw {

Json Reply::toJson() const& { return Reply(*this).toJson(); }

Json Reply::toJson() && {
  Json envelope = Json::object();
  envelope["type"] = std::move(type);
  envelope["ok"] = ok;
  envelope["payload"] = std::move(payload);
  if (requestId) envelope["request_id"] = std::move(*requestId);
  if (error) envelope["error"] = std::move(*error);
  return envelope;
}

bool replyReportsFailure(std::string_view type, const Json& payload) {
  if (type == "error") return true;
  if (type.size() >= 7 && type.ends_with("_error")) return true;
  if (!payload.is_object()) return false;
  if (payload.contains("error")) return true;
  const auto success = payload.find("success");
  return success != payload.end() && success->is_boolean() && !success->get<bool>();
}

Reply buildReply(std::string type, Json payload) {
  if (!payload.is_object()) payload = Json{{"value", std::move(payload)}};
  Reply reply;
  reply.ok = !replyReportsFailure(type, payload);
  reply.type = std::move(type);
  if (const auto id = payload.find("request_id"); id != payload.end() && id->is_string()) {
    reply.requestId = id->get<std::string>();
    payload.erase(id);
  }
  if (const auto error = payload.find("error"); error != payload.end()) reply.error = *error;
  reply.payload = std::move(payload);
  return reply;
}

std::optional<std::string> documentRequestId(const Json& document) {
  if (!document.is_object()) return std::nullopt;
  const auto id = document.find("request_id");
  if (id == document.end() || !id->is_string()) return std::nullopt;
  return id->get<std::string>();
}

Json errorPayload(std::string_view message, std::string_view code, std::string_view requestedType,
                  std::optional<std::string> requestId) {
  Json payload = Json::object();
  payload["message"] = message;
  payload["error"] = message;
  payload["code"] = code;
  // The type came from a host atom and may hold any bytes; the reply must still serialise.
  if (!requestedType.empty()) payload["requested_type"] = replaceInvalidUtf8(requestedType);
  if (requestId) payload["request_id"] = std::move(*requestId);
  return payload;
}

DecodedText decodeRequestText(std::string_view text) {
  DecodedText decoded;
  if (text.empty()) return decoded;
  if (jsonNestingDepth(text, kMaxJsonNesting) > kMaxJsonNesting) {
    decoded.error = "nesting deeper than " + std::to_string(kMaxJsonNesting) + " levels";
    return decoded;
  }
  try {
    decoded.value = Json::parse(text, nullptr, /*allow_exceptions=*/true, /*ignore_comments=*/false);
  } catch (const Json::exception& failure) {
    // The decoder quotes what it last read, which may be broken UTF-8; such bytes become
    // U+FFFD so the description can travel in a reply.
    decoded.value = nullptr;
    decoded.error = replaceInvalidUtf8(failure.what());
  }
  return decoded;
}

}  // namespace tw
