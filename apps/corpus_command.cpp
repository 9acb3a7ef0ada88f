// tonalweaver corpus: builds the progression and continuation corpora from the annotated data
// sets, and shows what a corpus file holds.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "chord/chord_parser.hpp"
#include "datasets/corpus_builder.hpp"
#include "generation/corpus_loading.hpp"
#include "datasets/suggestion_evaluation.hpp"
#include "subcommand_registry.hpp"

namespace {

constexpr const char* kUsage =
    "usage: tonalweaver corpus build [--out DIR] [--datasets DIR]\n"
    "       tonalweaver corpus dump FILE\n"
    "       tonalweaver corpus evaluate [--datasets DIR] [--cases N] [--context N] [--validation] [--table]\n"
    "       tonalweaver corpus coverage [--datasets DIR] [--top N] [--json]\n"
    "\n"
    "build  reads the annotated data sets (when-in-rome, rock-corpus, mcgill-billboard,\n"
    "       jazz-corpus) and writes DIR/pc.bin and DIR/cc.bin (default DIR: data,\n"
    "       data sets: ../shared/datasets); prints what was read and rejected.\n"
    "dump   prints the content of a pc.bin or cc.bin file as JSON.\n"
    "evaluate  builds the corpora from the training pieces, then asks get_suggestions at every\n"
    "       chord change of the held-out tenth of the pieces, with up to N chords before it\n"
    "       (--context, default 8), and ranks the chord actually played next (by root and pitch\n"
    "       classes); a per-collection bigram trained on the same pieces is the yardstick.\n"
    "       Prints hit@1, hit@5, hit@10 and mean reciprocal rank per collection (as a Markdown\n"
    "       table with --table). --cases N keeps at most N cases per collection (default all).\n"
    "       --validation builds without a further tenth of the training pieces and measures on\n"
    "       it instead, for tuning; the held-out tenth then stays out of everything.\n"
    "coverage  reads the lead-sheet collection (jazz-corpus) twice, with the catalogue's\n"
    "       spellings only and with the chart reader, and prints the share of chord\n"
    "       occurrences read and of tunes read in full, over all the tunes and over the tenth\n"
    "       the corpus build holds out, and the N spellings (default 10) that stay unread\n"
    "       most often.\n"
    "\n"
    "examples:\n"
    "  tonalweaver corpus build --out data --datasets ../shared/datasets\n"
    "  tonalweaver corpus dump build/resources/pc.bin\n"
    "  tonalweaver corpus coverage --datasets ../shared/datasets --top 20\n";

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

nlohmann::json buildReport(const tw::BuiltCorpora& built) {
  nlohmann::json report;
  for (const auto& d : built.datasets) {
    nlohmann::json rejected = nlohmann::json::object();
    std::vector<std::pair<long, std::string>> top;
    for (const auto& [symbol, count] : d.rejected) top.emplace_back(-count, symbol);
    std::sort(top.begin(), top.end());
    for (std::size_t i = 0; i < top.size() && i < 25; ++i) rejected[top[i].second] = -top[i].first;
    report["datasets"][d.name] = {{"genre", d.genreKey},         {"found", d.found},
                                  {"piecesUsed", d.piecesUsed},  {"piecesHeldOut", d.piecesHeldOut},
                                  {"chordsRead", d.chordsRead},  {"noChord", d.noChord},
                                  {"rejected", d.rejectedCount}, {"distinctRejected", d.rejected.size()},
                                  {"rewritten", d.rewrittenCount},
                                  {"mostRejected", rejected},    {"unnamedChords", d.unnamedChords},
                                  {"transitions", d.transitions}};
  }
  for (const auto& [genre, groups] : built.progressions.genres())
    for (const auto& [length, list] : groups) {
      int minor = 0;
      for (const auto& p : list) minor += p.mode.minor ? 1 : 0;
      report["progressions"][genre][std::to_string(length)] = {{"total", list.size()}, {"minor", minor}};
    }
  std::size_t continuations = 0;
  for (const auto& [n, list] : built.continuations.entries()) continuations += list.size();
  report["continuations"] = {{"numerals", built.continuations.entries().size()},
                             {"continuations", continuations}};
  return report;
}

int build(int argc, char** argv) {
  std::string out = "data";
  std::string datasets = "../shared/datasets";
  for (int i = 2; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if ((arg == "--out" || arg == "--datasets") && i + 1 < argc) {
      (arg == "--out" ? out : datasets) = argv[++i];
    } else {
      std::cerr << "tonalweaver corpus build: unknown or incomplete option '" << arg << "'\n" << kUsage;
      return 2;
    }
  }
  tw::BuiltCorpora built = tw::buildCorpora(datasets);
  bool anyFound = false;
  for (const auto& d : built.datasets) anyFound |= d.found;
  if (!anyFound) {
    std::cerr << "tonalweaver corpus build: no data set found under '" << datasets << "'\n";
    return 1;
  }
  if (built.progressions.empty() || built.continuations.empty()) {
    std::cerr << "tonalweaver corpus build: the data sets gave an empty corpus\n";
    return 1;
  }
  std::error_code folderError;
  std::filesystem::create_directories(out, folderError);  // a new output folder is made
  if (!writeFile(out + "/pc.bin", tw::encodeProgressionCorpus(built.progressions)) ||
      !writeFile(out + "/cc.bin", tw::encodeContinuationCorpus(built.continuations))) {
    std::cerr << "tonalweaver corpus build: cannot write to '" << out << "'\n";
    return 1;
  }
  std::cout << buildReport(built).dump(2) << "\n";
  return 0;
}

int dump(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "tonalweaver corpus dump: expected one FILE\n" << kUsage;
    return 2;
  }
  auto bytes = tw::readCorpusFile(argv[2]);
  if (bytes.empty()) {
    std::cerr << "tonalweaver corpus dump: cannot read '" << argv[2] << "'\n";
    return 1;
  }
  nlohmann::json out;
  if (auto pc = tw::decodeProgressionCorpus(bytes)) {
    out["kind"] = "progressions";
    out["genres"] = nlohmann::json::object();
    for (const auto& [genre, groups] : pc->genres())
      for (const auto& [length, list] : groups) {
        auto& array = out["genres"][genre][std::to_string(length)];
        array = nlohmann::json::array();
        for (const auto& p : list)
          array.push_back({{"numerals", p.numerals},
                           {"mode", p.mode.minor ? "minor" : "major"},
                           {"minorScaleType", p.mode.melodic ? "melodic" : "natural"},
                           {"occurrences", p.occurrences}});
      }
  } else if (auto cc = tw::decodeContinuationCorpus(bytes)) {
    out["kind"] = "continuations";
    out["numerals"] = nlohmann::json::object();
    for (const auto& [numeral, list] : cc->entries()) {
      auto& array = out["numerals"][numeral];
      array = nlohmann::json::array();
      for (const auto& c : list) array.push_back({{"numeral", c.numeral}, {"probability", c.probability}});
    }
  } else {
    std::cerr << "tonalweaver corpus dump: '" << argv[2] << "' is not a valid corpus file\n";
    return 1;
  }
  std::cout << out.dump(1) << "\n";
  return 0;
}

bool readCount(const char* text, long& value) {
  try {
    std::size_t used = 0;
    value = std::stol(text, &used);
    return used == std::strlen(text) && value >= 0;
  } catch (const std::exception&) {
    return false;
  }
}

std::string markdownTable(const std::map<std::string, tw::CollectionPrediction>& figures) {
  static const std::pair<const char*, const char*> kRows[] = {{"classical", "classical (when-in-rome)"},
                                                              {"rock", "rock (rock-corpus)"},
                                                              {"popedm", "pop (mcgill-billboard)"},
                                                              {"jazzneosoul", "jazz (lead sheets)"}};
  auto fixed = [](double v, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return std::string(text);
  };
  auto hits = [&](const tw::PredictionFigures& f) {
    return fixed(100 * f.hit1, 1) + " / " + fixed(100 * f.hit5, 1) + " / " + fixed(100 * f.hit10, 1);
  };
  std::string out =
      "| collection | cases | engine MRR | bigram MRR | engine hit@1 / 5 / 10 | bigram hit@1 / 5 / 10 |\n"
      "|---|---:|---:|---:|---:|---:|\n";
  for (const auto& [key, name] : kRows) {
    auto it = figures.find(key);
    if (it == figures.end()) continue;
    const auto& g = it->second;
    out += std::string("| ") + name + " | " + std::to_string(g.engine.cases) + " | " +
           fixed(g.engine.meanReciprocalRank, 3) + " | " + fixed(g.baseline.meanReciprocalRank, 3) + " | " +
           hits(g.engine) + " | " + hits(g.baseline) + " |\n";
  }
  return out;
}

int evaluate(int argc, char** argv) {
  std::string datasets = "../shared/datasets";
  tw::PredictionOptions options;
  tw::CorpusBuildOptions build;
  build.keepTraining = true;
  bool table = false;
  for (int i = 2; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--datasets" && i + 1 < argc) {
      datasets = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if ((arg == "--cases" || arg == "--context") && i + 1 < argc) {
      long value = 0;
      if (!readCount(argv[++i], value)) {
        std::cerr << "tonalweaver corpus evaluate: " << arg << " needs a whole number of 0 or more\n";
        return 2;
      }
      if (arg == "--cases") options.casesPerCollection = value;
      else options.context = static_cast<std::size_t>(value);
    } else if (arg == "--validation") {
      build.validation = true;
    } else if (arg == "--table") {
      table = true;
    } else {
      std::cerr << "tonalweaver corpus evaluate: unknown or incomplete option '" << arg << "'\n" << kUsage;
      return 2;
    }
  }
  std::cerr << "building the corpora from the training pieces...\n";
  tw::BuiltCorpora built = tw::buildCorpora(datasets, build);
  if (built.continuations.empty()) {
    std::cerr << "tonalweaver corpus evaluate: no data sets under '" << datasets << "'\n";
    return 1;
  }
  tw::loadContinuationCorpus(tw::encodeContinuationCorpus(built.continuations));
  options.progress = [](const std::string& collection, long done, long total) {
    std::cerr << "\r" << collection << ": " << done << " of " << total << " cases" << std::flush;
    if (done == total) std::cerr << "\n";
  };
  auto figures = tw::evaluateNextChordPrediction(built.heldOut, built.training, options);
  if (table) {
    std::cout << markdownTable(figures);
    return 0;
  }
  nlohmann::json out = nlohmann::json::object();
  auto row = [](const tw::PredictionFigures& f) {
    auto r3 = [](double v) { return std::round(v * 1000.0) / 1000.0; };
    return nlohmann::json{{"cases", f.cases},        {"hit1", r3(f.hit1)}, {"hit5", r3(f.hit5)},
                          {"hit10", r3(f.hit10)},   {"mrr", r3(f.meanReciprocalRank)}};
  };
  for (const auto& [genre, g] : figures) out[genre] = {{"engine", row(g.engine)}, {"bigram", row(g.baseline)}};
  out["split"] = build.validation ? "validation" : "held-out";
  out["context"] = options.context;
  std::cout << out.dump(2) << "\n";
  return 0;
}

// The quality as a chart spells it: the symbol without its root and slash bass.
std::string writtenQuality(const std::string& symbol) {
  const tw::RootToken root = tw::splitRootToken(symbol);
  std::string_view quality = root.root ? root.rest : std::string_view(symbol);
  if (const std::size_t slash = quality.rfind('/'); slash != std::string_view::npos) {
    const tw::RootToken bass = tw::splitRootToken(quality.substr(slash + 1));
    if (bass.root && bass.rest.empty()) quality = quality.substr(0, slash);
  }
  return quality.empty() ? std::string("(major triad)") : std::string(quality);
}

struct CoverageFigures {
  long occurrences = 0;
  long read = 0;
  long pieces = 0;
  long piecesRead = 0;
  std::vector<std::pair<long, std::string>> unread;  // (-count, written quality), most first
};

// The same figures over the tenth of the tunes the corpus build holds out (tunes none of
// whose chords was read are not among the pieces, and are left out here).
CoverageFigures heldOutCoverageOf(tw::DatasetReading reading) {
  CoverageFigures f;
  for (const tw::AnnotatedPiece& piece : tw::holdOutTenth(reading.pieces)) {
    f.read += static_cast<long>(piece.chords.size());
    f.occurrences += static_cast<long>(piece.chords.size()) + piece.unread;
    ++f.pieces;
    f.piecesRead += piece.unread == 0 ? 1 : 0;
  }
  return f;
}

CoverageFigures coverageOf(const tw::DatasetReading& reading) {
  CoverageFigures f;
  f.read = reading.chordsRead;
  f.occurrences = reading.chordsRead + reading.rejectedCount;
  f.pieces = reading.piecesSeen;
  f.piecesRead = reading.piecesFullyRead;
  std::map<std::string, long> byQuality;
  for (const auto& [key, count] : reading.rejected) {
    // Keys read "symbol (reason)".
    const std::size_t reason = key.rfind(" (");
    byQuality[writtenQuality(key.substr(0, reason))] += count;
  }
  for (const auto& [quality, count] : byQuality) f.unread.emplace_back(-count, quality);
  std::sort(f.unread.begin(), f.unread.end());
  return f;
}

double percent(long part, long whole) { return whole == 0 ? 0.0 : std::round(100000.0 * part / whole) / 1000.0; }

int coverage(int argc, char** argv) {
  std::string datasets = "../shared/datasets";
  long top = 10;
  bool json = false;
  for (int i = 2; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--json") {
      json = true;
    } else if (arg == "--datasets" && i + 1 < argc) {
      datasets = argv[++i];
    } else if (arg == "--top" && i + 1 < argc) {
      char* end = nullptr;
      const std::string text = argv[++i];
      top = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || top < 0 || top > 1000) {
        std::cerr << "tonalweaver corpus coverage: --top takes a whole number from 0 to 1000\n";
        return 2;
      }
    } else {
      std::cerr << "tonalweaver corpus coverage: unknown or incomplete option '" << arg << "'\n" << kUsage;
      return 2;
    }
  }
  const tw::DatasetReading strict = tw::readJazzCorpus(datasets, tw::SymbolReading::catalogue);
  if (!strict.found) {
    std::cerr << "tonalweaver corpus coverage: no jazz-corpus collection under '" << datasets << "'\n";
    return 1;
  }
  const tw::DatasetReading chart = tw::readJazzCorpus(datasets, tw::SymbolReading::chart);
  const CoverageFigures catalogueFigures = coverageOf(strict);
  const CoverageFigures chartFigures = coverageOf(chart);
  const CoverageFigures catalogueHeldOut = heldOutCoverageOf(strict);
  const CoverageFigures chartHeldOut = heldOutCoverageOf(chart);

  auto row = [&](const CoverageFigures& f) {
    nlohmann::json unread = nlohmann::json::array();
    for (std::size_t i = 0; i < f.unread.size() && static_cast<long>(i) < top; ++i)
      unread.push_back({{"quality", f.unread[i].second}, {"occurrences", -f.unread[i].first}});
    return nlohmann::json{{"occurrences", f.occurrences},
                          {"read", f.read},
                          {"readPercent", percent(f.read, f.occurrences)},
                          {"tunes", f.pieces},
                          {"tunesFullyRead", f.piecesRead},
                          {"tunesFullyReadPercent", percent(f.piecesRead, f.pieces)},
                          {"mostUnread", unread}};
  };
  nlohmann::json out{{"collection", strict.name},
                     {"catalogue", row(catalogueFigures)},
                     {"chartReader", row(chartFigures)},
                     {"heldOut", {{"catalogue", row(catalogueHeldOut)}, {"chartReader", row(chartHeldOut)}}},
                     {"rewritten", chart.rewrittenCount},
                     {"noChordMarks", chart.noChord}};
  if (json) {
    std::cout << out.dump(2) << "\n";
    return 0;
  }
  std::cout << "collection " << strict.name << ": " << catalogueFigures.occurrences << " chord occurrences in "
            << catalogueFigures.pieces << " tunes (" << chart.noChord << " no-chord marks not counted)\n";
  auto print = [&](const char* name, const CoverageFigures& f) {
    std::cout << name << f.read << " of " << f.occurrences << " occurrences read (" << percent(f.read, f.occurrences)
              << "%), " << f.piecesRead << " of " << f.pieces << " tunes read in full ("
              << percent(f.piecesRead, f.pieces) << "%)\n";
    if (f.unread.empty() || top == 0) return;
    std::cout << "  unread most often:";
    for (std::size_t i = 0; i < f.unread.size() && static_cast<long>(i) < top; ++i)
      std::cout << (i == 0 ? " " : " · ") << f.unread[i].second << " " << -f.unread[i].first;
    std::cout << "\n";
  };
  print("catalogue spellings only: ", catalogueFigures);
  print("with the chart reader:    ", chartFigures);
  std::cout << "on the held-out tenth of the tunes:\n";
  print("  catalogue spellings only: ", catalogueHeldOut);
  print("  with the chart reader:    ", chartHeldOut);
  std::cout << "the chart reader rewrote " << chart.rewrittenCount << " occurrences\n";
  return 0;
}

int run(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    (argc < 2 ? std::cerr : std::cout) << kUsage;
    return argc < 2 ? 2 : 0;
  }
  std::string_view action = argv[1];
  if (action == "build") return build(argc, argv);
  if (action == "dump") return dump(argc, argv);
  if (action == "evaluate") return evaluate(argc, argv);
  if (action == "coverage") return coverage(argc, argv);
  std::cerr << "tonalweaver corpus: unknown action '" << action << "'\n" << kUsage;
  return 2;
}

}  // namespace

TW_REGISTER_SUBCOMMAND("corpus", "build the progression and continuation corpora, dump one, measure coverage or suggestions", run);
