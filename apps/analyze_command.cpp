// `tonalweaver analyze`: a progression analysed in a key, one line per chord.
#include <iostream>
#include <memory>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/chart_reading.hpp"
#include "analysis/key_detection.hpp"
#include "analysis/progression_parsing.hpp"
#include "chord/pitch_spelling.hpp"
#include "host/bridge_transport.hpp"
#include "chart_rewrites.hpp"
#include "command_line.hpp"
#include "subcommand_registry.hpp"
#include "protocol/request_handlers.hpp"

namespace {

struct KeyText {
  std::string root;
  std::string mode = "major";
  std::string minorScaleType = "natural";
};

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// "Eb major", "A minor", "F# melodic minor", "Am": a tonic, then mode words.
bool parseKeyText(std::string_view text, KeyText& key, std::string& problem) {
  std::istringstream words{std::string(text)};
  std::vector<std::string> parts{std::istream_iterator<std::string>(words), {}};
  if (parts.empty()) {
    problem = "the key is empty";
    return false;
  }
  std::string root = parts.front();
  if (root.size() >= 2 && root.back() == 'm' && tw::parseNoteName(root.substr(0, root.size() - 1))) {
    root.pop_back();
    key.mode = "minor";
  }
  if (!tw::parseNoteName(root)) {
    problem = "'" + parts.front() + "' is not a note name";
    return false;
  }
  key.root = root;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string word = lower(parts[i]);
    if (word == "major" || word == "minor") {
      key.mode = word;
    } else if (word == "melodic" || word == "natural") {
      key.minorScaleType = word;
    } else {
      problem = "'" + parts[i] + "' is not major, minor, natural or melodic";
      return false;
    }
  }
  if (key.minorScaleType == "melodic" && key.mode != "minor") {
    if (parts.size() == 2) {
      key.mode = "minor";  // "A melodic" means A melodic minor
    } else {
      problem = "a melodic scale needs a minor key";
      return false;
    }
  }
  return true;
}

std::string padded(const std::string& text, std::size_t width) {
  // Width counts characters, not bytes, so numerals with ♭ or ø line up.
  std::size_t characters = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++characters;
  return text + std::string(characters < width ? width - characters : 1, ' ');
}

// The progression with every chart spelling replaced by the catalogue spelling it is read
// as, each replacement told on standard error, and no-chord marks left out; symbols that stay
// unread are left as written.
std::string readAsCatalogue(const std::string& progression) {
  const tw::ChartReading chart = tw::readChart(progression, false);
  bool rewritten = false;
  std::string text;
  for (const tw::ChartEntry& e : chart.entries) {
    if (e.noChord) {
      rewritten = true;  // a silence has no numeral
      continue;
    }
    if (!text.empty()) text += ' ';
    text += e.readAs.empty() ? e.typed : e.readAs;
    rewritten |= !e.readAs.empty();
  }
  if (!rewritten) return progression;
  tw::cli::reportRewrites("analyze", chart);
  return text;
}

struct AnalyzeArguments {
  std::string progression;
  std::string key;
  bool detect = false;
  std::string spelling = "fifths";
  bool noSimplify = false;
  bool strict = false;
  bool json = false;
};

int run(const AnalyzeArguments& args, const CLI::App& command) {
  std::string progression = args.progression;
  const bool haveProgression = command.count("PROGRESSION") > 0;
  const bool detect = args.detect;
  const bool json = args.json;
  const bool simplify = !args.noSimplify;
  const std::string& spelling = args.spelling;

  // A bad key is told before any input is waited for.
  KeyText key{"C"};
  if (command.count("--key")) {
    std::string problem;
    if (!parseKeyText(args.key, key, problem)) return tw::cli::usageError("analyze", "bad key: " + problem);
  }

  if (!haveProgression || progression == "-") {
    progression.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (std::cin.bad()) {
      std::cerr << "tonalweaver analyze: could not read standard input\n";
      return 1;
    }
  }

  if (!args.strict) progression = readAsCatalogue(progression);

  tw::Json spellingOptions{{"simplifyAccidentals", simplify}, {"spellingPreference", spelling}};
  try {
    if (detect) {
      tw::Json request = spellingOptions;
      request["progression"] = progression;
      const tw::HandlerReply detected = tw::handleDetectKey(request);
      if (detected.type != "detect_key_result") {
        if (json) {
          std::cout << tw::serialiseReply(detected.type, detected.payload) << "\n";
        } else if (detected.payload.contains("error")) {
          std::cerr << "tonalweaver analyze: " << detected.payload["error"].get<std::string>() << "\n";
        } else {
          for (const auto& error : detected.payload["errors"])
            std::cerr << "tonalweaver analyze: not a chord: " << error["token"].get<std::string>() << "\n";
        }
        return 1;
      }
      key.root = detected.payload["root"].get<std::string>();
      key.mode = detected.payload["mode"].get<std::string>();
      key.minorScaleType = detected.payload["minorScaleType"].get<std::string>();
      if (!json) {
        std::cout << "Key: " << key.root << " "
                  << (key.mode == "minor" && key.minorScaleType == "melodic" ? "melodic " : "")
                  << key.mode << "\n";
      }
    }

    tw::Json request = spellingOptions;
    request["progression"] = progression;
    request["key"] = {{"root", key.root}, {"mode", key.mode}, {"minorScaleType", key.minorScaleType}};
    request["include_intervals"] = json;
    const tw::HandlerReply reply = tw::handleParseProgression(request);
    if (json) {
      std::cout << tw::serialiseReply(reply.type, reply.payload) << "\n";
      return reply.type == "parse_progression_result" ? 0 : 1;
    }
    if (reply.payload.contains("error")) {
      std::cerr << "tonalweaver analyze: " << reply.payload["error"].get<std::string>() << "\n";
      return 1;
    }
    const tw::Json& chords = reply.payload["chords"];
    for (const auto& chord : chords) {
      std::cout << padded(chord["symbol"].get<std::string>(), 14)
                << padded(chord["roman"].get<std::string>(), 12) << chord["degree"].get<int>() << "\n";
    }
    bool failed = false;
    if (reply.payload.contains("errors")) {
      for (const auto& error : reply.payload["errors"]) {
        std::cerr << "tonalweaver analyze: not a chord: " << error["token"].get<std::string>() << "\n";
        failed = true;
      }
    }
    if (chords.empty() && !failed) {
      std::cerr << "tonalweaver analyze: the progression has no chords\n";
      failed = true;
    }
    if (failed) return 1;
    return 0;
  } catch (const std::exception& failure) {
    // Text that is not valid UTF-8 cannot be written back as JSON.
    std::cerr << "tonalweaver analyze: " << failure.what() << "\n";
    return 1;
  }
}

tw::cli::CommandBody define(CLI::App& command) {
  tw::cli::describe(command,
                    R"(Analyses a chord progression in a key: each chord's spelled symbol, roman numeral and
scale degree (0 for a chromatic root). Chords are separated by blanks, bar lines "|" or
commas; "%" repeats the previous chord. Chart spellings the catalogue does not read as
written (G7+, Bbm/maj7, F#h7) are read as their catalogue spelling, which standard error
names. Without PROGRESSION, or with "-", the text is read from standard input.)",
                    R"(examples:
  tonalweaver analyze "Dm7 G7 | Cmaj7 %" --key C
  tonalweaver analyze "Cm7 F7 | Bbmaj7 Ebmaj7 | Am7b5 D7 | Gm" --key "G minor"
  tonalweaver analyze "Am Dm E7 Am" --detect
  echo "C Am F G7" | tonalweaver analyze --key "C major" --json)");
  auto args = std::make_shared<AnalyzeArguments>();
  command.add_option("PROGRESSION", args->progression, "the chords, in one argument");
  auto* key = command.add_option("--key", args->key,
                                 "the key: a tonic with an optional mode and minor scale type, for\n"
                                 "example \"C\", \"Eb major\", \"A minor\", \"F# melodic minor\", or \"Am\"\n"
                                 "(default C major)")
                  ->type_name("KEY");
  command.add_flag("--detect", args->detect, "detect the key from the chords first and print it")->excludes(key);
  command.add_option("--spelling", args->spelling, "\"fifths\" (default: the key decides), \"flats\" or \"sharps\"")
      ->type_name("PREF")
      ->check(tw::cli::oneOf({"fifths", "flats", "sharps"}));
  command.add_flag("--no-simplify", args->noSimplify, "keep awkward spellings such as Cb and E#");
  command.add_flag("--strict", args->strict, "read chord symbols only as the catalogue spells them");
  command.add_flag("--json", args->json, "print the parse_progression reply envelope as JSON instead");
  return [args, &command] { return run(*args, command); };
}

}  // namespace

TW_REGISTER_SUBCOMMAND("analyze", "analyse a chord progression in a key (roman numerals, degrees)", define);
