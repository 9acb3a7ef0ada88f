// `tonalweaver rhythms`: lists the chord rhythm catalogue.
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "command_line.hpp"
#include "generation/rhythm_patterns.hpp"
#include "protocol/request_handlers.hpp"
#include "subcommand_registry.hpp"

namespace {

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

int run(bool json) {
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

tw::cli::CommandBody define(CLI::App& command) {
  tw::cli::describe(command,
                    "Lists the chord rhythm patterns: catalogue order, id, name, category and the events of\n"
                    "one 16-step bar, written offset+duration in sixteenth notes, followed by the part of the\n"
                    "voicing that sounds when it is not the whole chord.",
                    "examples:\n"
                    "  tonalweaver rhythms\n"
                    "  tonalweaver rhythms --json");
  auto json = std::make_shared<bool>(false);
  command.add_flag("--json", *json, "print the catalogue reply as JSON (patterns keyed by id)");
  return [json] { return run(*json); };
}

}  // namespace

TW_REGISTER_SUBCOMMAND("rhythms", "list the chord rhythm patterns", define);
