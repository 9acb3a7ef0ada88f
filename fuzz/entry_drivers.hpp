#pragma once
// One function per fuzzed entry point: it turns an input's bytes into a call of that entry
// point and checks what must hold afterwards. The fuzz targets and the replay test call the
// same functions, so every seed and every minimised finding is replayed exactly as it was
// fuzzed.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/chart_reading.hpp"
#include "analysis/progression_parsing.hpp"
#include "chord/chart_reader.hpp"
#include "chord/chord_parser.hpp"
#include "chord/quality_catalogue.hpp"
#include "generation/continuation_corpus.hpp"
#include "generation/corpus_format.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/progression_corpus.hpp"
#include "reply_checks.hpp"
#include "protocol/request_handlers.hpp"

namespace tw::fuzzing {

using Bytes = std::span<const std::uint8_t>;

inline std::string_view asText(Bytes bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Runs one entry point; anything it throws is a finding, never a crash of the checker.
template <typename Body>
void guarded(std::string_view what, Violations& found, Body&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    found.add(std::string(what) + " threw: " + excerpt(e.what()));
  } catch (...) {
    found.add(std::string(what) + " threw something that is not a standard exception");
  }
}

// ---------------------------------------------------------------------------------------
// Chord symbols: the input is the typed text.

inline bool isParserWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline std::string_view trimmedForParser(std::string_view text) {
  while (!text.empty() && isParserWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isParserWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

inline void checkParsedChord(const ParsedChord& chord, const std::string& where, Violations& found) {
  if (chord.root < 0 || chord.root > 11) found.add(where + ": root outside 0..11");
  if (chord.bass && (*chord.bass < 0 || *chord.bass > 11)) found.add(where + ": bass outside 0..11");
  if (!isCatalogueSymbol(chord.quality)) {
    found.add(where + ": quality is not a catalogue symbol: " + excerpt(chord.quality));
    return;
  }
  if (!(chord.intervals == qualityIntervals(chord.quality)))
    found.add(where + ": intervals differ from the catalogue's for " + chord.quality);
  if (chord.intervals.empty() || chord.intervals.front() != 0) found.add(where + ": intervals do not start at 0");
  for (std::size_t i = 1; i < chord.intervals.size(); ++i) {
    if (chord.intervals[i] <= chord.intervals[i - 1] || chord.intervals[i] > 21)
      found.add(where + ": intervals do not ascend within 0..21");
  }
  const auto pitchClasses = chordPitchClasses(chord);
  if (pitchClasses.size() != chord.intervals.size()) found.add(where + ": one pitch class per interval expected");
  for (auto pc : pitchClasses) {
    if (pc < 0 || pc > 11) found.add(where + ": pitch class outside 0..11");
  }
  static const std::vector<std::string_view> kCategories = {
      "suspended", "half-diminished", "diminished", "augmented", "sixth", "minor", "major", "dominant"};
  const auto category = qualityCategory(chord.quality);
  if (std::find(kCategories.begin(), kCategories.end(), category) == kCategories.end())
    found.add(where + ": unknown category " + excerpt(category));
}

inline void runChordSymbolInput(Bytes bytes, Violations& found) {
  const std::string_view text = asText(bytes);
  guarded("chord parser", found, [&] {
    const auto chord = parseChordSymbol(text);
    if (!chord) return;
    checkParsedChord(*chord, "parsed " + excerpt(text, 60), found);
    if (chord->symbol != trimmedForParser(text))
      found.add("parsed symbol is not the trimmed input: " + excerpt(chord->symbol));
    // The symbol written back from the chord reads as the same chord.
    for (bool preferFlats : {false, true}) {
      const std::string written = chordSymbolText(*chord, preferFlats);
      const auto again = parseChordSymbol(written);
      if (!again || again->root != chord->root || again->quality != chord->quality || again->bass != chord->bass)
        found.add("written symbol does not read back as the same chord: " + excerpt(written));
    }
  });
  // The chart reader: a rewrite stays short, always reads, and never touches a symbol the
  // parser reads as written.
  guarded("chart reader", found, [&] {
    const auto rewritten = rewriteChartSymbol(text);
    const ChartChord read = readChartChord(text);
    if (parseChordSymbol(text)) {
      if (!read.chord || !read.readAs.empty()) found.add("chart reader changed a readable symbol: " + excerpt(text));
      return;
    }
    if (!rewritten) {
      if (read.chord) found.add("chart reader read a symbol without a rewrite: " + excerpt(text));
      return;
    }
    if (rewritten->size() > text.size() + kChartRewriteGrowth)
      found.add("chart rewrite grew past its bound: " + excerpt(*rewritten));
    if (!read.chord || read.readAs != *rewritten) found.add("chart rewrite does not read: " + excerpt(*rewritten));
    else checkParsedChord(*read.chord, "chart-read " + excerpt(text, 60), found);
  });
  guarded("chart bars", found, [&] {
    for (const ChartToken& token : chartTokens(text))
      if (token.share.bar < 0 || token.share.parts < 1 || token.share.part < 0 ||
          token.share.part >= token.share.parts || token.text.empty())
        found.add("chart token with a broken share: " + excerpt(text));
  });
}

// ---------------------------------------------------------------------------------------
// Progression text: the input is the typed line. The tokens are worked out here once more,
// the plain way, and the parser must agree with them; the request handler must report the
// same chords and error tokens.

inline bool isCLocaleSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline std::vector<std::string> progressionTokens(std::string_view text) {
  std::vector<std::string> tokens;
  std::string current;
  for (char c : text) {
    if (c == '|' || c == ',' || isCLocaleSpace(c)) {
      if (!current.empty()) tokens.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) tokens.push_back(std::move(current));
  return tokens;
}

inline void checkProgressionHandler(std::string_view text, const ProgressionParse& parse, const Json& key,
                                    Violations& found) {
  Json payload = {{"progression", std::string(text)}, {"key", key}, {"request_id", "r1"}};
  const HandlerReply reply = handleParseProgression(payload);
  const std::string where = "parse_progression reply";
  if (!reply.payload.is_object()) {
    found.add(where + " payload is not an object");
    return;
  }
  if (reply.payload.value("request_id", Json()) != "r1") found.add(where + " lost the request_id");
  if (text.empty()) {
    if (reply.type != "parse_error") found.add(where + " to an empty text is not parse_error");
    return;
  }
  const bool clean = parse.errorTokens.empty();
  if (reply.type != (clean ? "parse_progression_result" : "parse_error")) {
    found.add(where + " has type " + reply.type);
    return;
  }
  const auto chords = reply.payload.find("chords");
  if (chords == reply.payload.end() || !chords->is_array() || chords->size() != parse.chords.size()) {
    found.add(where + " does not list one record per chord");
    return;
  }
  for (const auto& record : *chords) {
    const auto degree = record.find("degree");
    if (degree == record.end() || !degree->is_number_integer() || degree->get<int>() < 0 || degree->get<int>() > 7)
      found.add(where + " has a chord record without a degree in 0..7");
    for (const char* member : {"root", "quality", "symbol", "original", "category", "roman"}) {
      const auto it = record.find(member);
      if (it == record.end() || !it->is_string()) found.add(where + " chord record lacks a text " + member);
    }
  }
  const auto errors = reply.payload.find("errors");
  if (!clean && (errors == reply.payload.end() || !errors->is_array() || errors->size() != parse.errorTokens.size()))
    found.add(where + " does not list one entry per error token");
}

inline void runProgressionTextInput(Bytes bytes, Violations& found) {
  const std::string_view text = asText(bytes);
  guarded("progression parser", found, [&] {
    const ProgressionParse parse = tokenizeProgression(text);
    std::vector<std::string> expectedChords;
    std::vector<std::string> expectedErrors;
    for (const auto& token : progressionTokens(text)) {
      if (token == "%") {
        if (!expectedChords.empty()) expectedChords.push_back(expectedChords.back());
      } else if (parseChordSymbol(token)) {
        expectedChords.push_back(token);
      } else {
        expectedErrors.push_back(token);
      }
    }
    if (parse.errorTokens != expectedErrors)
      found.add("error tokens differ from the text's rejected tokens: " + excerpt(text));
    if (parse.chords.size() != expectedChords.size()) {
      found.add("chord count differs from the text's chord tokens: " + excerpt(text));
    } else {
      for (std::size_t i = 0; i < parse.chords.size(); ++i) {
        if (parse.chords[i].symbol != expectedChords[i])
          found.add("chord " + std::to_string(i) + " is not the token as typed: " + excerpt(parse.chords[i].symbol));
        checkParsedChord(parse.chords[i], "progression chord " + std::to_string(i), found);
      }
    }
    checkProgressionHandler(text, parse, {{"root", "C"}}, found);
    checkProgressionHandler(text, parse, {{"root", "Eb"}, {"mode", "minor"}, {"minorScaleType", "melodic"}}, found);
  });
}

// ---------------------------------------------------------------------------------------
// Corpus files. The first byte chooses the form of the rest: even, the bytes of a file as
// shipped (scrambled, with its checksum); odd, an unscrambled body that gets a valid
// checksum and the scramble here, so the search reaches the structure behind the checksum.

inline std::vector<std::uint8_t> corpusFileFromInput(Bytes bytes, CorpusFileKind kind) {
  if (bytes.empty()) return {};
  const Bytes rest = bytes.subspan(1);
  if ((bytes[0] & 1) == 0) return {rest.begin(), rest.end()};
  CorpusWriter writer;
  writer.raw(asText(rest));
  return std::move(writer).finish(kind);
}

inline void runContinuationCorpusInput(Bytes bytes, Violations& found) {
  guarded("continuation corpus reader", found, [&] {
    const auto file = corpusFileFromInput(bytes, CorpusFileKind::continuations);
    const auto decoded = decodeContinuationCorpus(file);
    const bool loaded = loadContinuationCorpus(file);
    if (loaded != decoded.has_value()) found.add("loader and decoder disagree on a continuation file");
    if (!decoded) {
      if (!continuationCorpus().empty()) found.add("a rejected continuation file left a corpus loaded");
      return;
    }
    if (!(continuationCorpus() == *decoded)) found.add("loaded continuation corpus differs from the decoded one");
    for (const auto& [numeral, continuations] : decoded->entries()) {
      if (!isStorableText(numeral)) found.add("continuation corpus holds an unstorable numeral");
      if (continuations.empty() || continuations.size() > 255)
        found.add("continuation record of " + std::to_string(continuations.size()) + " entries");
      float previous = 2.0f;
      for (const auto& next : continuations) {
        if (!isStorableText(next.numeral)) found.add("continuation corpus holds an unstorable target");
        if (!(next.probability >= 0.0f && next.probability <= 1.0f))
          found.add("continuation probability outside 0..1");
        if (next.probability > previous) found.add("continuations are not best first");
        previous = next.probability;
      }
    }
    const auto again = decodeContinuationCorpus(encodeContinuationCorpus(*decoded));
    if (!again || !(*again == *decoded)) found.add("a decoded continuation corpus does not survive a round trip");
  });
}

inline void runProgressionCorpusInput(Bytes bytes, Violations& found) {
  guarded("progression corpus reader", found, [&] {
    const auto file = corpusFileFromInput(bytes, CorpusFileKind::progressions);
    const auto decoded = decodeProgressionCorpus(file);
    const bool loaded = loadProgressionCorpus(file);
    if (loaded != decoded.has_value()) found.add("loader and decoder disagree on a progression file");
    if (!decoded) {
      if (!progressionCorpus().empty()) found.add("a rejected progression file left a corpus loaded");
      return;
    }
    if (!(progressionCorpus() == *decoded)) found.add("loaded progression corpus differs from the decoded one");
    for (const auto& [genre, groups] : decoded->genres()) {
      if (!isStorableText(genre)) found.add("progression corpus holds an unstorable genre key");
      if (groups.empty()) found.add("progression corpus holds a genre without groups");
      for (const auto& [length, progressions] : groups) {
        if (length < 1 || length > kMaxStoredProgressionLength) found.add("progression group of length " + std::to_string(length));
        if (progressions.empty()) found.add("progression corpus holds an empty group");
        for (const auto& progression : progressions) {
          if (progression.numerals.size() != static_cast<std::size_t>(length))
            found.add("stored progression length differs from its group's");
          for (const auto& numeral : progression.numerals)
            if (!isStorableText(numeral)) found.add("progression corpus holds an unstorable numeral");
          if (!progression.mode.minor && progression.mode.melodic) found.add("a major progression is marked melodic");
        }
      }
    }
    const auto again = decodeProgressionCorpus(encodeProgressionCorpus(*decoded));
    if (!again || !(*again == *decoded)) found.add("a decoded progression corpus does not survive a round trip");
  });
}

}  // namespace tw::fuzzing
