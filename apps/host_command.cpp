// tonalweaver host: one tonalweaver object fed host messages from standard input.
#include <iostream>
#include <memory>
#include <string>

#include "command_environment.hpp"
#include "command_line.hpp"
#include "host/clipboard.hpp"
#include "host/headless_host.hpp"
#include "subcommand_registry.hpp"

namespace {

struct HostArguments {
  std::string resources = tw::cli::defaultResourceFolder();
  std::string clipboard = "system";
};

int run(const HostArguments& args) {
  std::unique_ptr<tw::Clipboard> clipboard;
  if (args.clipboard == "system")
    clipboard = tw::makeSystemClipboard();
  else
    clipboard = std::make_unique<tw::InMemoryClipboard>();
  tw::ManualTimers timers;  // no wall clock drives this host; no wake events arrive either
  tw::HeadlessPowerNotifications power;
  std::ios::sync_with_stdio(false);
  return tw::runHeadlessHost(std::cin, std::cout, std::cerr,
                             tw::HostServices{*clipboard, timers, power, tw::processWideState(), args.resources});
}

tw::cli::CommandBody define(CLI::App& command) {
  tw::cli::describe(command,
                    "A headless host: creates one tonalweaver object as the host application would and feeds\n"
                    "it host messages read from standard input, one per line. Each line is a JSON array of\n"
                    "atoms: a string is a symbol, an integer an int atom, any other number a float atom; the\n"
                    "first atom is the message selector. Empty lines are skipped; a line that is not such an\n"
                    "array gets one diagnostic line on standard error and is skipped.\n"
                    "\n"
                    "Every message that leaves an outlet is written to standard output, in order, as one line\n"
                    "{\"atoms\":[...],\"outlet\":N}. While more input lines are already waiting, replies are\n"
                    "written in blocks; whenever the host waits for input, everything answered so far is\n"
                    "flushed, so a program that waits for each reply gets it at once. End of input ends the\n"
                    "process with status 0.",
                    R"(examples:
  echo '["fromJweb","parse_chord","{\"chord\":\"Cm7\"}"]' | tonalweaver host
  printf '%s\n' '["bang"]' '["parse","Bbdim"]' '["voicing","closed","Cmaj7"]' | tonalweaver host
  printf '%s\n' '["fromJweb","write_clipboard","{\"text\":\"Dm7 G7\"}"]' \
                '["fromJweb","read_clipboard","{}"]' | tonalweaver host --clipboard memory)");
  auto args = std::make_shared<HostArguments>();
  tw::cli::addResourcesOption(command, args->resources);
  tw::cli::addClipboardOption(command, args->clipboard);
  return [args] { return run(*args); };
}

}  // namespace

TW_REGISTER_SUBCOMMAND("host", "run one tonalweaver object on host messages from standard input", define);
