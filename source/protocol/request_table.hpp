#pragma once
// The request table: every request type the engine answers, in the order that shape
// inference walks, with its handler and the reply types it answers with.
#include <array>
#include <span>
#include <string_view>

#include "protocol/handler_contract.hpp"

namespace tw {

// Requests answered by the dispatcher itself rather than by a subsystem handler.
enum class BuiltInRequest { None, Version, Ready, ReadClipboard, WriteClipboard };

// The shape test that lets an untyped payload stand for a row's type.
enum class ShapeTest {
  Never,
  HasChordAndStyle,      // keys "chord" and "style"
  HasSlotsArray,         // key "slots" holding an array
  HasGenreAndLength,     // keys "genre" and "length"
  HasProgression,        // key "progression"
  HasIntervalsArray,     // key "intervals" holding an array
};

struct RequestTableRow {
  std::string_view type;
  RequestHandler handler;  // null for built-in requests
  BuiltInRequest builtIn;
  std::array<std::string_view, 2> replyTypes;  // unused entries are empty
  ShapeTest shape;
};

// All 21 rows, in table order.
std::span<const RequestTableRow> requestTable();

// Exact, case-sensitive lookup; null when the type is not in the table.
const RequestTableRow* findRequestRow(std::span<const RequestTableRow> table, std::string_view type);

// True when the document passes the shape test (only key presence and, for two tests, the
// value being an array are looked at).
bool matchesShape(ShapeTest test, const Json& document);

}  // namespace tw
