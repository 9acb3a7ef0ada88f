// tonalweaver corpus: builds the progression and continuation corpora from the annotated data
// sets, and shows what a corpus file holds.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "chord/chord_parser.hpp"
#include "command_line.hpp"
#include "datasets/corpus_builder.hpp"
#include "api/corpus_files.hpp"
#include "generation/corpus_loading.hpp"
#include "datasets/suggestion_evaluation.hpp"
#include "subcommand_registry.hpp"

namespace {

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

struct BuildArguments {
  std::string out = "data";
  std::string datasets = "../shared/datasets";
};

int build(const BuildArguments& args) {
  const std::string& out = args.out;
  const std::string& datasets = args.datasets;
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

int dump(const std::string& file) {
  auto bytes = tw::readCorpusFile(file);
  if (bytes.empty()) {
    std::cerr << "tonalweaver corpus dump: cannot read '" << file << "'\n";
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
    std::cerr << "tonalweaver corpus dump: '" << file << "' is not a valid corpus file\n";
    return 1;
  }
  std::cout << out.dump(1) << "\n";
  return 0;
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

struct EvaluateArguments {
  std::string datasets = "../shared/datasets";
  long long cases = 0;
  long long context = 8;
  bool validation = false;
  bool table = false;
};

int evaluate(const EvaluateArguments& args) {
  const std::string& datasets = args.datasets;
  tw::PredictionOptions options;
  options.casesPerCollection = static_cast<long>(args.cases);
  options.context = static_cast<std::size_t>(args.context);
  tw::CorpusBuildOptions build;
  build.keepTraining = true;
  build.validation = args.validation;
  const bool table = args.table;
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

struct CoverageArguments {
  std::string datasets = "../shared/datasets";
  long top = 10;
  bool json = false;
};

int coverage(const CoverageArguments& args) {
  const std::string& datasets = args.datasets;
  const long top = args.top;
  const bool json = args.json;
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

void addDatasetsOption(CLI::App& action, std::string& datasets) {
  action.add_option("--datasets", datasets, "folder holding the data sets (default ../shared/datasets)")
      ->type_name("DIR");
}

tw::cli::CommandBody define(CLI::App& command) {
  tw::cli::describe(command,
                    "Builds the progression and continuation corpora from the annotated data sets, shows what\n"
                    "a corpus file holds, and measures how much of the lead sheets the chart reader reads and\n"
                    "how well suggestions predict the next chord.",
                    "examples:\n"
                    "  tonalweaver corpus build --out data --datasets ../shared/datasets\n"
                    "  tonalweaver corpus dump build/resources/pc.bin\n"
                    "  tonalweaver corpus coverage --datasets ../shared/datasets --top 20\n"
                    "  tonalweaver corpus evaluate --table");
  command.get_formatter()->label("SUBCOMMAND", "ACTION");
  command.require_subcommand(1);

  auto buildArgs = std::make_shared<BuildArguments>();
  CLI::App* buildAction = command.add_subcommand("build", "")->group("actions");
  tw::cli::describe(*buildAction,
                    "reads the annotated data sets and writes the corpus files\n"
                    "\n"
                    "Reads the annotated data sets (when-in-rome, rock-corpus, mcgill-billboard,\n"
                    "jazz-corpus) and writes DIR/pc.bin and DIR/cc.bin; prints what was read and rejected.",
                    "examples:\n"
                    "  tonalweaver corpus build --out data --datasets ../shared/datasets");
  buildAction->add_option("--out", buildArgs->out, "folder the corpus files are written to (default data)")
      ->type_name("DIR");
  addDatasetsOption(*buildAction, buildArgs->datasets);

  auto dumpFile = std::make_shared<std::string>();
  CLI::App* dumpAction = command.add_subcommand("dump", "")->group("actions");
  tw::cli::describe(*dumpAction, "prints the content of a pc.bin or cc.bin file as JSON",
                    "examples:\n"
                    "  tonalweaver corpus dump build/resources/pc.bin");
  dumpAction->add_option("FILE", *dumpFile, "the corpus file")->required();

  auto evaluateArgs = std::make_shared<EvaluateArguments>();
  CLI::App* evaluateAction = command.add_subcommand("evaluate", "")->group("actions");
  tw::cli::describe(*evaluateAction,
                    "measures how well suggestions predict the next chord on held-out pieces\n"
                    "\n"
                    "Builds the corpora from the training pieces, then asks get_suggestions at every chord\n"
                    "change of the held-out tenth of the pieces, with up to N chords before it (--context),\n"
                    "and ranks the chord actually played next (by root and pitch classes); a per-collection\n"
                    "bigram trained on the same pieces is the yardstick. Prints hit@1, hit@5, hit@10 and mean\n"
                    "reciprocal rank per collection.",
                    "examples:\n"
                    "  tonalweaver corpus evaluate --table\n"
                    "  tonalweaver corpus evaluate --validation --cases 2000");
  addDatasetsOption(*evaluateAction, evaluateArgs->datasets);
  evaluateAction->add_option("--cases", evaluateArgs->cases, "at most N cases per collection (default all)")
      ->type_name("N")
      ->transform(tw::cli::wholeNumberIn(0));
  evaluateAction->add_option("--context", evaluateArgs->context, "at most N chords before each change (default 8)")
      ->type_name("N")
      ->transform(tw::cli::wholeNumberIn(0));
  evaluateAction->add_flag("--validation", evaluateArgs->validation,
                           "build without a further tenth of the training pieces and measure on\n"
                           "it instead, for tuning; the held-out tenth then stays out of everything");
  evaluateAction->add_flag("--table", evaluateArgs->table, "print the figures as a Markdown table");

  auto coverageArgs = std::make_shared<CoverageArguments>();
  CLI::App* coverageAction = command.add_subcommand("coverage", "")->group("actions");
  tw::cli::describe(*coverageAction,
                    "measures how much of the lead-sheet collection the chart reader reads\n"
                    "\n"
                    "Reads the lead-sheet collection (jazz-corpus) twice, with the catalogue's spellings only\n"
                    "and with the chart reader, and prints the share of chord occurrences read and of tunes\n"
                    "read in full, over all the tunes and over the tenth the corpus build holds out, and the\n"
                    "spellings that stay unread most often.",
                    "examples:\n"
                    "  tonalweaver corpus coverage --datasets ../shared/datasets --top 20");
  addDatasetsOption(*coverageAction, coverageArgs->datasets);
  coverageAction->add_option("--top", coverageArgs->top, "how many unread spellings to list, 0..1000 (default 10)")
      ->type_name("N")
      ->transform(tw::cli::wholeNumberIn(0, 1000));
  coverageAction->add_flag("--json", coverageArgs->json, "print the figures as JSON");

  return [=] {
    if (buildAction->parsed()) return build(*buildArgs);
    if (dumpAction->parsed()) return dump(*dumpFile);
    if (evaluateAction->parsed()) return evaluate(*evaluateArgs);
    return coverage(*coverageArgs);
  };
}

}  // namespace

TW_REGISTER_SUBCOMMAND("corpus", "build the progression and continuation corpora, dump one, measure coverage or suggestions", define);
