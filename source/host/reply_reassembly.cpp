#include "host/reply_reassembly.hpp"

#include "protocol/reply_serialisation.hpp"

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

  const std::optional<ChunkRecord> record = parseChunkRecord(message[2].name());
  if (!record) {
    result.error = "a chunk record is malformed";
    reset();
    return result;
  }
  const auto index = record->index;
  const auto total = record->total;
  const std::string& id = record->id;
  if (index == 0) {
    if (pending()) result.error = "a new chunk series began before the last one ended";
    reset();
    id_ = id;
    type_ = record->type;
    expectedTotal_ = total;
  }
  if (total == 0 || index != nextIndex_ || total != expectedTotal_ || id != id_ ||
      record->type != type_) {
    result.error = "chunk " + std::to_string(index) + " of " + std::to_string(total) + " is out of order";
    reset();
    return result;
  }
  text_ += record->chunk;
  ++nextIndex_;
  if (nextIndex_ == expectedTotal_) {
    result.replyType = type_;
    result.envelopeText = std::move(text_);
    reset();
  }
  return result;
}

}  // namespace tw
