#pragma once
// Runs the tonalweaver command as a user runs it from a shell: arguments as shell words,
// optional text on standard input, standard output and standard error captured together.
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tw::testing {

struct CommandRun {
  int status = -1;  // the exit status; -1 when the command did not exit normally
  std::string out;  // standard output and standard error together
};

// `shellArguments` is pasted after the binary's path, so quote as a shell would need.
inline CommandRun runTonalweaver(const std::string& shellArguments, std::string_view input = {}) {
  const auto inputFile = std::filesystem::temp_directory_path() /
                         ("tw-command-input-" + std::to_string(getpid()));
  std::ofstream(inputFile, std::ios::binary) << input;
  const std::string command = std::string(TONALWEAVER_BINARY) + " " + shellArguments + " <'" +
                              inputFile.string() + "' 2>&1";
  CommandRun run;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::filesystem::remove(inputFile);
  return run;
}

inline bool contains(const CommandRun& run, std::string_view text) {
  return run.out.find(text) != std::string::npos;
}

}  // namespace tw::testing
