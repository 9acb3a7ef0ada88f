#pragma once
// What must hold for every reply the engine sends, whatever it was asked: one canonical JSON
// envelope (type, ok, payload) whose lists of MIDI notes lie in 0..127 and ascend. Shared by
// the fuzz targets and the replay test, so a finding that was fixed stays fixed in the
// ordinary test suite.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace tw::fuzzing {

using Json = nlohmann::json;

// Replies longer than this travel in pieces of this many bytes.
inline constexpr std::size_t kChunkBytes = 12000;

// Broken properties found while checking one input; empty when everything held.
class Violations {
 public:
  void add(std::string what) {
    if (items_.size() < kKept) items_.push_back(std::move(what));
    ++count_;
  }
  bool empty() const { return count_ == 0; }
  std::size_t count() const { return count_; }
  std::string text() const {
    std::string out;
    for (const auto& item : items_) out += item + "\n";
    if (count_ > items_.size()) out += "... and " + std::to_string(count_ - items_.size()) + " more\n";
    return out;
  }

 private:
  static constexpr std::size_t kKept = 8;  // the first few say enough
  std::vector<std::string> items_;
  std::size_t count_ = 0;
};

// A short, printable excerpt of a text for a violation message.
inline std::string excerpt(std::string_view text, std::size_t limit = 160) {
  std::string out;
  for (unsigned char c : text.substr(0, limit)) {
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  if (text.size() > limit) out += "...";
  return out;
}

// Notes in 0..127, each above the one before: a voicing holds each key once.
inline void checkNoteList(const Json& notes, const std::string& where,
                          Violations& found) {
  if (!notes.is_array()) {
    found.add(where + ": note list is not an array");
    return;
  }
  std::optional<long long> previous;
  for (const auto& note : notes) {
    if (!note.is_number_integer()) {
      found.add(where + ": note is not an integer: " + excerpt(note.dump()));
      return;
    }
    const long long value = note.get<long long>();
    if (value < 0 || value > 127) {
      found.add(where + ": note outside 0..127: " + std::to_string(value));
      return;
    }
    if (previous && value <= *previous) {
      found.add(where + ": notes do not ascend: " + excerpt(notes.dump()));
      return;
    }
    previous = value;
  }
}

// Every "notes" array (a voicing) and every "voicings" array of note lists anywhere in a
// reply payload.
inline void checkNotesInPayload(const Json& value, const std::string& where, Violations& found) {
  if (value.is_object()) {
    for (const auto& [key, member] : value.items()) {
      const std::string path = where + "." + key;
      if (key == "notes" && member.is_array()) {
        checkNoteList(member, path, found);
      } else if (key == "voicings" && member.is_array()) {
        for (std::size_t i = 0; i < member.size(); ++i) {
          if (member[i].is_array())
            checkNoteList(member[i], path + "[" + std::to_string(i) + "]", found);
          else
            checkNotesInPayload(member[i], path + "[" + std::to_string(i) + "]", found);
        }
      } else {
        checkNotesInPayload(member, path, found);
      }
    }
  } else if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i)
      checkNotesInPayload(value[i], where + "[" + std::to_string(i) + "]", found);
  }
}

// The text exactly as the transport writes the value: compact, keys ascending, ASCII only.
inline std::string canonicalText(const Json& value) {
  return value.dump(-1, ' ', true, Json::error_handler_t::strict);
}

inline bool endsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// One serialised reply envelope, announced with reply type `announcedType`. Returns the
// decoded envelope when it is at least a JSON object.
inline std::optional<Json> checkEnvelopeText(std::string_view text, std::string_view announcedType,
                                             Violations& found) {
  const std::string where = "reply " + std::string(announcedType);
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7e) {
      found.add(where + ": envelope text holds a byte outside printable ASCII: " + excerpt(text));
      break;
    }
  }
  Json envelope = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (envelope.is_discarded()) {
    found.add(where + ": envelope is not valid JSON: " + excerpt(text));
    return std::nullopt;
  }
  if (!envelope.is_object()) {
    found.add(where + ": envelope is not an object: " + excerpt(text));
    return std::nullopt;
  }
  if (canonicalText(envelope) != text)
    found.add(where + ": envelope is not compact with ascending keys: " + excerpt(text));
  for (const auto& [key, member] : envelope.items()) {
    if (key != "type" && key != "ok" && key != "payload" && key != "request_id" && key != "error")
      found.add(where + ": envelope has an unexpected key " + excerpt(key));
  }
  const auto type = envelope.find("type");
  const auto ok = envelope.find("ok");
  const auto payload = envelope.find("payload");
  if (type == envelope.end() || !type->is_string()) {
    found.add(where + ": envelope has no string type");
  } else if (type->get_ref<const std::string&>() != announcedType) {
    found.add(where + ": envelope type differs from the announced type: " +
              excerpt(type->get_ref<const std::string&>()));
  }
  if (ok == envelope.end() || !ok->is_boolean()) found.add(where + ": envelope has no boolean ok");
  if (payload == envelope.end() || !payload->is_object()) {
    found.add(where + ": envelope has no payload object");
    return envelope;
  }
  if (const auto id = envelope.find("request_id"); id != envelope.end()) {
    if (!id->is_string()) found.add(where + ": request_id at the top is not a string");
  }
  if (const auto inner = payload->find("request_id"); inner != payload->end() && inner->is_string())
    found.add(where + ": a string request_id stayed inside the payload");

  // ok is false exactly for failures: an error type, success false, or an error member.
  const std::string replyType = type != envelope.end() && type->is_string() ? type->get<std::string>() : "";
  const auto success = payload->find("success");
  const bool failure = replyType == "error" || (replyType.size() >= 7 && endsWith(replyType, "_error")) ||
                       (success != payload->end() && success->is_boolean() && !success->get<bool>()) ||
                       payload->contains("error");
  if (ok != envelope.end() && ok->is_boolean() && ok->get<bool>() == failure)
    found.add(where + ": ok does not match the reply's failure state");
  const auto error = envelope.find("error");
  const auto payloadError = payload->find("error");
  if ((error == envelope.end()) != (payloadError == payload->end()) ||
      (error != envelope.end() && *error != *payloadError))
    found.add(where + ": top-level error is not a copy of the payload's error");

  const bool hasProbe = payload->contains("tw_probe_meta");
  if (hasProbe != (replyType == "progression_voicings"))
    found.add(where + ": probe summary present on the wrong reply type");

  checkNotesInPayload(*payload, where, found);
  return envelope;
}

}  // namespace tw::fuzzing
