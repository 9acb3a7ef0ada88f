// The tonalweaver command: a headless host and shell front end for the engine.
#include <algorithm>
#include <cstring>
#include <iostream>
#include <string_view>

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

namespace {

void printUsage(std::ostream& out) {
  out << "usage: tonalweaver <command> [options]\n\ncommands:\n";
  auto list = tw::cli::subcommands();
  std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
    return std::strcmp(a.name, b.name) < 0;
  });
  for (const auto& c : list) out << "  " << c.name << std::string(14 - std::min<std::size_t>(13, std::strlen(c.name)), ' ') << c.summary << "\n";
  out << "\n'tonalweaver <command> --help' describes a command.\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    printUsage(std::cerr);
    return 2;
  }
  std::string_view name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    printUsage(std::cout);
    return 0;
  }
  for (const auto& c : tw::cli::subcommands()) {
    if (name == c.name) return c.run(argc - 1, argv + 1);
  }
  std::cerr << "tonalweaver: unknown command '" << name << "'\n";
  printUsage(std::cerr);
  return 2;
}
