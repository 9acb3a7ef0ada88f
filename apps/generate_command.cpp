// tonalweaver generate: a progression of a genre from the stored corpora.
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

#include <cstdlib>
#include <vector>

#include "chord/chord_parser.hpp"
#include "corpus_folder.hpp"
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

constexpr const char* kUsage =
    "usage: tonalweaver generate [--genre NAME] [--length N] [--key \"ROOT [major|minor]\" | --auto-key]\n"
    "                            [--temperature T] [--seed N] [--corpus DIR] [--json]\n"
    "                            [--midi FILE [--style STYLE] [--tempo BPM] [--rhythm ID]]\n"
    "\n"
    "Draws a progression of the genre (\"Pop + EDM\", \"Classical\", \"Rock\", \"Jazz + Neo Soul\")\n"
    "from the progression corpus, varies inner chords with the continuation corpus with\n"
    "probability T (default 0.25), and prints its chords and numerals. Lengths 4, 6 and 8\n"
    "are stored (others give 4). --seed makes the result repeatable; --corpus names the folder\n"
    "holding pc.bin and cc.bin (default: resources beside the executable). --midi writes the\n"
    "progression as a Standard MIDI File, one chord per 4/4 bar, voiced in STYLE (default\n"
    "closed) at octave 4, at BPM (default 100), each bar played in the rhythm pattern ID\n"
    "when one is given ('tonalweaver rhythms' lists them).\n"
    "\n"
    "examples:\n"
    "  tonalweaver generate --genre \"Jazz + Neo Soul\" --length 8 --key \"Eb major\"\n"
    "  tonalweaver generate --genre Rock --auto-key --temperature 0.4 --seed 7 --json\n"
    "  tonalweaver generate --genre Classical --length 8 --key \"A minor\" --midi phrase.mid\n"
    "  tonalweaver generate --genre Rock --midi riff.mid --rhythm funk-2\n";

int fail(const std::string& message) {
  std::cerr << "tonalweaver generate: " << message << "\n" << kUsage;
  return 2;
}

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

int run(int argc, char** argv) {
  tw::Json request = tw::Json::object();
  std::string corpus = tw::cli::defaultCorpusFolder();
  bool json = false;
  std::string midiPath;
  std::string style = "closed";
  double tempo = 100.0;
  const tw::RhythmPattern* rhythm = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--json") {
      json = true;
    } else if (arg == "--auto-key") {
      request["auto_key"] = true;
    } else if (arg == "--genre") {
      if (!value(text)) return fail("--genre needs a name");
      request["genre"] = text;
    } else if (arg == "--length" || arg == "--temperature" || arg == "--seed") {
      if (!value(text)) return fail(std::string(arg) + " needs a number");
      try {
        std::size_t used = 0;
        double number = std::stod(text, &used);
        if (used != text.size()) throw std::invalid_argument(text);
        if (arg == "--length") request["length"] = static_cast<long long>(number);
        else if (arg == "--temperature") request["temperature"] = number;
        else tw::installRandomSource(std::make_unique<tw::SeededRandomSource>(static_cast<std::uint32_t>(std::stoul(text))));
      } catch (const std::exception&) {
        return fail("'" + text + "' is not a number for " + std::string(arg));
      }
    } else if (arg == "--key") {
      if (!value(text)) return fail("--key needs a key such as \"Eb major\"");
      std::size_t space = text.find(' ');
      tw::Json key{{"root", text.substr(0, space)}};
      if (space != std::string::npos) key["mode"] = text.substr(space + 1);
      request["key"] = key;
    } else if (arg == "--midi") {
      if (!value(midiPath) || midiPath.empty()) return fail("--midi needs a file name");
    } else if (arg == "--style") {
      if (!value(style) || !tw::styleFromId(style)) return fail("--style needs a voicing style such as closed or anthem");
    } else if (arg == "--tempo") {
      if (!value(text)) return fail("--tempo needs beats per minute");
      char* end = nullptr;
      tempo = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0' || !(tempo >= 4.0 && tempo <= 1000.0))
        return fail("--tempo takes beats per minute from 4 to 1000, not '" + text + "'");
    } else if (arg == "--rhythm") {
      if (!value(text)) return fail("--rhythm needs a pattern id");
      rhythm = tw::findRhythmPattern(text);
      if (!rhythm) return fail("unknown rhythm pattern '" + text + "' (see 'tonalweaver rhythms')");
    } else if (arg == "--corpus") {
      if (!value(corpus)) return fail("--corpus needs a folder");
    } else {
      return fail("unknown option '" + std::string(arg) + "'");
    }
  }
  if (rhythm && midiPath.empty()) return fail("--rhythm needs --midi");
  if (tw::loadCorpusFolder(corpus) == 0) {
    std::cerr << "tonalweaver generate: no corpus files in '" << corpus << "'\n";
    return 1;
  }
  tw::HandlerReply reply = tw::handleGenerateLocalProgression(request);
  if (reply.type == "local_progression_result" && !midiPath.empty()) {
    if (int status = writeProgressionMidi(reply.payload["chords"], style, tempo, rhythm, midiPath); status != 0)
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

}  // namespace

TW_REGISTER_SUBCOMMAND("generate", "generate a progression of a genre from the corpora", run);
