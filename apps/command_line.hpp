#pragma once
// How every subcommand reads its command line: CLI11 with one help layout for all of them,
// option values checked as they are read, and every usage error told in one line on standard
// error (then a pointer to the help) with exit status 2.
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "subcommand_registry.hpp"

namespace tw::cli {

// Reads the command line of `subcommand` (argv[0] is its name) and runs it. --help prints the
// help on standard output (status 0).
int runSubcommand(const Subcommand& subcommand, int argc, char** argv);

// The help of the whole command: the subcommands with their summaries.
std::string commandHelp(const std::vector<Subcommand>& subcommands);

// A command's description: its first line is the summary listed in its parent's help.
// `examples` are printed after the options.
void describe(CLI::App& command, std::string description, std::string examples);

// A usage error found after the command line was read: "tonalweaver COMMAND: MESSAGE" and a
// pointer to the command's help on standard error; returns 2. `command` is the words after
// "tonalweaver" ("voice", "corpus build").
int usageError(std::string_view command, std::string_view message);

// Option checks. Each message reads after the option's name: "--octave needs a whole number,
// not 'four'". The number checks rewrite the value in plain decimal, so they go in
// `->transform(...)`: CLI11 alone would read "010" as octal.
CLI::Validator wholeNumber();
CLI::Validator wholeNumberIn(long long low, long long high = std::numeric_limits<long long>::max());
CLI::Validator number();
CLI::Validator numberIn(double low, double high, std::string_view what = "a number");
CLI::Validator oneOf(std::vector<std::string> choices);
CLI::Validator nonEmpty();
CLI::Validator voicingStyleId();
CLI::Validator rhythmPatternId();

}  // namespace tw::cli
