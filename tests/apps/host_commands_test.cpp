// `tonalweaver host` and `tonalweaver request` run as processes: standard input in,
// standard output, standard error and exit status out.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

extern char** environ;

namespace {

using Json = nlohmann::json;

struct CommandRun {
  int status = -1;
  std::string out;
  std::string err;
  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }
};

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the command with the arguments as given (no shell) and `input` on standard input.
CommandRun runCommand(const std::vector<std::string>& arguments, const std::string& input = "") {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("tw-command-" + std::to_string(::getpid()) + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::create_directories(folder);
  const std::string in = (folder / "in").string();
  const std::string out = (folder / "out").string();
  const std::string err = (folder / "err").string();
  std::ofstream(in, std::ios::binary) << input;

  std::vector<std::string> argvText{TONALWEAVER_BINARY};
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& part : argvText) argv.push_back(part.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  CommandRun run;
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(out);
    run.err = readFile(err);
  }
  posix_spawn_file_actions_destroy(&actions);
  std::filesystem::remove_all(folder);
  return run;
}

CommandRun host(const std::string& input, std::vector<std::string> options = {"--clipboard", "memory"}) {
  options.insert(options.begin(), "host");
  return runCommand(options, input);
}

CommandRun request(std::vector<std::string> arguments, const std::string& input = "") {
  arguments.insert(arguments.begin(), "request");
  return runCommand(arguments, input);
}

// The envelopes carried by host output lines, chunk series joined.
std::vector<Json> envelopesOf(const CommandRun& run) {
  std::vector<Json> envelopes;
  std::string pending;
  for (const auto& line : run.lines()) {
    const Json message = Json::parse(line);
    if (message["outlet"] != 0 || message["atoms"][0] != "toJweb") continue;
    if (message["atoms"][1] != "__tw_chunk") {
      envelopes.push_back(Json::parse(message["atoms"][2].get<std::string>()));
      continue;
    }
    const Json record = Json::parse(message["atoms"][2].get<std::string>());
    pending += record["chunk"].get<std::string>();
    if (record["index"].get<int>() + 1 == record["total"].get<int>()) {
      envelopes.push_back(Json::parse(pending));
      pending.clear();
    }
  }
  return envelopes;
}

TEST(HostCommand, AnswersTheIssueExample) {
  const CommandRun run = host(R"(["fromJweb","parse_chord","{\"chord\":\"Cm7\"}"])" "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const auto lines = run.lines();
  ASSERT_EQ(lines.size(), 1u) << run.out;
  const Json message = Json::parse(lines[0]);
  EXPECT_EQ(message["outlet"], 0);
  EXPECT_EQ(message["atoms"][0], "toJweb");
  EXPECT_EQ(message["atoms"][1], "parse_result");
  EXPECT_EQ(lines[0].rfind(R"({"atoms":["toJweb","parse_result",")", 0), 0u);
  EXPECT_EQ(Json::parse(message["atoms"][2].get<std::string>())["ok"], true);
}

TEST(HostCommand, PatchMessages) {
  const CommandRun run = host("[\"bang\"]\n[\"parse\",\"Bbdim\"]\n[\"parse\",\"Bb7\"]\n[\"voicing\",\"closed\"]\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "{\"atoms\":[60,64,67],\"outlet\":1}\n"
            "{\"atoms\":[\"Bb\",\"dim\"],\"outlet\":0}\n"
            "{\"atoms\":[\"A#\",\"7\"],\"outlet\":0}\n");
}

TEST(HostCommand, VoicingGoesOutOfTheSecondOutlet) {
  const CommandRun run = host("[\"voicing\",\"closed\",\"C\"]\n");
  EXPECT_EQ(run.out, "{\"atoms\":[60,64,67],\"outlet\":1}\n");
}

TEST(HostCommand, BadLinesAreReportedAndSkipped) {
  const CommandRun run = host("oops\n\n[]\n[1,[2]]\n" + std::string(5000, '[') + "\n[\"bang\"]");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "{\"atoms\":[60,64,67],\"outlet\":1}\n");
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 4) << run.err;
  EXPECT_NE(run.err.find("line 1"), std::string::npos);
  EXPECT_NE(run.err.find("line 5"), std::string::npos);
}

TEST(HostCommand, NumbersBecomeIntAndFloatAtoms) {
  // The float renders with six decimals, so the type is "1.500000".
  const CommandRun run = host("[\"fromJweb\",1.5,\"{}\"]\n[\"fromJweb\",7,\"{}\"]\n");
  const auto envelopes = envelopesOf(run);
  ASSERT_EQ(envelopes.size(), 2u);
  EXPECT_EQ(envelopes[0]["payload"]["requested_type"], "1.500000");
  EXPECT_EQ(envelopes[1]["payload"]["requested_type"], "7");
}

TEST(HostCommand, LongRepliesArriveInPiecesThatJoin) {
  const CommandRun run = host("[\"get_supported_qualities\"]\n[\"get_version\"]\n");
  EXPECT_GT(run.lines().size(), 2u);
  const auto envelopes = envelopesOf(run);
  ASSERT_EQ(envelopes.size(), 2u);
  EXPECT_EQ(envelopes[0]["type"], "supported_qualities");
  EXPECT_EQ(envelopes[1]["type"], "version");
}

TEST(HostCommand, MemoryClipboardRoundTrip) {
  const CommandRun run = host(
      R"(["fromJweb","write_clipboard","{\"text\":\"  Dm7 G7 \\n\"}"])" "\n"
      R"(["fromJweb","read_clipboard","{}"])" "\n");
  const auto envelopes = envelopesOf(run);
  ASSERT_EQ(envelopes.size(), 1u) << run.out;
  EXPECT_EQ(envelopes[0]["payload"]["text"], "Dm7 G7");
}

TEST(HostCommand, SystemClipboardNeverStopsTheHost) {
  // Whether or not this desktop has clipboard commands, the host carries on.
  const CommandRun run = runCommand({"host"}, R"(["fromJweb","read_clipboard","{}"])" "\n[\"bang\"]\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("[60,64,67]"), std::string::npos);
}

// A host driven the way an interactive program drives it: each line written only after the
// reply to the one before has been read.
class InteractiveHost {
 public:
  InteractiveHost() {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    for (int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    std::string binary = TONALWEAVER_BINARY, command = "host", option = "--clipboard", kind = "memory";
    char* argv[] = {binary.data(), command.data(), option.data(), kind.data(), nullptr};
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    toHost_ = in[1];
    fromHost_ = out[0];
  }
  ~InteractiveHost() {
    closeInput();
    close(fromHost_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  bool started() const { return pid_ > 0; }
  void write(const std::string& text) { ASSERT_EQ(::write(toHost_, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
  void closeInput() {
    if (toHost_ >= 0) close(toHost_);
    toHost_ = -1;
  }
  // The next output line, or nothing when none arrives within ten seconds (or output ends).
  std::optional<std::string> readLine() {
    for (;;) {
      if (const auto end = buffered_.find('\n'); end != std::string::npos) {
        std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return line;
      }
      pollfd ready{fromHost_, POLLIN, 0};
      if (poll(&ready, 1, 10000) <= 0) return std::nullopt;
      char chunk[4096];
      const ssize_t n = ::read(fromHost_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffered_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  pid_t pid_ = -1;
  int toHost_ = -1;
  int fromHost_ = -1;
  std::string buffered_;
};

TEST(HostCommand, AnInteractiveCallerSeesEachReplyBeforeWritingTheNextLine) {
  InteractiveHost host;
  ASSERT_TRUE(host.started());
  const std::string parse = R"(["parse","Bb7"])" "\n";
  host.write(parse);
  EXPECT_EQ(host.readLine(), R"({"atoms":["A#","7"],"outlet":0})");
  // More input already waiting, but no whole line of it: the reply still goes out at once.
  host.write(R"(["voicing","closed","C"])" "\n" R"(["parse",)");
  EXPECT_EQ(host.readLine(), R"({"atoms":[60,64,67],"outlet":1})");
  host.write(R"("Cm"])" "\n");
  EXPECT_EQ(host.readLine(), R"({"atoms":["C","m"],"outlet":0})");
  // A batch written at once is answered in full, in order.
  std::string batch;
  for (int i = 0; i < 2000; ++i) batch += parse;
  host.write(batch);
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(host.readLine(), R"({"atoms":["A#","7"],"outlet":0})") << i;
  host.closeInput();
  EXPECT_EQ(host.readLine(), std::nullopt);
}

TEST(HostCommand, ArgumentsAndHelp) {
  CommandRun run = runCommand({"host", "--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("examples:"), std::string::npos);
  run = runCommand({"host", "--clipboard", "paper"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--clipboard"), std::string::npos);
  run = runCommand({"host", "--verbose"});
  EXPECT_EQ(run.status, 2);
  run = runCommand({"host", "--resources"});
  EXPECT_EQ(run.status, 2);
  run = host("[\"bang\"]\n", {"--resources", "/nonexistent/folder", "--clipboard", "memory"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "{\"atoms\":[60,64,67],\"outlet\":1}\n");
}

TEST(RequestCommand, PrintsTheEnvelopeOnOneLine) {
  const CommandRun run = request({"parse_chord", R"({"chord":"Cm7"})"});
  EXPECT_EQ(run.status, 0);
  const auto lines = run.lines();
  ASSERT_EQ(lines.size(), 1u);
  const Json envelope = Json::parse(lines[0]);
  EXPECT_EQ(envelope["type"], "parse_result");
  EXPECT_EQ(envelope["payload"]["quality"], "m7");
  EXPECT_EQ(envelope.dump(-1, ' ', true), lines[0]);
}

TEST(RequestCommand, ReadsJsonFromStandardInput) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"ready"}, std::vector<std::string>{"ready", "-"}}) {
    const CommandRun run = request(arguments, R"({"type":"ready","payload":{},"request_id":"a1"})" "\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, R"({"ok":true,"payload":{},"request_id":"a1","type":"ready_ack"})" "\n");
  }
}

TEST(RequestCommand, EmptyTextIsANullRequest) {
  const CommandRun run = request({"get_version", ""});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, R"({"ok":true,"payload":{"version":"1.1.1"},"type":"version"})" "\n");
}

TEST(RequestCommand, FailureRepliesExitWithOne) {
  CommandRun run = request({"get_version", "{nope"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Json::parse(run.out)["type"], "error");
  run = request({"dance", "{}"});
  EXPECT_EQ(run.status, 1);
  run = request({"parse_chord", R"({"chord":"H7"})"});
  EXPECT_EQ(run.status, 1);
}

TEST(RequestCommand, NoReplyExitsWithTwo) {
  CommandRun run = request({"write_clipboard", R"({"text":"x"})"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  run = request({"url", "{}"});
  EXPECT_EQ(run.status, 2);
}

TEST(RequestCommand, ChunkedReplyIsReassembled) {
  const CommandRun run = request({"get_supported_qualities", "{}"});
  EXPECT_EQ(run.status, 0);
  const auto lines = run.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_GT(lines[0].size(), 12000u);
  EXPECT_EQ(Json::parse(lines[0])["type"], "supported_qualities");
}

TEST(RequestCommand, ArgumentsAndHelp) {
  CommandRun run = request({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("examples:"), std::string::npos);
  run = request({});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("TYPE"), std::string::npos);
  run = request({"get_version", "{}", "extra"});
  EXPECT_EQ(run.status, 2);
}

}  // namespace
