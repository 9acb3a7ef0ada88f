// The line protocol of the command-line host: lines in, outlet traffic out.
#include <gtest/gtest.h>

#include <sstream>

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
