#include "datasets/dataset_readers.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <array>

#include <nlohmann/json.hpp>

#include "chord/chart_reader.hpp"
#include "chord/pitch_spelling.hpp"
#include "chord/quality_catalogue.hpp"
#include "generation/mode_judgment.hpp"
#include "generation/notation_chords.hpp"

namespace tw {

namespace {

using Json = nlohmann::json;

std::vector<Json> readJsonLines(const std::string& path, bool& found) {
  std::vector<Json> records;
  std::ifstream in(path);
  found = static_cast<bool>(in);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto record = Json::parse(line, nullptr, false);
    if (record.is_object()) records.push_back(std::move(record));
  }
  return records;
}

void reject(DatasetReading& reading, const std::string& symbol, const std::string& reason) {
  ++reading.rejectedCount;
  ++reading.rejected[symbol + " (" + reason + ")"];
}

// One piece's chords as they are read: a chord that cannot be read, or a rest, leaves a gap
// that the next chord read remembers.
class PieceChords {
 public:
  explicit PieceChords(DatasetReading& reading) : reading_(reading) {}
  void reject(const std::string& text, const std::string& reason) {
    tw::reject(reading_, text, reason);
    gap_ = true;
    entries_ = true;
    rejected_ = true;
    ++unread_;
  }
  // Hands the piece what was read, and counts it as seen, and as fully read when nothing in
  // it was rejected.
  void finishInto(AnnotatedPiece& piece) {
    piece.unread = unread_;
    piece.chords = std::move(chords_);
    if (!entries_) return;
    ++reading_.piecesSeen;
    if (!rejected_) ++reading_.piecesFullyRead;
  }
  void rest() {
    ++reading_.noChord;
    gap_ = true;
  }
  void add(ParsedChord chord, KeyContext key, double duration, bool phraseStart) {
    ++reading_.chordsRead;
    entries_ = true;
    chords_.push_back({std::move(chord), key, duration, phraseStart, gap_});
    gap_ = false;
  }
  const std::vector<AnnotatedChord>& chords() const { return chords_; }

 private:
  DatasetReading& reading_;
  std::vector<AnnotatedChord> chords_;
  bool gap_ = false;
  bool entries_ = false;
  bool rejected_ = false;
  long unread_ = 0;
};

std::string stringAt(const Json& array, std::size_t i) {
  if (!array.is_array() || i >= array.size() || !array[i].is_string()) return {};
  return array[i].get<std::string>();
}

double numberAt(const Json& array, std::size_t i, double fallback) {
  if (!array.is_array() || i >= array.size() || !array[i].is_number()) return fallback;
  return array[i].get<double>();
}

// "Eb" E-flat major, "eb" E-flat minor, "b" B minor, "bb" B-flat minor.
std::optional<KeyContext> romanTextKey(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::string name = text;
  for (char& c : name) if (c == '-') c = 'b';
  auto root = parseNoteName(name);
  if (!root) return std::nullopt;
  bool minor = text[0] >= 'a' && text[0] <= 'z';
  return KeyContext{*root, minor, false};
}

// Judges the mode of each tonic of a piece from the chords played while it holds.
void judgeModes(AnnotatedPiece& piece) {
  std::map<PitchClass, std::vector<TimedChord>> byTonic;
  for (const auto& c : piece.chords) byTonic[c.key.root].push_back({c.chord, c.duration});
  std::map<PitchClass, bool> minor;
  for (const auto& [tonic, chords] : byTonic) minor[tonic] = judgeMinorFromChords(chords, tonic);
  for (auto& c : piece.chords) c.key.minor = minor[c.key.root];
}

// The tonic a lead sheet rests on: time spent on stable chords (major, major seventh, sixth,
// minor, minor sixth, minor-major seventh) on the tonic, resolutions of a dominant a fifth
// above it, and the first and above all the last chord; then the mode from the chords.
KeyContext judgeLeadSheetKey(const std::vector<AnnotatedChord>& chords) {
  std::array<double, 12> score{};
  auto stable = [](const std::string& q) {
    return q == "maj" || q == "maj7" || q == "6" || q == "69" || q == "maj9" || q == "m" ||
           q == "m7" || q == "m6" || q == "mM7" || q == "m69" || q == "m9" || q == "add9";
  };
  for (std::size_t i = 0; i < chords.size(); ++i) {
    const auto& c = chords[i].chord;
    if (stable(c.quality)) score[static_cast<std::size_t>(c.root)] += chords[i].duration;
    if (i + 1 < chords.size() && qualityCategory(c.quality) == "dominant" &&
        reducePitchClass(chords[i + 1].chord.root - c.root) == 5 && stable(chords[i + 1].chord.quality))
      score[static_cast<std::size_t>(chords[i + 1].chord.root)] += 1.0;
  }
  if (stable(chords.front().chord.quality)) score[static_cast<std::size_t>(chords.front().chord.root)] += 2.0;
  score[static_cast<std::size_t>(chords.back().chord.root)] += 6.0;
  std::size_t best = 0;
  for (std::size_t pc = 1; pc < 12; ++pc)
    if (score[pc] > score[best]) best = pc;
  std::vector<TimedChord> timed;
  for (const auto& c : chords) timed.push_back({c.chord, c.duration});
  PitchClass tonic = static_cast<PitchClass>(best);
  return KeyContext{tonic, judgeMinorFromChords(timed, tonic), false};
}

std::uint64_t seededHash(const std::string& text) {
  std::uint64_t hash = 0xcbf29ce484222325ULL ^ 0x5eed2026ULL;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

}  // namespace

DatasetReading readWhenInRome(const std::string& folder) {
  DatasetReading reading;
  reading.name = "when-in-rome";
  for (const auto& record : readJsonLines(folder + "/when-in-rome/corpus.jsonl", reading.found)) {
    AnnotatedPiece piece;
    piece.id = record.value("id", "");
    const auto& chords = record.contains("chords") ? record["chords"] : Json::array();
    std::vector<std::size_t> phraseEnds;
    if (record.contains("phrase_ends") && record["phrase_ends"].is_array())
      for (const auto& e : record["phrase_ends"])
        if (e.is_number_unsigned()) phraseEnds.push_back(e.get<std::size_t>());
    PieceChords read(reading);
    bool nextStartsPhrase = true;
    for (std::size_t i = 0; i < chords.size(); ++i) {
      const auto& entry = chords[i];
      std::string keyText = stringAt(entry, 2);
      std::string numeral = stringAt(entry, 3);
      bool startsPhrase = nextStartsPhrase;
      nextStartsPhrase = std::find(phraseEnds.begin(), phraseEnds.end(), i) != phraseEnds.end();
      auto key = romanTextKey(keyText);
      if (!key) {
        read.reject(keyText + ":" + numeral, "key");
        continue;
      }
      auto converted = chordFromRomanText(numeral, *key);
      if (!converted.chord) {
        read.reject(numeral, converted.failure);
        continue;
      }
      read.add(*converted.chord, *key, 1.0, startsPhrase);
    }
    read.finishInto(piece);
    if (!piece.chords.empty()) reading.pieces.push_back(std::move(piece));
  }
  return reading;
}

DatasetReading readRockCorpus(const std::string& folder) {
  DatasetReading reading;
  reading.name = "rock-corpus";
  for (const auto& record : readJsonLines(folder + "/rock-corpus/corpus.jsonl", reading.found)) {
    AnnotatedPiece piece;
    piece.id = record.value("id", "");
    const auto& chords = record.contains("chords") ? record["chords"] : Json::array();
    PieceChords read(reading);
    for (const auto& entry : chords) {
      std::string tonicText = stringAt(entry, 3);
      std::string numeral = stringAt(entry, 4);
      double duration = numberAt(entry, 2, 1.0);
      if (numeral == "R" || tonicText.empty()) {
        read.rest();
        continue;
      }
      auto tonic = parseNoteName(tonicText);
      if (!tonic) {
        read.reject(tonicText, "tonic");
        continue;
      }
      auto converted = chordFromRockNumeral(numeral, *tonic);
      if (!converted.chord) {
        read.reject(numeral, converted.failure);
        continue;
      }
      read.add(*converted.chord, KeyContext{*tonic, false, false}, duration, read.chords().empty());
    }
    read.finishInto(piece);
    judgeModes(piece);
    if (!piece.chords.empty()) reading.pieces.push_back(std::move(piece));
  }
  return reading;
}

DatasetReading readBillboard(const std::string& folder) {
  DatasetReading reading;
  reading.name = "mcgill-billboard";
  for (const auto& record : readJsonLines(folder + "/mcgill-billboard/corpus.jsonl", reading.found)) {
    AnnotatedPiece piece;
    piece.id = record.value("id", "");
    std::vector<long> sectionStarts;
    if (record.contains("sections") && record["sections"].is_array())
      for (const auto& s : record["sections"])
        sectionStarts.push_back(static_cast<long>(numberAt(s, 0, -1)));
    const auto& chords = record.contains("chords") ? record["chords"] : Json::array();
    PieceChords read(reading);
    long lastBar = -1;
    for (const auto& entry : chords) {
      long bar = static_cast<long>(numberAt(entry, 0, -1));
      std::string tonicText = stringAt(entry, 3);
      std::string symbol = stringAt(entry, 4);
      double duration = numberAt(entry, 2, 1.0);
      bool sectionStart = bar != lastBar &&
                          std::find(sectionStarts.begin(), sectionStarts.end(), bar) != sectionStarts.end();
      lastBar = bar;
      if (symbol == "N" || symbol.empty()) {
        read.rest();
        continue;
      }
      auto tonic = parseNoteName(tonicText);
      if (!tonic) {
        read.reject(tonicText, "tonic");
        continue;
      }
      auto converted = chordFromHarte(symbol);
      if (!converted.chord) {
        read.reject(symbol, converted.failure);
        continue;
      }
      read.add(*converted.chord, KeyContext{*tonic, false, false}, duration, sectionStart);
    }
    read.finishInto(piece);
    judgeModes(piece);
    if (!piece.chords.empty()) reading.pieces.push_back(std::move(piece));
  }
  return reading;
}

DatasetReading readJazzCorpus(const std::string& folder, SymbolReading symbols) {
  namespace fs = std::filesystem;
  DatasetReading reading;
  reading.name = "jazz-corpus";
  fs::path root = fs::path(folder) / "jazz-corpus" / "SongDB";
  std::error_code error;
  if (!fs::is_directory(root, error)) return reading;
  reading.found = true;
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error))
    if (it->is_regular_file(error)) files.push_back(it->path());
  std::sort(files.begin(), files.end());

  for (const auto& file : files) {
    AnnotatedPiece piece;
    piece.id = "jazz:" + fs::relative(file, root, error).generic_string();
    std::ifstream in(file);
    std::string line;
    PieceChords read(reading);
    long bar = 0;
    while (std::getline(in, line)) {
      if (line.find('=') != std::string::npos) continue;  // metadata
      std::istringstream words(line);
      std::string word;
      std::vector<std::string> barChords;
      auto flushBar = [&] {
        for (const auto& symbol : barChords) {
          if (symbol == "NC") {
            read.rest();
            continue;
          }
          ChartChord parsed = symbols == SymbolReading::chart ? readChartChord(symbol)
                                                               : ChartChord{parseChordSymbol(symbol), {}};
          if (!parsed.chord) {
            read.reject(symbol, "chord parser");
            continue;
          }
          if (!parsed.readAs.empty()) {
            ++reading.rewrittenCount;
            ++reading.rewritten[symbol];
          }
          read.add(std::move(*parsed.chord), KeyContext{}, 1.0 / static_cast<double>(barChords.size()),
                   bar % 8 == 0 && &symbol == &barChords.front());
        }
        barChords.clear();
        ++bar;
      };
      while (words >> word) {
        if (word == "|") flushBar();
        else barChords.push_back(word);
      }
      if (!barChords.empty()) flushBar();
    }
    read.finishInto(piece);
    if (piece.chords.empty()) continue;
    // A lead sheet's key signature often defaults to C: the key is judged from the chords.
    const KeyContext key = judgeLeadSheetKey(piece.chords);
    for (auto& c : piece.chords) c.key = key;
    reading.pieces.push_back(std::move(piece));
  }
  return reading;
}

std::vector<AnnotatedPiece> holdOutTenth(std::vector<AnnotatedPiece>& pieces) {
  std::vector<std::pair<std::uint64_t, std::size_t>> order;
  for (std::size_t i = 0; i < pieces.size(); ++i) order.emplace_back(seededHash(pieces[i].id), i);
  std::sort(order.begin(), order.end());
  std::size_t heldCount = (pieces.size() + 9) / 10;
  std::vector<bool> held(pieces.size(), false);
  for (std::size_t i = 0; i < heldCount && i < order.size(); ++i) held[order[i].second] = true;
  std::vector<AnnotatedPiece> kept, heldOut;
  for (std::size_t i = 0; i < pieces.size(); ++i)
    (held[i] ? heldOut : kept).push_back(std::move(pieces[i]));
  pieces = std::move(kept);
  return heldOut;
}

}  // namespace tw
