#pragma once
// Subcommands of the tonalweaver command register themselves from their own files, so a
// new subcommand is one new file.
#include <functional>
#include <vector>

namespace CLI {
class App;
}

namespace tw::cli {

// What runs once the command line has been read; returns the exit status.
using CommandBody = std::function<int()>;

struct Subcommand {
  const char* name;
  const char* summary;  // one line for the top-level help
  // Declares the subcommand's description, arguments, options and examples on `command`, bound
  // to values the returned body reads when it runs.
  CommandBody (*define)(CLI::App& command);
};

int registerSubcommand(const Subcommand& subcommand);
const std::vector<Subcommand>& subcommands();

}  // namespace tw::cli

#define TW_CONCAT_INNER(a, b) a##b
#define TW_CONCAT(a, b) TW_CONCAT_INNER(a, b)
#define TW_REGISTER_SUBCOMMAND(name, summary, define)                     \
  [[maybe_unused]] static const int TW_CONCAT(tw_subcommand_, __LINE__) = \
      ::tw::cli::registerSubcommand({name, summary, define})
