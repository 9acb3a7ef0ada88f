#include "protocol/reply_serialisation.hpp"

#include "protocol/request_protocol.hpp"

namespace tw {

namespace {

int arrayLength(const Json& payload, const char* key) {
  const auto it = payload.find(key);
  return it != payload.end() && it->is_array() ? static_cast<int>(it->size()) : -1;
}

}  // namespace

Json probeSummary(const Json& payload) {
  Json summary = Json::object();
  summary["voicings"] = arrayLength(payload, "voicings");
  summary["max_manual_inversions"] = arrayLength(payload, "max_manual_inversions");
  summary["display_symbols"] = arrayLength(payload, "display_symbols");
  summary["display_romans"] = arrayLength(payload, "display_romans");
  std::string first = "null";
  if (const auto symbols = payload.find("display_symbols");
      symbols != payload.end() && symbols->is_array() && !symbols->empty() &&
      symbols->front().is_string())
    first = symbols->front().get<std::string>();
  summary["first_symbol"] = std::move(first);
  return summary;
}

std::string serialiseJson(const Json& value) {
  return value.dump(-1, ' ', /*ensure_ascii=*/true, Json::error_handler_t::strict);
}

std::string serialiseReply(std::string_view type, Json payload) {
  Reply reply = buildReply(std::string(type), std::move(payload));
  if (type == "progression_voicings") reply.payload["tw_probe_meta"] = probeSummary(reply.payload);
  return serialiseJson(std::move(reply).toJson());
}

std::vector<std::string> chunkRecords(std::string_view type, std::string_view text,
                                      std::uint64_t counter) {
  const std::size_t total = (text.size() + kReplyChunkBytes - 1) / kReplyChunkBytes;
  const std::string id = "tw_chunk_" + std::to_string(counter);
  std::vector<std::string> records;
  records.reserve(total);
  for (std::size_t index = 0; index < total; ++index) {
    Json record = Json::object();
    record["id"] = id;
    record["type"] = type;
    record["index"] = index;
    record["total"] = total;
    record["chunk"] = text.substr(index * kReplyChunkBytes, kReplyChunkBytes);
    records.push_back(serialiseJson(record));
  }
  return records;
}

std::optional<ChunkRecord> parseChunkRecord(std::string_view text) {
  const auto record = Json::parse(text, nullptr, false);
  const bool wellFormed = record.is_object() && record.contains("id") && record["id"].is_string() &&
                          record.contains("type") && record["type"].is_string() &&
                          record.contains("index") && record["index"].is_number_unsigned() &&
                          record.contains("total") && record["total"].is_number_unsigned() &&
                          record.contains("chunk") && record["chunk"].is_string();
  if (!wellFormed) return std::nullopt;
  return ChunkRecord{record["id"].get<std::string>(), record["type"].get<std::string>(),
                     record["index"].get<std::uint64_t>(), record["total"].get<std::uint64_t>(),
                     record["chunk"].get<std::string>()};
}

}  // namespace tw
