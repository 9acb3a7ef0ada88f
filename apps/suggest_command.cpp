// tonalweaver suggest: ranked next-chord suggestions after a progression.
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "corpus_folder.hpp"
#include "host/bridge_transport.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/random_source.hpp"
#include "generation/suggestion_engine.hpp"
#include "subcommand_registry.hpp"
#include "protocol/request_handlers.hpp"

namespace {

constexpr const char* kUsage =
    "usage: tonalweaver suggest \"CHORDS\" [--key ROOT] [--minor] [--next CHORD] [--current CHORD]\n"
    "                           [--style STYLE] [--octave N] [--shuffle] [--seed N]\n"
    "                           [--no-merge] [--corpus DIR] [--json]\n"
    "\n"
    "Proposes chords to follow the progression CHORDS (symbols separated by spaces) in the\n"
    "key (default C major): corpus continuations, secondary dominants, borrowed chords,\n"
    "tritone substitutes, diminished approaches and chromatic mediants, best first, each with\n"
    "its category, label, numeral, score and voicing in STYLE (default closed).\n"
    "\n"
    "examples:\n"
    "  tonalweaver suggest \"Dm7 G7\" --key C --next Cmaj7\n"
    "  tonalweaver suggest \"Am F\" --key A --minor --style shell --json\n";

int fail(const std::string& message) {
  std::cerr << "tonalweaver suggest: " << message << "\n" << kUsage;
  return 2;
}

int run(int argc, char** argv) {
  tw::Json request = tw::Json::object();
  std::string corpus = tw::cli::defaultCorpusFolder();
  bool json = false;
  bool haveChords = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string text;
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--json") {
      json = true;
    } else if (arg == "--minor") {
      request["mode"] = "minor";
    } else if (arg == "--shuffle") {
      request["shuffleMode"] = true;
    } else if (arg == "--no-merge") {
      request["mergeVariants"] = false;
    } else if (arg == "--key" || arg == "--next" || arg == "--current" || arg == "--style" || arg == "--corpus") {
      if (!value(text)) return fail(std::string(arg) + " needs a value");
      if (arg == "--key") request["root"] = text;
      else if (arg == "--next") request["nextChord"] = text;
      else if (arg == "--current") request["currentChord"] = text;
      else if (arg == "--style") request["voicingStyle"] = text;
      else corpus = text;
    } else if (arg == "--octave" || arg == "--seed") {
      if (!value(text)) return fail(std::string(arg) + " needs a number");
      try {
        std::size_t used = 0;
        long number = std::stol(text, &used);
        if (used != text.size()) throw std::invalid_argument(text);
        if (arg == "--octave") request["octave"] = number;
        else tw::installRandomSource(std::make_unique<tw::SeededRandomSource>(static_cast<std::uint32_t>(number)));
      } catch (const std::exception&) {
        return fail("'" + text + "' is not a whole number for " + std::string(arg));
      }
    } else if (!arg.empty() && arg.front() == '-') {
      return fail("unknown option '" + std::string(arg) + "'");
    } else if (!haveChords) {
      std::istringstream words{std::string(arg)};
      tw::Json chords = tw::Json::array();
      for (std::string w; words >> w;) chords.push_back(w);
      request["prevChords"] = chords;
      haveChords = true;
    } else {
      return fail("more than one progression given");
    }
  }
  tw::loadCorpusFolder(corpus);
  tw::HandlerReply reply = tw::handleGetSuggestions(request);
  if (json) {
    std::cout << tw::serialiseReply(reply.type, reply.payload) << "\n";
    return reply.payload.contains("error") ? 1 : 0;
  }
  if (reply.payload.contains("error")) {
    std::cerr << "tonalweaver suggest: " << reply.payload["error"].get<std::string>() << "\n";
    return 1;
  }
  if (!reply.payload["_debug"]["corpusLoaded"].get<bool>())
    std::cerr << "tonalweaver suggest: no continuation corpus in '" << corpus << "'; no corpus suggestions\n";
  std::cout << std::left << std::setw(12) << "symbol" << std::setw(21) << "category" << std::setw(22) << "label"
            << std::setw(14) << "numeral" << std::setw(7) << "score" << "notes\n";
  for (const auto& s : reply.payload["suggestions"]) {
    std::string notes;
    for (const auto& n : s["notes"]) notes += (notes.empty() ? "" : " ") + std::to_string(n.get<int>());
    std::ostringstream score;
    score << std::fixed << std::setprecision(2) << s["score"].get<double>();
    auto pad = [](const std::string& text, std::size_t width) {
      // Count code points, not bytes, so labels with arrows and flats line up.
      std::size_t points = 0;
      for (unsigned char c : text) points += (c & 0xC0) != 0x80 ? 1 : 0;
      return text + std::string(points < width ? width - points : 1, ' ');
    };
    std::cout << pad(s["symbol"].get<std::string>(), 12) << pad(s["category"].get<std::string>(), 21)
              << pad(s["label"].get<std::string>(), 22) << pad(s["roman"].get<std::string>(), 14)
              << pad(score.str(), 7) << notes << (s.contains("isCurrent") ? "  (current)" : "") << "\n";
  }
  return 0;
}

}  // namespace

TW_REGISTER_SUBCOMMAND("suggest", "rank chords that could follow a progression", run);
