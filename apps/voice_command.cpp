// `tonalweaver voice`: one chord voiced in a style, printed as MIDI notes and note names.
#include <exception>
#include <memory>
#include <iostream>
#include <string>
#include <string_view>

#include "chart_rewrites.hpp"
#include "chord/chart_reader.hpp"
#include "chord/chord_parser.hpp"
#include "chord/pitch_spelling.hpp"
#include "command_line.hpp"
#include "protocol/request_handlers.hpp"
#include "subcommand_registry.hpp"

namespace {

struct VoiceArguments {
  std::string chord;
  std::string style = "closed";
  long long octave = 0;
  long long inversion = 0;
  long long octaveShift = 0;
  bool dropBass = false;
  bool strict = false;
  bool json = false;
};

int run(const VoiceArguments& args, const CLI::App& command) {
  if (args.chord.empty()) return tw::cli::usageError("voice", "a chord symbol is required");
  tw::Json payload = tw::Json::object();
  payload["style"] = args.style;
  // Only the options given go into the request, which has its own defaults.
  if (args.dropBass) payload["drop_bass"] = true;
  if (command.count("--octave")) payload["octave"] = args.octave;
  if (command.count("--inversion")) payload["inversion"] = args.inversion;
  if (command.count("--octave-shift")) payload["octave_shift"] = args.octaveShift;
  std::string chord = args.chord;
  if (!args.strict && !tw::parseChordSymbol(chord)) {
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
  if (args.json) {
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

tw::cli::CommandBody define(CLI::App& command) {
  tw::cli::describe(command,
                    "Voices one chord symbol in a voicing style and prints each MIDI note with its name.\n"
                    "A chart spelling the catalogue does not read as written (G7+, Bbm/maj7, F#h7) is read\n"
                    "as its catalogue spelling, which standard error names.",
                    "examples:\n"
                    "  tonalweaver voice Cmaj9 --style anthem\n"
                    "  tonalweaver voice Cmaj9 --style anthem --octave 4 --inversion 1\n"
                    "  tonalweaver voice Bb7/Ab --style split --drop-bass\n"
                    "  tonalweaver voice F#m7b5 --style guide-color --octave 3 --json");
  auto args = std::make_shared<VoiceArguments>();
  command.add_option("CHORD", args->chord, "the chord symbol")->required();
  command.add_option("--style", args->style,
                     "closed (default), shell, anthem, split, guide-color, velmaro;\n"
                     "also pop (= anthem), drop24 and drop2-4 (= split)")
      ->type_name("ID");
  command.add_option("--octave", args->octave, "octave of the root, 0..7 (default 4: C4 is MIDI 60)")
      ->type_name("N")
      ->transform(tw::cli::wholeNumber());
  command.add_option("--inversion", args->inversion, "inversion steps, negative values invert downwards (default 0)")
      ->type_name("N")
      ->transform(tw::cli::wholeNumber());
  command.add_option("--octave-shift", args->octaveShift, "extra octaves, -3..4 (default 0)")
      ->type_name("N")
      ->transform(tw::cli::wholeNumber());
  command.add_flag("--drop-bass", args->dropBass, "move the lowest note down an octave");
  command.add_flag("--strict", args->strict, "read the chord only as the catalogue spells it");
  command.add_flag("--json", args->json, "print the generate_voicing reply as JSON");
  return [args, &command] { return run(*args, command); };
}

}  // namespace

TW_REGISTER_SUBCOMMAND("voice", "voice one chord in a style as MIDI notes", define);
