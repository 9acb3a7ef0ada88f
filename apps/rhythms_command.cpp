// `tonalweaver rhythms`: lists the chord rhythm catalogue.
#include <iostream>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "generation/rhythm_patterns.hpp"
#include "protocol/request_handlers.hpp"
#include "subcommand_registry.hpp"

namespace {

constexpr const char* kUsage =
    "usage: tonalweaver rhythms [--json]\n"
    "\n"
    "Lists the chord rhythm patterns: catalogue order, id, name, category and the events of\n"
    "one 16-step bar, written offset+duration in sixteenth notes, followed by the part of the\n"
    "voicing that sounds when it is not the whole chord.\n"
    "\n"
    "options:\n"
    "  --json    print the catalogue reply as JSON (patterns keyed by id)\n"
    "  --help    show this text\n"
    "\n"
    "examples:\n"
    "  tonalweaver rhythms\n"
    "  tonalweaver rhythms --json\n";

std::string eventsText(const tw::RhythmPattern& pattern) {
  std::string text;
  for (const auto& event : pattern.events) {
    if (!text.empty()) text += "; ";
    text += std::to_string(event.offset) + "+" + std::to_string(event.duration);
    if (event.voices != "all") {
      text += ' ';
      text += event.voices;
    }
  }
  return text;
}

std::string padded(std::string_view text, std::size_t width) {
  std::string out(text);
  if (out.size() < width) out.append(width - out.size(), ' ');
  return out;
}

int run(int argc, char** argv) {
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--json") {
      json = true;
      continue;
    }
    std::cerr << "tonalweaver rhythms: unexpected argument '" << arg << "'\n\n" << kUsage;
    return 2;
  }

  if (json) {
    const auto reply = tw::handleGetRhythmPatterns(nlohmann::json::object());
    std::cout << reply.payload.dump(2, ' ', true) << "\n";
    return 0;
  }

  const auto& patterns = tw::rhythmPatterns();
  std::cout << padded("order", 6) << padded("id", 16) << padded("name", 24)
            << padded("category", 17) << "events\n";
  for (std::size_t order = 0; order < patterns.size(); ++order) {
    const auto& pattern = patterns[order];
    std::cout << padded(std::to_string(order), 6) << padded(pattern.id, 16)
              << padded(pattern.name, 24) << padded(pattern.category, 17)
              << eventsText(pattern) << "\n";
  }
  return 0;
}

}  // namespace

TW_REGISTER_SUBCOMMAND("rhythms", "list the chord rhythm patterns", run);
