// `tonalweaver progression`: voices a chord progression, optionally with automatic voice
// leading, prints one line per chord and can write a MIDI file.
#include <cctype>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/chart_reading.hpp"
#include "chart_rewrites.hpp"
#include "chord/chord_parser.hpp"
#include "chord/pitch_spelling.hpp"
#include "command_line.hpp"
#include "generation/rhythm_patterns.hpp"
#include "protocol/request_handlers.hpp"
#include "midi_file.hpp"
#include "subcommand_registry.hpp"
#include "voicing/voicing_styles.hpp"

namespace tw::cli {

namespace {

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "C", "Eb major", "A minor", "A melodic minor" -> the request's key object.
std::optional<Json> parseKey(const std::string& text) {
  std::istringstream words(text);
  std::vector<std::string> parts{std::istream_iterator<std::string>(words), {}};
  if (parts.empty() || parts.size() > 3 || !parseNoteName(parts[0])) return std::nullopt;
  Json key{{"root", parts[0]}, {"mode", "major"}};
  std::string rest;
  for (std::size_t i = 1; i < parts.size(); ++i) rest += (i > 1 ? " " : "") + lowerCase(parts[i]);
  if (rest.empty() || rest == "major") return key;
  if (rest == "minor" || rest == "natural minor") {
    key["mode"] = "minor";
    return key;
  }
  if (rest == "melodic minor") {
    key["mode"] = "minor";
    key["minorScaleType"] = "melodic";
    return key;
  }
  return std::nullopt;
}

// A name for pitch class `pc` that follows the written root: flats after a flat, sharps
// after a sharp, otherwise the major key on `pc` decides.
std::string rootName(PitchClass pc, std::string_view writtenToken) {
  bool flats;
  if (writtenToken.find('b', 1) != std::string_view::npos) flats = true;
  else if (writtenToken.find('#') != std::string_view::npos) flats = false;
  else flats = keyPrefersFlats(KeyContext{pc, false, false});
  return noteName(pc, flats);
}

// The chord as typed, moved by `semitones`: the root and slash bass renamed, the quality
// text kept exactly as written.
std::string transposedSymbol(const ParsedChord& chord, int semitones) {
  if (semitones % 12 == 0) return chord.symbol;
  const RootToken root = splitRootToken(chord.symbol);
  const PitchClass newRoot = reducePitchClass(static_cast<long long>(chord.root) + semitones);
  std::string text = rootName(newRoot, root.token);
  std::string_view rest = root.rest;
  if (chord.bass) {
    const std::size_t slash = rest.rfind('/');
    if (slash != std::string_view::npos) {
      const std::string_view bassText = rest.substr(slash + 1);
      const PitchClass newBass = reducePitchClass(static_cast<long long>(*chord.bass) + semitones);
      text += rest.substr(0, slash);
      text += "/" + rootName(newBass, splitRootToken(bassText).token);
      return text;
    }
  }
  text += rest;
  return text;
}

// The envelope a reply travels in: type, ok, payload, and the payload's error when it has one.
Json envelope(const HandlerReply& reply) {
  const bool failed = reply.type == "error" ||
                      (reply.type.size() >= 6 && reply.type.ends_with("_error"));
  Json out{{"type", reply.type}, {"ok", !failed}, {"payload", reply.payload}};
  if (reply.payload.is_object() && reply.payload.contains("error")) out["error"] = reply.payload["error"];
  return out;
}

std::string joinNotes(const Json& notes) {
  std::string text;
  for (const Json& n : notes) {
    if (!text.empty()) text += ' ';
    text += n.is_string() ? n.get<std::string>() : n.dump();
  }
  return text;
}

struct ProgressionArguments {
  std::string progression;
  std::string key;
  std::string style = "closed";
  int octave = 4;
  bool avl = false;
  bool allowBassChanges = false;
  int transpose = 0;
  std::string midiPath;
  double tempo = 100.0;
  std::string rhythm;
  bool strict = false;
  bool json = false;
};

int run(const ProgressionArguments& args, const CLI::App& command) {
  std::optional<Json> key;
  if (command.count("--key")) {
    key = parseKey(args.key);
    if (!key) return usageError("progression", "not a key: '" + args.key + "' (try \"C\", \"Eb major\", \"A minor\")");
  }
  const RhythmPattern* rhythm = args.rhythm.empty() ? nullptr : findRhythmPattern(args.rhythm);

  std::string text;
  if (!command.count("PROGRESSION") || args.progression == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), {});
  } else {
    text = args.progression;
  }
  const ChartReading chart = readChart(text, args.strict);
  if (!chart.allRead()) {
    std::string list;
    for (const auto& t : chart.unread()) list += (list.empty() ? "" : ", ") + ("'" + t + "'");
    std::cerr << "tonalweaver progression: not a chord symbol: " << list << "\n";
    return 1;
  }
  if (chart.chordCount() == 0) return usageError("progression", "no chords given");
  reportRewrites("progression", chart);

  Json payload{{"slots", Json::array()},
               {"auto_voice_lead", args.avl},
               {"allow_bass_changes", args.allowBassChanges},
               {"semitone_transpose", args.transpose}};
  if (key) payload["key"] = *key;
  // The request receives the chords already transposed and builds their voicings from the
  // chords as typed, so a transposition never makes the register jump.
  for (const ChartEntry& entry : chart.entries) {
    if (!entry.chord) continue;
    payload["slots"].push_back({{"chord", transposedSymbol(*entry.chord, args.transpose)},
                                {"style", args.style},
                                {"octave", args.octave}});
  }

  HandlerReply reply;
  try {
    reply = handleGenerateProgression(payload);
  } catch (const std::exception& failure) {
    std::cerr << "tonalweaver progression: " << failure.what() << "\n";
    return 1;
  }
  const bool ok = reply.type == "progression_voicings";

  if (args.json) {
    std::cout << envelope(reply).dump(-1, ' ', true) << "\n";
  } else if (ok) {
    const Json& p = reply.payload;
    const std::size_t count = p["voicings"].size();
    for (std::size_t i = 0; i < count; ++i) {
      std::ostringstream line;
      line << std::left << std::setw(12) << p["display_symbols"][i].get<std::string>();
      if (key) {
        const Json& roman = p["display_romans"][i];
        line << std::setw(12) << (roman.is_string() ? roman.get<std::string>() : std::string("-"));
      }
      line << std::setw(24) << joinNotes(p["voicings"][i]) << joinNotes(p["display_note_labels"][i]);
      std::string out = line.str();
      while (!out.empty() && out.back() == ' ') out.pop_back();
      std::cout << out << "\n";
    }
  }
  if (!ok) {
    const Json& p = reply.payload;
    std::cerr << "tonalweaver progression: "
              << (p.contains("message") && p["message"].is_string() ? p["message"].get<std::string>() : reply.type)
              << "\n";
    return 1;
  }

  if (!args.midiPath.empty()) {
    std::vector<MidiChord> chords;
    std::size_t voiced = 0;
    for (const ChartEntry& entry : chart.entries)  // a no-chord mark keeps its share silent
      chords.push_back({entry.chord ? reply.payload["voicings"][voiced++].get<std::vector<int>>() : std::vector<int>{},
                        entry.share});
    MidiWriteOptions options;
    options.tempoBpm = args.tempo;
    if (rhythm) {
      for (const RhythmEvent& e : rhythm->events)
        options.rhythm.push_back({e.offset, e.duration, std::string(e.voices)});
    }
    if (const std::string error = writeMidiFile(args.midiPath, chords, options); !error.empty()) {
      std::cerr << "tonalweaver progression: " << error << "\n";
      return 1;
    }
  }
  return 0;
}

CommandBody define(CLI::App& command) {
  describe(command,
           R"(Voices a chord progression and prints one line per chord: the symbol as it sounds, the roman
numeral (with --key), the MIDI notes and their names. Chords are separated by blanks, bar
lines "|" or commas; "%" repeats the previous chord, "NC" marks a silence. Bar lines also give
the time: the chords of one bar share it equally ("Dm9 G13 | Cmaj9 |" is two beats each, then
a whole bar), and without bar lines every chord lasts a bar. Chart spellings the catalogue does
not read as written (G7+, Bbm/maj7, F#h7) are read as their catalogue spelling, which standard
error names. Without PROGRESSION, or with "-", the progression is read from standard input.)",
           R"(examples:
  tonalweaver progression "Dm7 G7 Cmaj9 A7b9" --key "C major"
  tonalweaver progression "Dm7 | G7 | Cmaj7 | %" --avl --style anthem --midi ii-v-i.mid
  echo "Am F C G" | tonalweaver progression --avl --allow-bass-changes --transpose 2
  tonalweaver progression "C Am F G7" --json
  tonalweaver progression "Am F C G" --style anthem --midi groove.mid --rhythm split-6
  tonalweaver progression "Dm9 G13 | Cmaj9 | Bbm/maj7 Eb7+ | Abmaj7 |" --avl --midi chart.mid)");
  auto args = std::make_shared<ProgressionArguments>();
  command.add_option("PROGRESSION", args->progression, "the chords, in one argument");
  command.add_option("--key", args->key,
                     "key for roman numerals and spelling: \"C\", \"Eb major\", \"A minor\",\n"
                     "\"A melodic minor\"")
      ->type_name("KEY");
  command.add_option("--style", args->style,
                     "closed (default), shell, anthem, split, guide-color, velmaro\n"
                     "(also pop, drop24, drop2-4)")
      ->type_name("STYLE")
      ->check(voicingStyleId());
  command.add_option("--octave", args->octave, "octave of the root, 0..7 (default 4: C4 is MIDI 60)")
      ->type_name("N")
      ->transform(wholeNumberIn(0, 7));
  auto* avl = command.add_flag("--avl", args->avl, "choose the voicings by automatic voice leading from the first chord");
  command.add_flag("--allow-bass-changes", args->allowBassChanges, "with --avl: the bass may move off the root")
      ->needs(avl);
  command.add_option("--transpose", args->transpose,
                     "transpose the progression by N semitones, -48..48; the voicings\n"
                     "move by N as well (so +12 sounds an octave higher)")
      ->type_name("N")
      ->transform(wholeNumberIn(-48, 48));
  auto* midi = command.add_option("--midi", args->midiPath,
                                  "write a Standard MIDI File in 4/4, each chord for its share of its bar")
                   ->type_name("FILE")
                   ->check(nonEmpty());
  command.add_option("--tempo", args->tempo, "tempo of the MIDI file, 4..1000 (default 100)")
      ->type_name("BPM")
      ->transform(numberIn(4, 1000, "beats per minute"));
  command.add_option("--rhythm", args->rhythm,
                     "with --midi: play the bars in a rhythm pattern instead of holding\n"
                     "the chords ('tonalweaver rhythms' lists them); each chord sounds the\n"
                     "pattern's events within its share, split-voice patterns sound the\n"
                     "parts of the voicing their events name")
      ->type_name("ID")
      ->check(rhythmPatternId())
      ->needs(midi);
  command.add_flag("--strict", args->strict, "read chord symbols only as the catalogue spells them");
  command.add_flag("--json", args->json, "print the whole reply as JSON instead of lines");
  return [args, &command] { return run(*args, command); };
}

}  // namespace

}  // namespace tw::cli

TW_REGISTER_SUBCOMMAND("progression", "voice a chord progression, with optional voice leading and MIDI output",
                       tw::cli::define);
