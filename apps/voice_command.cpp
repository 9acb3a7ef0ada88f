// `tonalweaver voice`: one chord voiced in a style, printed as MIDI notes and note names.
#include <charconv>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "chart_rewrites.hpp"
#include "chord/chart_reader.hpp"
#include "chord/chord_parser.hpp"
#include "chord/pitch_spelling.hpp"
#include "protocol/request_handlers.hpp"
#include "subcommand_registry.hpp"

namespace {

constexpr const char* kUsage =
    "usage: tonalweaver voice <chord> [--style ID] [--octave N] [--inversion N]\n"
    "                         [--octave-shift N] [--drop-bass] [--strict] [--json]\n"
    "\n"
    "Voices one chord symbol in a voicing style and prints each MIDI note with its name.\n"
    "A chart spelling the catalogue does not read as written (G7+, Bbm/maj7, F#h7) is read\n"
    "as its catalogue spelling, which standard error names.\n"
    "\n"
    "options:\n"
    "  --style ID          closed (default), shell, anthem, split, guide-color, velmaro;\n"
    "                      also pop (= anthem), drop24 and drop2-4 (= split)\n"
    "  --octave N          octave of the root, 0..7 (default 4: C4 is MIDI 60)\n"
    "  --inversion N       inversion steps, negative values invert downwards (default 0)\n"
    "  --octave-shift N    extra octaves, -3..4 (default 0)\n"
    "  --drop-bass         move the lowest note down an octave\n"
    "  --strict            read the chord only as the catalogue spells it\n"
    "  --json              print the generate_voicing reply as JSON\n"
    "\n"
    "examples:\n"
    "  tonalweaver voice Cmaj9 --style anthem\n"
    "  tonalweaver voice Cmaj9 --style anthem --octave 4 --inversion 1\n"
    "  tonalweaver voice Bb7/Ab --style split --drop-bass\n"
    "  tonalweaver voice F#m7b5 --style guide-color --octave 3 --json\n";

bool readInt(std::string_view text, long long& out) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  auto [end, ec] = std::from_chars(first, last, out);
  return ec == std::errc() && end == last && first != last;
}

int usageError(const std::string& message) {
  std::cerr << "tonalweaver voice: " << message << "\n\n" << kUsage;
  return 2;
}

int run(int argc, char** argv) {
  tw::Json payload = tw::Json::object();
  payload["style"] = "closed";
  bool json = false;
  bool strict = false;
  std::string chord;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--json") {
      json = true;
    } else if (arg == "--strict") {
      strict = true;
    } else if (arg == "--drop-bass") {
      payload["drop_bass"] = true;
    } else if (arg == "--style" || arg == "--octave" || arg == "--inversion" ||
               arg == "--octave-shift") {
      if (i + 1 >= argc) return usageError(std::string(arg) + " needs a value");
      const std::string_view value = argv[++i];
      if (arg == "--style") {
        payload["style"] = std::string(value);
        continue;
      }
      long long number = 0;
      if (!readInt(value, number))
        return usageError(std::string(arg) + " needs an integer, not '" + std::string(value) + "'");
      const char* key = arg == "--octave" ? "octave" : arg == "--inversion" ? "inversion" : "octave_shift";
      payload[key] = number;
    } else if (!arg.empty() && arg[0] == '-' && arg.size() > 1 && !std::isdigit(static_cast<unsigned char>(arg[1]))) {
      return usageError("unknown option '" + std::string(arg) + "'");
    } else if (chord.empty()) {
      chord = std::string(arg);
    } else {
      return usageError("one chord symbol only (got '" + chord + "' and '" + std::string(arg) + "')");
    }
  }
  if (chord.empty()) return usageError("a chord symbol is required");
  if (!strict && !tw::parseChordSymbol(chord)) {
    if (auto readAs = tw::rewriteChartSymbol(chord)) {
      tw::cli::reportRewrite("voice", chord, *readAs);
      chord = *readAs;
    }
  }
  payload["chord"] = chord;

  tw::HandlerReply reply;
  try {
    reply = tw::handleGenerateVoicing(payload);
  } catch (const std::exception& e) {
    std::cerr << "tonalweaver voice: " << e.what() << "\n";
    return 1;
  }
  if (reply.type != "voicing_result") {
    std::cerr << "tonalweaver voice: " << reply.payload.value("message", std::string("failed"))
              << " ('" << chord << "', style '" << payload["style"].get<std::string>() << "')\n";
    return 1;
  }
  if (json) {
    std::cout << reply.payload.dump() << "\n";
    return 0;
  }
  // Flats when the chord is written with a flat root, sharps otherwise.
  const auto parsed = tw::parseChordSymbol(chord);
  const bool flats = parsed && tw::splitRootToken(parsed->symbol).token.find('b') != std::string_view::npos;
  bool first = true;
  for (int note : reply.payload["notes"]) {
    std::cout << (first ? "" : "  ") << note << ' ' << tw::noteName(tw::reducePitchClass(note), flats)
              << (note / 12 - 1);
    first = false;
  }
  std::cout << "\n";
  return 0;
}

}  // namespace

TW_REGISTER_SUBCOMMAND("voice", "voice one chord in a style as MIDI notes", run);
