// `tonalweaver modify`: applies chord modifiers to a chord, or lists the modifiers a chord
// offers.
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "chord/chord_modifiers.hpp"
#include "chord/pitch_class.hpp"
#include "chord/pitch_spelling.hpp"
#include "command_line.hpp"
#include "protocol/request_handlers.hpp"
#include "subcommand_registry.hpp"
#include "voicing/voicing_styles.hpp"

namespace {

using Json = nlohmann::json;

// Columns padded by code points, so labels with sharp and flat signs line up.
std::string padded(std::string_view text, std::size_t width) {
  std::size_t length = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++length;
  std::string out(text);
  if (length < width) out.append(width - length, ' ');
  return out;
}

// A voiced note named as a tone of the chord (the minor third of C is Eb, not D#).
std::string noteText(int midi, const tw::ParsedChord& chord, bool flats) {
  const tw::SpellingOptions options{tw::OptionalFlag::of(flats), tw::OptionalFlag::of(true)};
  const auto name = tw::spellChordTone(tw::KeyContext{}, chord.root, chord.quality,
                                       tw::reducePitchClass(midi), options);
  return name + std::to_string(midi / 12 - 1);
}

bool listed(const Json& array, const std::string& id) {
  for (const auto& element : array)
    if (element == id) return true;
  return false;
}

int listModifiers(const std::string& chord, const std::string& style, bool json) {
  const auto reply = tw::handleGetAvailableModifiers({{"chord", chord}, {"voicingStyle", style}});
  const auto& p = reply.payload;
  if (json) std::cout << p.dump(2, ' ', true) << "\n";
  if (p.contains("error")) {
    std::cerr << "tonalweaver modify: " << p.at("error").get<std::string>() << "\n";
    return 1;
  }
  if (json) return 0;

  std::cout << padded("id", 20) << padded("label", 7) << padded("category", 12) << "state\n";
  for (const auto& modifier : p.at("modifiers")) {
    const auto id = modifier.at("id").get<std::string>();
    std::string state;
    if (listed(p.at("active"), id)) state = "active";
    if (listed(p.at("disabled"), id)) state += state.empty() ? "disabled" : ", disabled";
    if (listed(p.at("causesVoicingChange"), id))
      state += state.empty() ? "voicing change" : ", voicing change";
    std::cout << padded(id, 20) << padded(modifier.at("label").get<std::string>(), 7)
              << padded(modifier.at("category").get<std::string>(), 12) << state << "\n";
  }
  return 0;
}

int applyModifiers(const std::string& chord, std::vector<std::string> modifiers, bool exact,
                   const std::string& style, const Json& octave, const std::string& bass,
                   bool json) {
  // The engine passes unknown ids over; on the command line one is a typing slip.
  for (const auto& id : modifiers) {
    if (tw::findModifier(id)) continue;
    std::cerr << "tonalweaver modify: Unknown modifier: " << id << "\n'tonalweaver modify " << chord
              << "' lists the modifiers\n";
    return 1;
  }
  if (!exact) {
    const auto available = tw::handleGetAvailableModifiers({{"chord", chord}});
    if (available.payload.contains("error")) {
      std::cerr << "tonalweaver modify: " << available.payload.at("error").get<std::string>()
                << "\n";
      return 1;
    }
    auto current = available.payload.at("active").get<std::vector<std::string>>();
    for (const auto& id : modifiers) {
      if (id == "slash") {
        std::cerr << "tonalweaver modify: the slash bass is set with --bass\n";
        return 1;
      }
      current = tw::toggleModifier(current, id);
    }
    modifiers = std::move(current);
  }
  Json payload{{"chord", chord}, {"modifiers", modifiers}, {"style", style}};
  if (!octave.is_null()) payload["octave"] = octave;
  if (!bass.empty()) payload["bass"] = bass;
  const auto reply = tw::handleApplyModifiers(payload);
  const auto& p = reply.payload;
  if (json) std::cout << p.dump(2, ' ', true) << "\n";
  if (p.contains("error")) {
    std::cerr << "tonalweaver modify: " << p.at("error").get<std::string>();
    if (p.contains("quality")) std::cerr << " (" << p.at("quality").get<std::string>() << ")";
    std::cerr << "\n";
    return 1;
  }
  if (json) return 0;

  const auto symbol = p.at("chord").get<std::string>();
  std::cout << symbol << "\n";
  const auto result = tw::parseChordSymbol(symbol);
  if (result) {
    std::string ids;
    for (const auto& id : tw::activeModifierIds(tw::decomposeQuality(*result)))
      ids += (ids.empty() ? "" : " ") + id;
    std::cout << "modifiers: " << ids << "\n";
  }
  if (p.contains("notes") && result) {
    const bool flats = symbol.find('b') != std::string::npos;
    std::string numbers;
    std::string names;
    for (const auto& note : p.at("notes")) {
      if (!numbers.empty()) {
        numbers += ' ';
        names += ' ';
      }
      numbers += std::to_string(note.get<int>());
      names += noteText(note.get<int>(), *result, flats);
    }
    std::cout << "notes: " << numbers << " (" << names << ")\n";
  }
  return 0;
}

struct ModifyArguments {
  std::string chord;
  std::vector<std::string> modifiers;
  bool exact = false;
  std::string style = "closed";
  long long octave = 0;
  std::string bass;
  bool json = false;
};

int run(const ModifyArguments& args, const CLI::App& command) {
  const std::string& chord = args.chord;
  const std::vector<std::string>& modifiers = args.modifiers;
  if (chord.empty()) return tw::cli::usageError("modify", "the chord is empty");
  const Json octave = command.count("--octave") ? Json(args.octave) : Json();
  try {
    if (modifiers.empty()) {
      if (!args.bass.empty() || !octave.is_null() || args.exact)
        return tw::cli::usageError("modify", "--bass, --octave and --exact need at least one modifier id");
      return listModifiers(chord, args.style, args.json);
    }
    return applyModifiers(chord, modifiers, args.exact, args.style, octave, args.bass, args.json);
  } catch (const std::exception& e) {
    std::cerr << "tonalweaver modify: " << e.what() << "\n";
    return 1;
  }
}

tw::cli::CommandBody define(CLI::App& command) {
  tw::cli::describe(command,
                    "With modifier ids, applies them to CHORD and prints the resulting chord symbol, the\n"
                    "modifier ids that describe it and its voicing as MIDI notes. Each id is toggled onto\n"
                    "the chord's own modifiers in turn, as in the interface: a third or fifth replaces the\n"
                    "current one, a sixth, seventh or extension replaces its kind or, when the chord\n"
                    "already has exactly that one, switches it off.\n"
                    "\n"
                    "With the chord alone, lists the 24 modifiers with their label and category, marking\n"
                    "those the chord already has (active), those that would give no known chord quality\n"
                    "(disabled) and those after which the style would no longer suit (voicing change).",
                    "modifier ids:\n"
                    "  third-major third-minor third-sus2 third-sus4\n"
                    "  fifth-perfect fifth-flat5 fifth-sharp5 sixth-6\n"
                    "  seventh-flat7 seventh-major7 seventh-dim7\n"
                    "  ninth-add9 ninth-flat9 ninth-flat9sharp9 ninth-9 ninth-sharp9\n"
                    "  eleventh-add11 eleventh-flat11 eleventh-11 eleventh-sharp11\n"
                    "  thirteenth-add13 thirteenth-flat13 thirteenth-13 slash\n"
                    "\n"
                    "examples:\n"
                    "  tonalweaver modify Cmaj7\n"
                    "  tonalweaver modify Cmaj7 ninth-flat9 fifth-flat5\n"
                    "  tonalweaver modify C7 third-minor --style anthem --octave 3\n"
                    "  tonalweaver modify C7 third-minor seventh-flat7 --exact\n"
                    "  tonalweaver modify G7 ninth-flat9 --bass B --json");
  auto args = std::make_shared<ModifyArguments>();
  command.add_option("CHORD", args->chord, "the chord symbol")->required();
  command.add_option("MODIFIER", args->modifiers, "modifier ids to apply (listed below)");
  command.add_flag("--exact", args->exact,
                   "send the ids as the complete selection instead of toggling them;\n"
                   "changing the third or fifth then clears every degree not named");
  command.add_option("--style", args->style,
                     "voicing style: closed (default), shell, anthem, split, guide-color,\n"
                     "velmaro (also pop, drop24, drop2-4)")
      ->type_name("ID")
      ->check(tw::cli::voicingStyleId());
  command.add_option("--octave", args->octave, "octave of the root, clamped to 0..7 (default 4: C4 is MIDI 60)")
      ->type_name("N")
      ->transform(tw::cli::wholeNumber());
  command.add_option("--bass", args->bass, "slash bass for the modified chord (C, F#, Bb, ...)")
      ->type_name("NOTE")
      ->check(tw::cli::nonEmpty());
  command.add_flag("--json", args->json, "print the reply payload as JSON");
  return [args, &command] { return run(*args, command); };
}

}  // namespace

TW_REGISTER_SUBCOMMAND("modify", "apply chord modifiers, or list those a chord offers", define);
