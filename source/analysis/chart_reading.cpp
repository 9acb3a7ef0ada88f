#include "analysis/chart_reading.hpp"

#include "chord/chart_reader.hpp"

namespace tw {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == ','; }

// The tokens of one stretch of text between bar lines.
std::vector<std::string_view> tokensOf(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < text.size() && !isBlank(text[pos])) ++pos;
    if (pos > start) tokens.push_back(text.substr(start, pos - start));
  }
  return tokens;
}

}  // namespace

std::vector<ChartToken> chartTokens(std::string_view text) {
  std::vector<std::vector<std::string_view>> bars;
  if (text.find('|') == std::string_view::npos) {
    for (std::string_view token : tokensOf(text)) bars.push_back({token});
  } else {
    std::size_t start = 0;
    for (std::size_t bar = text.find('|'); start <= text.size();
         start = bar + 1, bar = text.find('|', start)) {
      const std::size_t end = bar == std::string_view::npos ? text.size() : bar;
      bars.push_back(tokensOf(text.substr(start, end - start)));
      if (bar == std::string_view::npos) break;
    }
  }
  std::vector<ChartToken> tokens;
  int barNumber = 0;
  for (auto& bar : bars) {
    if (tokens.empty())
      while (!bar.empty() && bar.front() == "%") bar.erase(bar.begin());
    if (bar.empty()) continue;
    const int parts = static_cast<int>(bar.size());
    for (int part = 0; part < parts; ++part)
      tokens.push_back({bar[static_cast<std::size_t>(part)], {barNumber, part, parts}});
    ++barNumber;
  }
  return tokens;
}

bool isNoChordMark(std::string_view token) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  std::string mark;
  for (char c : token) mark += lower(c);
  return mark == "nc" || mark == "n.c." || mark == "n.c";
}

bool ChartReading::allRead() const { return unread().empty(); }

std::vector<std::string> ChartReading::unread() const {
  std::vector<std::string> tokens;
  for (const auto& e : entries)
    if (!e.chord && !e.noChord) tokens.push_back(e.typed);
  return tokens;
}

std::size_t ChartReading::chordCount() const {
  std::size_t count = 0;
  for (const auto& e : entries) count += e.chord ? 1 : 0;
  return count;
}

ChartReading readChart(std::string_view text, bool strict) {
  ChartReading reading;
  std::optional<std::size_t> lastRead;  // the last chord or no-chord mark read
  for (const ChartToken& token : chartTokens(text)) {
    ChartEntry entry{std::string(token.text), std::nullopt, false, {}, token.share};
    if (isNoChordMark(token.text)) {
      entry.noChord = true;
    } else if (token.text == "%") {
      if (lastRead) {
        entry.chord = reading.entries[*lastRead].chord;
        entry.noChord = reading.entries[*lastRead].noChord;
      }
    } else if (strict) {
      entry.chord = parseChordSymbol(token.text);
    } else {
      ChartChord read = readChartChord(token.text);
      entry.chord = std::move(read.chord);
      entry.readAs = std::move(read.readAs);
    }
    if (entry.chord || entry.noChord) lastRead = reading.entries.size();
    reading.entries.push_back(std::move(entry));
  }
  return reading;
}

}  // namespace tw
