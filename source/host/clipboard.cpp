#include "host/clipboard.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace tw {

std::optional<std::string> InMemoryClipboard::read() {
  if (!reachable_) return std::nullopt;
  return text_;
}

bool InMemoryClipboard::write(std::string_view text) {
  if (!reachable_) return false;
  text_ = std::string(text);
  return true;
}

namespace {

// One end of a pipe, closed when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { reset(); }
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

enum class ChildEnd { Stdin, Stdout };

// A started clipboard command with our end of its pipe.
struct Child {
  pid_t pid = -1;
  int ourEnd = -1;
};

void waitForChild(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Starts the command with one pipe attached to its stdin or stdout; the other standard
// stream goes to /dev/null so a chatty command cannot write into the host's output.
std::optional<Child> startCommand(const std::vector<std::string>& command, ChildEnd end) {
  if (command.empty()) return std::nullopt;
  int fds[2];
  if (::pipe(fds) != 0) return std::nullopt;
  FileDescriptor readEnd(fds[0]);
  FileDescriptor writeEnd(fds[1]);
  // Neither end may leak into other programs the host starts.
  if (::fcntl(fds[0], F_SETFD, FD_CLOEXEC) != 0 || ::fcntl(fds[1], F_SETFD, FD_CLOEXEC) != 0)
    return std::nullopt;
  const bool childReads = end == ChildEnd::Stdin;
  const int childFd = childReads ? readEnd.get() : writeEnd.get();

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return std::nullopt;
  bool ready = posix_spawn_file_actions_adddup2(&actions, childFd, childReads ? 0 : 1) == 0;
  ready = ready && posix_spawn_file_actions_addopen(&actions, childReads ? 1 : 0, "/dev/null",
                                                    childReads ? O_WRONLY : O_RDONLY, 0) == 0;

  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const auto& part : command) argv.push_back(const_cast<char*>(part.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int spawned =
      ready ? posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) : -1;
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;

  Child child;
  child.pid = pid;
  child.ourEnd = childReads ? writeEnd.release() : readEnd.release();
  return child;
}

// Writes everything, or stops at the first failure. A reader that has gone away would
// raise SIGPIPE, which would end the host; the signal is held back for the write and any
// instance it raised is consumed before the mask is restored.
void writeAll(int fd, std::string_view bytes) {
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  sigset_t previousMask;
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previousMask);
  sigset_t pendingBefore;
  sigpending(&pendingBefore);
  const bool wasPending = sigismember(&pendingBefore, SIGPIPE) == 1;

  bool broken = false;
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      broken = errno == EPIPE;
      break;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }

  if (broken && !wasPending) {
    const timespec immediately{0, 0};
    while (sigtimedwait(&pipeSignal, nullptr, &immediately) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
}

bool onPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string_view rest(path);
  while (true) {
    const auto colon = rest.find(':');
    const std::string_view folder = rest.substr(0, colon);
    if (!folder.empty()) {
      const std::string candidate = std::string(folder) + "/" + program;
      if (::access(candidate.c_str(), X_OK) == 0) return true;
    }
    if (colon == std::string_view::npos) return false;
    rest.remove_prefix(colon + 1);
  }
}

}  // namespace

CommandPipeClipboard::CommandPipeClipboard(std::vector<std::string> readCommand,
                                           std::vector<std::string> writeCommand)
    : readCommand_(std::move(readCommand)), writeCommand_(std::move(writeCommand)) {}

std::optional<std::string> CommandPipeClipboard::read() {
  const auto child = startCommand(readCommand_, ChildEnd::Stdout);
  if (!child) return std::nullopt;
  FileDescriptor pipe(child->ourEnd);
  std::string text;
  char piece[256];
  while (true) {
    const ssize_t got = ::read(pipe.get(), piece, 255);  // pieces of at most 255 bytes
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(piece, static_cast<std::size_t>(got));
  }
  pipe.reset();
  waitForChild(child->pid);
  return text;
}

bool CommandPipeClipboard::write(std::string_view text) {
  const auto child = startCommand(writeCommand_, ChildEnd::Stdin);
  if (!child) return false;
  FileDescriptor pipe(child->ourEnd);
  writeAll(pipe.get(), text);
  pipe.reset();  // end of input lets the command finish
  waitForChild(child->pid);
  return true;
}

ClipboardCommands desktopClipboardCommands() {
#if defined(__APPLE__)
  return {{"pbpaste"}, {"pbcopy"}};
#else
  if (onPath("wl-paste") && onPath("wl-copy")) return {{"wl-paste", "--no-newline"}, {"wl-copy"}};
  if (onPath("xclip"))
    return {{"xclip", "-selection", "clipboard", "-o"}, {"xclip", "-selection", "clipboard", "-i"}};
  if (onPath("xsel")) return {{"xsel", "--clipboard", "--output"}, {"xsel", "--clipboard", "--input"}};
  return {{"pbpaste"}, {"pbcopy"}};
#endif
}

std::unique_ptr<Clipboard> makeSystemClipboard() {
  auto commands = desktopClipboardCommands();
  return std::make_unique<CommandPipeClipboard>(std::move(commands.read), std::move(commands.write));
}

}  // namespace tw
