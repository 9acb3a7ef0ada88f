#pragma once
// Replies as text: the envelope serialised as compact ASCII JSON, and long replies cut into
// numbered chunk records.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/handler_contract.hpp"

namespace tw {

// Replies longer than this many bytes travel in pieces of this size.
inline constexpr std::size_t kReplyChunkBytes = 12000;

// The diagnostic member added to "progression_voicings" payloads.
Json probeSummary(const Json& payload);

// Compact JSON, every non-ASCII character \u-escaped, keys in ascending byte order. Throws
// the JSON library's type error when a string holds invalid UTF-8.
std::string serialiseJson(const Json& value);

// The envelope for (type, payload), with the probe summary where it belongs, serialised.
std::string serialiseReply(std::string_view type, Json payload);

// The serialised chunk records for a long reply text, in index order.
std::vector<std::string> chunkRecords(std::string_view type, std::string_view text,
                                      std::uint64_t counter);

// One piece of a long reply, as a chunk record carries it.
struct ChunkRecord {
  std::string id;
  std::string type;
  std::uint64_t index = 0;
  std::uint64_t total = 0;
  std::string chunk;
};

// Nothing unless the text is a JSON object with all five members of their types.
std::optional<ChunkRecord> parseChunkRecord(std::string_view text);

}  // namespace tw
