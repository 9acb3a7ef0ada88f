// tonalweaver suggest: ranked next-chord suggestions after a progression.
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "command_line.hpp"
#include "corpus_folder.hpp"
#include "host/bridge_transport.hpp"
#include "api/corpus_files.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/random_source.hpp"
#include "generation/suggestion_engine.hpp"
#include "subcommand_registry.hpp"
#include "protocol/request_handlers.hpp"

namespace {

struct SuggestArguments {
  std::string chords;
  std::string key;
  bool minor = false;
  std::string next;
  std::string current;
  std::string style;
  long long octave = 0;
  bool shuffle = false;
  long long seed = 0;
  bool noMerge = false;
  std::string corpus = tw::cli::defaultCorpusFolder();
  bool json = false;
};

int run(const SuggestArguments& args, const CLI::App& command) {
  // Only the options given go into the request, which has its own defaults.
  tw::Json request = tw::Json::object();
  if (command.count("CHORDS")) {
    std::istringstream words{args.chords};
    tw::Json chords = tw::Json::array();
    for (std::string w; words >> w;) chords.push_back(w);
    request["prevChords"] = chords;
  }
  if (command.count("--key")) request["root"] = args.key;
  if (args.minor) request["mode"] = "minor";
  if (command.count("--next")) request["nextChord"] = args.next;
  if (command.count("--current")) request["currentChord"] = args.current;
  if (command.count("--style")) request["voicingStyle"] = args.style;
  if (command.count("--octave")) request["octave"] = args.octave;
  if (args.shuffle) request["shuffleMode"] = true;
  if (args.noMerge) request["mergeVariants"] = false;
  if (command.count("--seed"))
    tw::installRandomSource(std::make_unique<tw::SeededRandomSource>(static_cast<std::uint32_t>(args.seed)));
  const std::string& corpus = args.corpus;
  const bool json = args.json;
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

tw::cli::CommandBody define(CLI::App& command) {
  tw::cli::describe(command,
                    "Proposes chords to follow the progression CHORDS (symbols separated by spaces) in the\n"
                    "key (default C major): corpus continuations, secondary dominants, borrowed chords,\n"
                    "tritone substitutes, diminished approaches and chromatic mediants, best first, each with\n"
                    "its category, label, numeral, score and voicing in STYLE (default closed).",
                    "examples:\n"
                    "  tonalweaver suggest \"Dm7 G7\" --key C --next Cmaj7\n"
                    "  tonalweaver suggest \"Am F\" --key A --minor --style shell --json");
  auto args = std::make_shared<SuggestArguments>();
  command.add_option("CHORDS", args->chords, "the progression so far, in one argument");
  command.add_option("--key", args->key, "the key's tonic (default C major)")->type_name("ROOT");
  command.add_flag("--minor", args->minor, "a minor key");
  command.add_option("--next", args->next, "the chord after the position, if any")->type_name("CHORD");
  command.add_option("--current", args->current, "the chord now at the position, when replacing it")->type_name("CHORD");
  command.add_option("--style", args->style, "voicing style of the suggestions (default closed)")->type_name("STYLE");
  command.add_option("--octave", args->octave, "octave of the voicings, 0..7 (default 4)")->type_name("N")->transform(tw::cli::wholeNumber());
  command.add_flag("--shuffle", args->shuffle, "a randomised selection of the suggestions");
  command.add_option("--seed", args->seed, "seed of the random choices, for a repeatable result")
      ->type_name("N")
      ->transform(tw::cli::wholeNumber());
  command.add_flag("--no-merge", args->noMerge, "keep every variant of a colour chord, not only the best");
  command.add_option("--corpus", args->corpus, "folder holding cc.bin (default: resources beside the executable)")
      ->type_name("DIR");
  command.add_flag("--json", args->json, "print the get_suggestions reply envelope as JSON");
  return [args, &command] { return run(*args, command); };
}

}  // namespace

TW_REGISTER_SUBCOMMAND("suggest", "rank chords that could follow a progression", define);
