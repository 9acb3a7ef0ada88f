#include "host/reply_reassembly.hpp"

#include <nlohmann/json.hpp>

namespace tw {

void ReplyReassembler::reset() {
  id_.clear();
  type_.clear();
  nextIndex_ = 0;
  expectedTotal_ = 0;
  text_.clear();
}

ReplyReassembler::Result ReplyReassembler::accept(std::span<const Atom> message) {
  Result result;
  if (message.size() < 3 || !message[0].isSymbol() || message[0].name() != "toJweb") return result;
  result.isReply = true;
  if (!message[1].isSymbol() || !message[2].isSymbol()) {
    result.error = "a reply message must carry two symbols";
    return result;
  }
  if (message[1].name() != "__tw_chunk") {
    if (pending()) {
      result.error = "a reply arrived in the middle of a chunk series";
      reset();
    }
    result.replyType = message[1].name();
    result.envelopeText = message[2].name();
    return result;
  }

  const auto record = nlohmann::json::parse(message[2].name(), nullptr, false);
  const bool wellFormed = record.is_object() && record.contains("id") && record["id"].is_string() &&
                          record.contains("type") && record["type"].is_string() &&
                          record.contains("index") && record["index"].is_number_unsigned() &&
                          record.contains("total") && record["total"].is_number_unsigned() &&
                          record.contains("chunk") && record["chunk"].is_string();
  if (!wellFormed) {
    result.error = "a chunk record is malformed";
    reset();
    return result;
  }
  const auto index = record["index"].get<std::uint64_t>();
  const auto total = record["total"].get<std::uint64_t>();
  const auto& id = record["id"].get_ref<const std::string&>();
  if (index == 0) {
    if (pending()) result.error = "a new chunk series began before the last one ended";
    reset();
    id_ = id;
    type_ = record["type"].get<std::string>();
    expectedTotal_ = total;
  }
  if (total == 0 || index != nextIndex_ || total != expectedTotal_ || id != id_ ||
      record["type"].get_ref<const std::string&>() != type_) {
    result.error = "chunk " + std::to_string(index) + " of " + std::to_string(total) + " is out of order";
    reset();
    return result;
  }
  text_ += record["chunk"].get_ref<const std::string&>();
  ++nextIndex_;
  if (nextIndex_ == expectedTotal_) {
    result.replyType = type_;
    result.envelopeText = std::move(text_);
    reset();
  }
  return result;
}

}  // namespace tw
