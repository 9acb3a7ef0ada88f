// The line protocol of the command-line host: lines in, outlet traffic out.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "host/headless_host.hpp"
#include "host_test_support.hpp"

namespace tw {
namespace {

using testing::symbols;

TEST(MessageLines, ReadsAtomsOfEachKind) {
  const auto parsed = parseMessageLine(R"(["fromJweb", 3, -4, 2.5, 1e2, 18446744073709551615, ""])");
  ASSERT_TRUE(parsed.message) << parsed.error;
  const Atoms& atoms = *parsed.message;
  ASSERT_EQ(atoms.size(), 7u);
  EXPECT_EQ(atoms[0], Atom::symbol("fromJweb"));
  EXPECT_EQ(atoms[1], Atom::integer(3));
  EXPECT_EQ(atoms[2], Atom::integer(-4));
  EXPECT_EQ(atoms[3], Atom::real(2.5));
  EXPECT_EQ(atoms[4], Atom::real(100.0));
  EXPECT_EQ(atoms[5].kind(), AtomKind::Float);  // beyond the int atom's range
  EXPECT_EQ(atoms[6], Atom::symbol(""));
}

TEST(MessageLines, RejectsEverythingElse) {
  for (const char* line : {"bang", "{}", "[]", "[null]", "[true]", "[[\"a\"]]", "[{\"a\":1}]", "[\"a\"",
                           "[\"a\"] x", "[\"\xFF\"]", "\"bang\""})
    EXPECT_FALSE(parseMessageLine(line).message) << line;
  const std::string deep = std::string(10000, '[') + std::string(10000, ']');
  EXPECT_FALSE(parseMessageLine(deep).message);
}

TEST(MessageLines, FormatsOutletTraffic) {
  EXPECT_EQ(formatOutletLine(1, Atoms{Atom::integer(60), Atom::integer(64)}), R"({"atoms":[60,64],"outlet":1})");
  EXPECT_EQ(formatOutletLine(0, symbols({"toJweb", "version", "{\"ok\":true}"})),
            R"({"atoms":["toJweb","version","{\"ok\":true}"],"outlet":0})");
  EXPECT_EQ(formatOutletLine(0, Atoms{Atom::real(0.5), Atom::semicolon(), Atom::symbol("\xFF")}),
            R"({"atoms":[0.5,";","\ufffd"],"outlet":0})");
}

// What the JSON library makes of a line: the oracle the line reader must agree with.
std::optional<Atoms> libraryAtoms(const std::string& line) {
  const Json value = Json::parse(line, nullptr, false);
  if (value.is_discarded() || !value.is_array() || value.empty()) return std::nullopt;
  Atoms atoms;
  for (const Json& v : value) {
    if (v.is_string()) atoms.push_back(Atom::symbol(v.get<std::string>()));
    else if (v.is_number_unsigned() && v.get<std::uint64_t>() > 9223372036854775807ull) atoms.push_back(Atom::real(v.get<double>()));
    else if (v.is_number_integer()) atoms.push_back(Atom::integer(v.get<long long>()));
    else if (v.is_number()) atoms.push_back(Atom::real(v.get<double>()));
    else return std::nullopt;
  }
  return atoms;
}

// Lines cut, spliced and mutated from typical ones, so every branch of the direct reader meets
// both well-formed and broken text.
TEST(MessageLines, ReadAsTheJsonLibraryReadsThem) {
  const std::vector<std::string> seeds = {
      R"(["fromJweb","parse_chord","{\"chord\":\"Cm7\"}"])",
      " [ \"voicing\" ,\t\"closed\" , \"C\" ]\r",
      R"(["a\/b\\c\b\f\n\r\t", -0, 0, 7, -123456789012345678, 1234567890123456789, 01, 1.5, 2e3, -])",
      R"(["\u00e9\ud83c\udfb5", "caf\u00E9", "x\q"])",
      "[\"\xC3\xA9\", \"\x7F\", \"\x01\", 5]",
      "[\"bang\"] [",
  };
  const std::string alphabet = "[]\",\\ -0123456789.eEu/abfnrt\t\r\x7F\xC3\xA9{}";
  std::vector<std::string> lines = seeds;
  std::uint32_t random = 12345;
  auto next = [&] { return random = random * 1664525u + 1013904223u; };
  for (int round = 0; round < 20000; ++round) {
    std::string line = seeds[next() % seeds.size()];
    for (int edits = 1 + next() % 3; edits > 0 && !line.empty(); --edits) {
      const std::size_t at = next() % line.size();
      switch (next() % 3) {
        case 0: line[at] = alphabet[next() % alphabet.size()]; break;
        case 1: line.erase(at, 1 + next() % 3); break;
        default: line.insert(at, 1, alphabet[next() % alphabet.size()]);
      }
    }
    lines.push_back(line);
  }
  std::size_t accepted = 0;
  for (const auto& line : lines) {
    const MessageLine parsed = parseMessageLine(line);
    const std::optional<Atoms> expected = libraryAtoms(line);
    ASSERT_EQ(parsed.message.has_value(), expected.has_value()) << line;
    if (expected) {
      ASSERT_EQ(*parsed.message, *expected) << line;
      ++accepted;
    }
  }
  EXPECT_GT(accepted, lines.size() / 10);  // both kinds of line were met
  EXPECT_LT(accepted, lines.size() * 9 / 10);
}

TEST(MessageLines, OutletLinesAreWrittenAsTheJsonLibraryWritesThem) {
  std::vector<Atoms> messages = {{Atom::integer(-9223372036854775807LL - 1), Atom::integer(0), Atom::real(-0.0),
                                  Atom::real(1e300), Atom::real(0.1), Atom::comma()}};
  for (int c = 0; c < 256; ++c) messages.push_back({Atom::symbol(std::string("<") + static_cast<char>(c) + ">")});
  messages.push_back({Atom::symbol("\xC3\xA9 \xF0\x9F\x8E\xB5 \xC3"), Atom::symbol("")});
  for (const Atoms& message : messages) {
    Json atoms = Json::array();
    for (const Atom& atom : message) {
      if (atom.kind() == AtomKind::Symbol) atoms.push_back(atom.name());
      else if (atom.kind() == AtomKind::Int) atoms.push_back(atom.intValue());
      else if (atom.kind() == AtomKind::Float) atoms.push_back(atom.floatValue());
      else atoms.push_back(atomToText(atom));
    }
    const Json line{{"atoms", atoms}, {"outlet", 3}};
    EXPECT_EQ(formatOutletLine(3, message), line.dump(-1, ' ', true, Json::error_handler_t::replace));
  }
}

TEST(HeadlessHost, FeedsLinesAndReportsBadOnes) {
  InMemoryClipboard clipboard;
  ManualTimers timers;
  HeadlessPowerNotifications power;
  ProcessWideState state;
  std::istringstream in(
      "[\"bang\"]\n"
      "\n"
      "   \t\r\n"
      "not json\n"
      "[\"fromJweb\",\"get_version\",\"{\\\"request_id\\\":\\\"h\\\"}\"]\r\n"
      "[]\n"
      "[\"parse\",\"C/E\"]");
  std::ostringstream out;
  std::ostringstream diagnostics;
  EXPECT_EQ(runHeadlessHost(in, out, diagnostics, HostServices{clipboard, timers, power, state, ""}), 0);
  EXPECT_EQ(out.str(),
            "{\"atoms\":[60,64,67],\"outlet\":1}\n"
            "{\"atoms\":[\"toJweb\",\"version\",\"{\\\"ok\\\":true,\\\"payload\\\":{\\\"version\\\":\\\"1.1.1\\\"},"
            "\\\"request_id\\\":\\\"h\\\",\\\"type\\\":\\\"version\\\"}\"],\"outlet\":0}\n"
            "{\"atoms\":[\"C\",\"maj\",\"E\"],\"outlet\":0}\n");
  const std::string errors = diagnostics.str();
  EXPECT_NE(errors.find("line 4"), std::string::npos) << errors;
  EXPECT_NE(errors.find("line 6"), std::string::npos) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2);
}

}  // namespace
}  // namespace tw
