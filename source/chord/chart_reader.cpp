#include "chord/chart_reader.hpp"

#include <vector>

#include "chord/text_index.hpp"

namespace tw {

namespace {

constexpr ChartSpelling kChartSpellings[] = {
#include "chart_spellings.inc"
};

constexpr bool isWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view trimWhiteSpace(std::string_view text) {
  while (!text.empty() && isWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

const TextIndex& spellingIndex() {
  static const TextIndex index = [] {
    std::vector<TextIndex::Row> rows;
    for (std::size_t i = 0; i < std::size(kChartSpellings); ++i)
      rows.emplace_back(kChartSpellings[i].chart, static_cast<std::uint16_t>(i));
    return TextIndex(rows);
  }();
  return index;
}

std::string rewritten(std::string_view rootToken, std::string_view catalogue, std::string_view bass) {
  std::string text;
  text.reserve(rootToken.size() + catalogue.size() + 1 + bass.size());
  text += rootToken;
  text += catalogue;
  if (!bass.empty()) {
    text += '/';
    text += bass;
  }
  return text;
}

}  // namespace

std::span<const ChartSpelling> chartSpellings() { return kChartSpellings; }

std::optional<std::string> rewriteChartSymbol(std::string_view symbol) {
  const RootToken root = splitRootToken(trimWhiteSpace(symbol));
  if (!root.root || root.rest.empty()) return std::nullopt;
  const TextIndex& index = spellingIndex();
  if (const int row = index.find(root.rest); row >= 0)
    return rewritten(root.token, kChartSpellings[row].catalogue, {});
  // A slash bass after a chart quality; the quality may hold a slash of its own (m/maj7/G).
  for (std::size_t slash = root.rest.find('/'); slash != std::string_view::npos;
       slash = root.rest.find('/', slash + 1)) {
    const int row = index.find(root.rest.substr(0, slash));
    if (row < 0) continue;
    const std::string_view bass = root.rest.substr(slash + 1);
    const RootToken bassToken = splitRootToken(bass);
    if (!bassToken.root || !bassToken.rest.empty()) return std::nullopt;
    return rewritten(root.token, kChartSpellings[row].catalogue, bass);
  }
  return std::nullopt;
}

ChartChord readChartChord(std::string_view symbol) {
  ChartChord result;
  result.chord = parseChordSymbol(symbol);
  if (result.chord) return result;
  if (auto text = rewriteChartSymbol(symbol)) {
    result.chord = parseChordSymbol(*text);
    if (result.chord) result.readAs = std::move(*text);
  }
  return result;
}

}  // namespace tw
