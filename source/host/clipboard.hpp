#pragma once
// Clipboards for the clipboard requests: one held in memory (the headless hosts, tests) and
// the desktop's, through its command-line tools.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/clipboard_service.hpp"

namespace tw {

// A clipboard that lives only in this process.
class InMemoryClipboard final : public Clipboard {
 public:
  explicit InMemoryClipboard(std::string text = {}) : text_(std::move(text)) {}
  std::optional<std::string> read() override;
  bool write(std::string_view text) override;

  // Simulates a desktop whose clipboard cannot be reached.
  void setReachable(bool reachable) { reachable_ = reachable; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  bool reachable_ = true;
};

// Talks to the clipboard through a pair of desktop commands, started directly (no shell)
// with a pipe to read their output or feed their input. A command that cannot be started
// counts as an unreachable clipboard. The commands' exit status is ignored.
class CommandPipeClipboard final : public Clipboard {
 public:
  // Each command is a program (looked up on PATH) followed by its arguments.
  CommandPipeClipboard(std::vector<std::string> readCommand, std::vector<std::string> writeCommand);
  std::optional<std::string> read() override;
  bool write(std::string_view text) override;

 private:
  std::vector<std::string> readCommand_;
  std::vector<std::string> writeCommand_;
};

// The pair of clipboard commands for this desktop: pbpaste/pbcopy on macOS; elsewhere the
// first installed of wl-paste/wl-copy, xclip, xsel. When none is installed the commands are
// still named, and fail to start like any missing command.
struct ClipboardCommands {
  std::vector<std::string> read;
  std::vector<std::string> write;
};
ClipboardCommands desktopClipboardCommands();

// The desktop clipboard through its commands.
std::unique_ptr<Clipboard> makeSystemClipboard();

}  // namespace tw
