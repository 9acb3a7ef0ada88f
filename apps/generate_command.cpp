// tonalweaver generate: a progression of a genre from the stored corpora.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "chord/chord_parser.hpp"
#include "command_line.hpp"
#include "corpus_folder.hpp"
#include "api/corpus_files.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/local_progression_generator.hpp"
#include "generation/random_source.hpp"
#include "generation/rhythm_patterns.hpp"
#include "host/bridge_transport.hpp"
#include "midi_file.hpp"
#include "subcommand_registry.hpp"
#include "voicing/voicing_styles.hpp"
#include "protocol/request_handlers.hpp"

namespace {

// Voices each generated chord in the style at octave 4 and writes one chord per bar.
int writeProgressionMidi(const tw::Json& chords, const std::string& style, double tempo,
                         const tw::RhythmPattern* rhythm, const std::string& path) {
  std::vector<std::vector<int>> voicings;
  for (const tw::Json& symbol : chords) {
    auto chord = tw::parseChordSymbol(symbol.get<std::string>());
    voicings.push_back(chord ? tw::voiceChord(*chord, *tw::styleFromId(style), 4, {}) : std::vector<int>{});
  }
  tw::cli::MidiWriteOptions options;
  options.tempoBpm = tempo;
  if (rhythm)
    for (const tw::RhythmEvent& e : rhythm->events)
      options.rhythm.push_back({e.offset, e.duration, std::string(e.voices)});
  if (const std::string error = tw::cli::writeMidiFile(path, tw::cli::oneChordPerBar(voicings), options);
      !error.empty()) {
    std::cerr << "tonalweaver generate: " << error << "\n";
    return 1;
  }
  return 0;
}

struct GenerateArguments {
  std::string genre;
  long long length = 0;
  std::string key;
  bool autoKey = false;
  double temperature = 0;
  long long seed = 0;
  std::string corpus = tw::cli::defaultCorpusFolder();
  bool json = false;
  std::string midiPath;
  std::string style = "closed";
  double tempo = 100.0;
  std::string rhythm;
};

int run(const GenerateArguments& args, const CLI::App& command) {
  // Only the options given go into the request, which has its own defaults.
  tw::Json request = tw::Json::object();
  if (command.count("--genre")) request["genre"] = args.genre;
  if (command.count("--length")) request["length"] = args.length;
  if (command.count("--temperature")) request["temperature"] = args.temperature;
  if (args.autoKey) request["auto_key"] = true;
  if (command.count("--key")) {
    const std::size_t space = args.key.find(' ');
    tw::Json key{{"root", args.key.substr(0, space)}};
    if (space != std::string::npos) key["mode"] = args.key.substr(space + 1);
    request["key"] = key;
  }
  if (command.count("--seed"))
    tw::installRandomSource(std::make_unique<tw::SeededRandomSource>(static_cast<std::uint32_t>(args.seed)));
  const std::string& corpus = args.corpus;
  const std::string& midiPath = args.midiPath;
  const bool json = args.json;
  const tw::RhythmPattern* rhythm = args.rhythm.empty() ? nullptr : tw::findRhythmPattern(args.rhythm);
  if (tw::loadCorpusFolder(corpus) == 0) {
    std::cerr << "tonalweaver generate: no corpus files in '" << corpus << "'\n";
    return 1;
  }
  tw::HandlerReply reply = tw::handleGenerateLocalProgression(request);
  if (reply.type == "local_progression_result" && !midiPath.empty()) {
    if (int status = writeProgressionMidi(reply.payload["chords"], args.style, args.tempo, rhythm, midiPath); status != 0)
      return status;
  }
  if (json) {
    std::cout << tw::serialiseReply(reply.type, reply.payload) << "\n";
    return reply.type == "local_progression_result" ? 0 : 1;
  }
  if (reply.type != "local_progression_result") {
    std::cerr << "tonalweaver generate: " << reply.payload.value("error", std::string("failed")) << "\n";
    return 1;
  }
  std::cout << reply.payload["genre"].get<std::string>() << ", " << reply.payload["length"] << " chords\n";
  const auto& chords = reply.payload["chords"];
  const auto& roman = reply.payload["roman"];
  std::string chordLine, romanLine;
  for (std::size_t i = 0; i < chords.size(); ++i) {
    std::string c = chords[i].get<std::string>();
    std::string r = roman[i].get<std::string>();
    std::size_t width = std::max(c.size(), r.size()) + 2;
    chordLine += c + std::string(width - c.size(), ' ');
    romanLine += r + std::string(width - r.size(), ' ');
  }
  std::cout << chordLine << "\n" << romanLine << "\n";
  return 0;
}

tw::cli::CommandBody define(CLI::App& command) {
  tw::cli::describe(command,
                    "Draws a progression of the genre (\"Pop + EDM\", \"Classical\", \"Rock\", \"Jazz + Neo Soul\")\n"
                    "from the progression corpus, varies inner chords with the continuation corpus with\n"
                    "probability T (default 0.25), and prints its chords and numerals. Lengths 4, 6 and 8\n"
                    "are stored (others give 4). --seed makes the result repeatable; --corpus names the folder\n"
                    "holding pc.bin and cc.bin (default: resources beside the executable). --midi writes the\n"
                    "progression as a Standard MIDI File, one chord per 4/4 bar, voiced in STYLE (default\n"
                    "closed) at octave 4, at BPM (default 100), each bar played in the rhythm pattern ID\n"
                    "when one is given ('tonalweaver rhythms' lists them).",
                    "examples:\n"
                    "  tonalweaver generate --genre \"Jazz + Neo Soul\" --length 8 --key \"Eb major\"\n"
                    "  tonalweaver generate --genre Rock --auto-key --temperature 0.4 --seed 7 --json\n"
                    "  tonalweaver generate --genre Classical --length 8 --key \"A minor\" --midi phrase.mid\n"
                    "  tonalweaver generate --genre Rock --midi riff.mid --rhythm funk-2");
  auto args = std::make_shared<GenerateArguments>();
  command.add_option("--genre", args->genre, "Pop + EDM (default), Classical, Rock or Jazz + Neo Soul")->type_name("NAME");
  command.add_option("--length", args->length, "number of chords: 4, 6 or 8 (others give 4)")
      ->type_name("N")
      ->transform(tw::cli::wholeNumber());
  command.add_option("--key", args->key, "the key, \"ROOT [major|minor]\" (default C major)")->type_name("KEY");
  command.add_flag("--auto-key", args->autoKey, "a random major key instead of --key");
  command.add_option("--temperature", args->temperature, "probability of varying each inner chord, 0..1 (default 0.25)")
      ->type_name("T")
      ->transform(tw::cli::number());
  command.add_option("--seed", args->seed, "seed of the random choices, for a repeatable result")
      ->type_name("N")
      ->transform(tw::cli::wholeNumber());
  command.add_option("--corpus", args->corpus, "folder holding pc.bin and cc.bin (default: resources beside\nthe executable)")->type_name("DIR");
  command.add_flag("--json", args->json, "print the generate_local_progression reply envelope as JSON");
  auto* midi = command.add_option("--midi", args->midiPath, "write the progression as a Standard MIDI File")
                   ->type_name("FILE")
                   ->check(tw::cli::nonEmpty());
  command.add_option("--style", args->style, "voicing style of the MIDI file (default closed)")
      ->type_name("STYLE")
      ->check(tw::cli::voicingStyleId());
  command.add_option("--tempo", args->tempo, "tempo of the MIDI file, 4..1000 (default 100)")
      ->type_name("BPM")
      ->transform(tw::cli::numberIn(4, 1000, "beats per minute"));
  command.add_option("--rhythm", args->rhythm, "play each bar of the MIDI file in this rhythm pattern")
      ->type_name("ID")
      ->check(tw::cli::rhythmPatternId())
      ->needs(midi);
  return [args, &command] { return run(*args, command); };
}

}  // namespace

TW_REGISTER_SUBCOMMAND("generate", "generate a progression of a genre from the corpora", define);
