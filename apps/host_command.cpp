// tonalweaver host: one tonalweaver object fed host messages from standard input.
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "command_environment.hpp"
#include "host/clipboard.hpp"
#include "host/headless_host.hpp"
#include "subcommand_registry.hpp"

namespace {

constexpr const char* kUsage = R"(usage: tonalweaver host [--resources DIR] [--clipboard memory|system]

A headless host: creates one tonalweaver object as the host application would and feeds
it host messages read from standard input, one per line. Each line is a JSON array of
atoms: a string is a symbol, an integer an int atom, any other number a float atom; the
first atom is the message selector. Empty lines are skipped; a line that is not such an
array gets one diagnostic line on standard error and is skipped.

Every message that leaves an outlet is written to standard output, in order, as one line
{"atoms":[...],"outlet":N}. While more input lines are already waiting, replies are
written in blocks; whenever the host waits for input, everything answered so far is
flushed, so a program that waits for each reply gets it at once. End of input ends the
process with status 0.

options:
  --resources DIR     folder holding the corpora cc.bin and pc.bin
                      (default: the folder "resources" beside the binary)
  --clipboard KIND    "system" (default) uses the desktop clipboard commands,
                      "memory" a clipboard that lives only in this process
  --help              this text

examples:
  echo '["fromJweb","parse_chord","{\"chord\":\"Cm7\"}"]' | tonalweaver host
  printf '%s\n' '["bang"]' '["parse","Bbdim"]' '["voicing","closed","Cmaj7"]' | tonalweaver host
  printf '%s\n' '["fromJweb","write_clipboard","{\"text\":\"Dm7 G7\"}"]' \
                '["fromJweb","read_clipboard","{}"]' | tonalweaver host --clipboard memory
)";

int run(int argc, char** argv) {
  std::string resources = tw::cli::defaultResourceFolder();
  bool systemClipboard = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (argument == "--resources" && i + 1 < argc) {
      resources = argv[++i];
    } else if (argument == "--clipboard" && i + 1 < argc) {
      const std::string_view kind = argv[++i];
      if (kind != "memory" && kind != "system") {
        std::cerr << "tonalweaver host: --clipboard takes \"memory\" or \"system\", not \"" << kind << "\"\n";
        return 2;
      }
      systemClipboard = kind == "system";
    } else {
      std::cerr << "tonalweaver host: unexpected argument \"" << argument << "\"\n\n" << kUsage;
      return 2;
    }
  }

  std::unique_ptr<tw::Clipboard> clipboard;
  if (systemClipboard)
    clipboard = tw::makeSystemClipboard();
  else
    clipboard = std::make_unique<tw::InMemoryClipboard>();
  tw::ManualTimers timers;  // no wall clock drives this host; no wake events arrive either
  tw::HeadlessPowerNotifications power;
  std::ios::sync_with_stdio(false);
  return tw::runHeadlessHost(std::cin, std::cout, std::cerr,
                             tw::HostServices{*clipboard, timers, power, tw::processWideState(), resources});
}

}  // namespace

TW_REGISTER_SUBCOMMAND("host", "run one tonalweaver object on host messages from standard input", run);
