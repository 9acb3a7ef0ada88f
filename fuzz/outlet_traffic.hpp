#pragma once
// What must hold for everything that leaves an object's outlets: "toJweb" replies that are
// canonical envelopes, long replies as one complete, ordered chunk series that joins back
// into such an envelope, "toBridge" notices, the "parse" result, and ascending MIDI note
// lists in 0..127 on the second outlet.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host_layer.hpp"
#include "reply_checks.hpp"

namespace tw::fuzzing {

// One reply as it left the object, after any chunks were joined.
struct DeliveredReply {
  std::string type;
  std::string text;  // the serialised envelope
  Json envelope;     // null when the text did not decode
};

// Follows everything one object sends and checks each message as it leaves: "toJweb"
// replies and chunk series on outlet 0, "toBridge" notices, the "parse" result list, and
// MIDI note lists on outlet 1.
class OutletTrafficChecker {
 public:
  explicit OutletTrafficChecker(Violations& found) : found_(found) {}

  void accept(int outlet, const Atoms& message) {
    ++messages_;
    if (outlet == 1) {
      checkMidiList(message);
    } else if (outlet == 0) {
      checkFirstOutlet(message);
    } else {
      found_.add("message on outlet " + std::to_string(outlet) + ", which does not exist");
    }
  }

  // Called once the input is done: a started chunk series must have finished.
  void finish() {
    if (series_) {
      found_.add("a chunk series stopped after " + std::to_string(series_->nextIndex) + " of " +
                 std::to_string(series_->total) + " pieces");
      series_.reset();
    }
  }

  const std::vector<DeliveredReply>& replies() const { return replies_; }
  void clearReplies() { replies_.clear(); }
  std::size_t messageCount() const { return messages_; }
  const std::vector<Atoms>& midiLists() const { return midiLists_; }

 private:
  struct Series {
    std::string id;
    std::string type;
    std::uint64_t total = 0;
    std::uint64_t nextIndex = 0;
    std::string text;
  };

  void checkMidiList(const Atoms& message) {
    midiLists_.push_back(message);
    long long previous = -1;
    for (const auto& atom : message) {
      if (atom.kind() != AtomKind::Int) {
        found_.add("outlet 1 sent an atom that is not an integer");
        return;
      }
      const long long note = atom.intValue();
      if (note < 0 || note > 127) {
        found_.add("outlet 1 sent a note outside 0..127: " + std::to_string(note));
        return;
      }
      if (note <= previous) {
        found_.add("outlet 1 sent notes that do not ascend");
        return;
      }
      previous = note;
    }
  }

  static bool isSymbol(const Atom& atom) { return atom.kind() == AtomKind::Symbol; }

  void checkFirstOutlet(const Atoms& message) {
    if (message.empty()) {
      found_.add("outlet 0 sent an empty message");
      return;
    }
    if (!isSymbol(message[0])) {
      found_.add("outlet 0 sent a message whose selector is not a symbol");
      return;
    }
    const std::string& selector = message[0].name();
    if (selector == "toJweb") {
      if (message.size() != 3 || !isSymbol(message[1]) || !isSymbol(message[2])) {
        found_.add("toJweb message is not exactly two symbols after the selector");
        return;
      }
      if (message[1].name() == "__tw_chunk") {
        acceptChunk(message[2].name());
      } else {
        acceptReply(message[1].name(), message[2].name());
      }
    } else if (selector == "toBridge") {
      if (message.size() != 3 || !isSymbol(message[1]) || !isSymbol(message[2]) ||
          message[1].name() != "system_wake" || message[2].name() != "{}")
        found_.add("toBridge message is not \"system_wake\" \"{}\"");
    } else {
      // The "parse" result: root name, quality text and optionally the bass name.
      if (message.size() < 2 || message.size() > 3) {
        found_.add("parse result has " + std::to_string(message.size()) + " atoms: " + excerpt(selector));
        return;
      }
      for (const auto& atom : message) {
        if (!isSymbol(atom) || atom.name().empty()) {
          found_.add("parse result holds an atom that is not a non-empty symbol");
          return;
        }
      }
    }
  }

  void acceptReply(const std::string& type, const std::string& text) {
    if (series_) found_.add("a reply arrived in the middle of a chunk series");
    if (text.size() > kChunkBytes)
      found_.add("reply of " + std::to_string(text.size()) + " bytes was not chunked");
    deliver(type, text);
  }

  void deliver(const std::string& type, const std::string& text) {
    auto envelope = checkEnvelopeText(text, type, found_);
    replies_.push_back({type, text, envelope.value_or(Json())});
  }

  void acceptChunk(const std::string& recordText) {
    Json record = Json::parse(recordText, nullptr, false);
    if (record.is_discarded() || !record.is_object()) {
      found_.add("chunk record is not a JSON object: " + excerpt(recordText));
      return;
    }
    if (canonicalText(record) != recordText) found_.add("chunk record is not canonical JSON");
    if (record.size() != 5) found_.add("chunk record does not have exactly five keys");
    const auto id = record.find("id");
    const auto type = record.find("type");
    const auto index = record.find("index");
    const auto total = record.find("total");
    const auto chunk = record.find("chunk");
    if (id == record.end() || !id->is_string() || type == record.end() || !type->is_string() ||
        index == record.end() || !index->is_number_unsigned() || total == record.end() ||
        !total->is_number_unsigned() || chunk == record.end() || !chunk->is_string()) {
      found_.add("chunk record members are missing or of the wrong type: " + excerpt(recordText));
      series_.reset();
      return;
    }
    const auto& idText = id->get_ref<const std::string&>();
    const auto& piece = chunk->get_ref<const std::string&>();
    const auto pieceIndex = index->get<std::uint64_t>();
    const auto pieceTotal = total->get<std::uint64_t>();
    if (!series_) {
      if (pieceIndex != 0) {
        found_.add("chunk series starts at index " + std::to_string(pieceIndex));
        return;
      }
      if (pieceTotal < 2) found_.add("chunk series of fewer than two pieces");
      const auto counter = chunkCounter(idText);
      if (!counter) {
        found_.add("chunk id is not tw_chunk_ and a number: " + excerpt(idText));
      } else {
        if (lastCounter_ && *counter <= *lastCounter_)
          found_.add("chunk ids do not increase from one series to the next");
        lastCounter_ = counter;
      }
      series_ = Series{idText, type->get<std::string>(), pieceTotal, 0, {}};
    }
    Series& series = *series_;
    if (idText != series.id || type->get_ref<const std::string&>() != series.type ||
        pieceTotal != series.total || pieceIndex != series.nextIndex) {
      found_.add("chunk out of order or from another series: " + excerpt(recordText, 80));
      series_.reset();
      return;
    }
    const bool last = pieceIndex + 1 == series.total;
    if (piece.size() > kChunkBytes || piece.empty() || (!last && piece.size() != kChunkBytes))
      found_.add("chunk piece of " + std::to_string(piece.size()) + " bytes at index " +
                 std::to_string(pieceIndex));
    series.text += piece;
    ++series.nextIndex;
    if (last) {
      const std::size_t expectedTotal = (series.text.size() + kChunkBytes - 1) / kChunkBytes;
      if (series.text.size() <= kChunkBytes || expectedTotal != series.total)
        found_.add("chunk total does not fit the reply's length");
      Series done = std::move(series);
      series_.reset();
      deliver(done.type, done.text);
    }
  }

  static std::optional<std::uint64_t> chunkCounter(std::string_view id) {
    constexpr std::string_view prefix = "tw_chunk_";
    if (id.substr(0, prefix.size()) != prefix || id.size() == prefix.size() || id.size() > prefix.size() + 20)
      return std::nullopt;
    std::uint64_t value = 0;
    for (char c : id.substr(prefix.size())) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
  }

  Violations& found_;
  std::optional<Series> series_;
  std::optional<std::uint64_t> lastCounter_;
  std::vector<DeliveredReply> replies_;
  std::vector<Atoms> midiLists_;
  std::size_t messages_ = 0;
};

}  // namespace tw::fuzzing
