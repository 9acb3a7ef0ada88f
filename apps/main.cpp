// The tonalweaver command: a headless host and shell front end for the engine.
#include <iostream>
#include <string_view>

#include "command_line.hpp"
#include "subcommand_registry.hpp"

namespace tw::cli {

namespace {
std::vector<Subcommand>& registry() {
  static std::vector<Subcommand> list;
  return list;
}
}  // namespace

int registerSubcommand(const Subcommand& subcommand) {
  registry().push_back(subcommand);
  return static_cast<int>(registry().size());
}

const std::vector<Subcommand>& subcommands() { return registry(); }

}  // namespace tw::cli

int main(int argc, char** argv) {
  const auto& subcommands = tw::cli::subcommands();
  if (argc < 2) {
    std::cerr << tw::cli::commandHelp(subcommands);
    return 2;
  }
  const std::string_view name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    std::cout << tw::cli::commandHelp(subcommands);
    return 0;
  }
  for (const auto& subcommand : subcommands)
    if (name == subcommand.name) return tw::cli::runSubcommand(subcommand, argc - 1, argv + 1);
  std::cerr << "tonalweaver: unknown command '" << name << "'\nTry 'tonalweaver --help'.\n";
  return 2;
}
