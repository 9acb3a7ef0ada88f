#pragma once
// Subcommands of the tonalweaver command register themselves from their own files, so a
// new subcommand is one new file.
#include <string_view>
#include <vector>

namespace tw::cli {

struct Subcommand {
  const char* name;
  const char* summary;  // one line for the top-level help
  int (*run)(int argc, char** argv);  // argv[0] is the subcommand name
};

int registerSubcommand(const Subcommand& subcommand);
const std::vector<Subcommand>& subcommands();

}  // namespace tw::cli

#define TW_CONCAT_INNER(a, b) a##b
#define TW_CONCAT(a, b) TW_CONCAT_INNER(a, b)
#define TW_REGISTER_SUBCOMMAND(name, summary, function)                     \
  [[maybe_unused]] static const int TW_CONCAT(tw_subcommand_, __LINE__) = \
      ::tw::cli::registerSubcommand({name, summary, function})
