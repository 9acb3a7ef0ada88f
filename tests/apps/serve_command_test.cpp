// tonalweaver serve, run as a user runs it and spoken to over HTTP as a browser would.
#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// A resources folder of the test's own: the built corpora, a small page, a file outside the
// page folder and a link pointing at it.
fs::path makeResources() {
  const fs::path root = fs::temp_directory_path() / ("tw-serve-" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "web" / "js");
  const fs::path built = fs::path(TONALWEAVER_BINARY).parent_path() / "resources";
  for (const char* corpus : {"cc.bin", "pc.bin"})
    if (fs::exists(built / corpus)) fs::copy_file(built / corpus, root / corpus);
  std::ofstream(root / "web" / "index.html") << "<!doctype html><title>tonalweaver</title>";
  std::ofstream(root / "web" / "js" / "app.js") << "export const ready = true;\n";
  std::ofstream(root / "web" / "notes.bin") << "not served";
  std::ofstream(root / "secret.txt") << "outside the page";
  fs::create_symlink(root / "secret.txt", root / "web" / "link.txt");
  return root;
}

class Server {
 public:
  explicit Server(const fs::path& resources, std::vector<std::string> extra = {}) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> args{TONALWEAVER_BINARY, "serve", "--port", "0", "--clipboard", "memory",
                                  "--resources", resources.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, TONALWEAVER_BINARY, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    out_ = pipeFds[0];
    // The one line "tonalweaver serving http://127.0.0.1:PORT/".
    std::string line;
    char c = 0;
    while (read(out_, &c, 1) == 1 && c != '\n') line += c;
    const std::string prefix = "tonalweaver serving http://127.0.0.1:";
    if (line.rfind(prefix, 0) == 0) port_ = std::stoi(line.substr(prefix.size()));
  }
  ~Server() {
    if (pid_ > 0 && !stopped_) stop();
    if (out_ >= 0) close(out_);
  }
  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  httplib::Client client() const {
    httplib::Client c("127.0.0.1", port_);
    c.set_read_timeout(10, 0);
    return c;
  }
  void signal(int number) const { kill(pid_, number); }
  // Sends SIGTERM and returns the exit status (-1 for a crash or a hang past five seconds).
  int stop() {
    stopped_ = true;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int port_ = 0;
  bool stopped_ = false;
};

// The server's peak resident memory so far, in KiB (VmHWM); -1 when it cannot be read.
long peakMemoryKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// A plain TCP connection to the server, optionally from another loopback address, for
// requests a well-behaved client would never send.
class RawConnection {
 public:
  RawConnection(int port, const char* from = "127.0.0.1") : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    connected_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
                 connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
  }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
  ~RawConnection() {
    if (fd_ >= 0) close(fd_);
  }
  bool connected() const { return connected_; }
  bool send(const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
      const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }
  // What arrives within `patience` (until the server closes or stops sending).
  std::string receive(std::chrono::milliseconds patience) {
    std::string got;
    const auto until = std::chrono::steady_clock::now() + patience;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return got;
      char buffer[4096];
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) return got;
      got.append(buffer, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  bool connected_ = false;
};

class ServeCommand : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    resources_ = new fs::path(makeResources());
    server_ = new Server(*resources_);
  }
  static void TearDownTestSuite() {
    delete server_;
    fs::remove_all(*resources_);
    delete resources_;
  }
  void SetUp() override { ASSERT_GT(server_->port(), 0) << "the server did not print its URL"; }

  static httplib::Result post(const std::string& body, const std::string& type = "application/json",
                              httplib::Headers headers = {}) {
    return server_->client().Post("/messages", headers, body, type.c_str());
  }
  static Json messages(const std::string& body) {
    auto result = post(body);
    EXPECT_TRUE(result);
    if (!result) return Json();
    EXPECT_EQ(result->status, 200) << result->body;
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json");
    return Json::parse(result->body);
  }
  static int status(const httplib::Result& result) { return result ? result->status : -1; }
  static Json errorOf(const httplib::Result& result) { return result ? Json::parse(result->body) : Json(); }

  static fs::path* resources_;
  static Server* server_;
};
fs::path* ServeCommand::resources_ = nullptr;
Server* ServeCommand::server_ = nullptr;

TEST_F(ServeCommand, ARequestIsAnsweredWithTheOutletMessagesItCaused) {
  const Json reply = messages(R"(["fromJweb","parse_chord","{\"chord\":\"Cm7\"}"])");
  ASSERT_EQ(reply.size(), 1u);
  EXPECT_EQ(reply[0]["outlet"], 0);
  EXPECT_EQ(reply[0]["atoms"][0], "toJweb");
  EXPECT_EQ(reply[0]["atoms"][1], "parse_result");
  EXPECT_EQ(Json::parse(reply[0]["atoms"][2].get<std::string>())["payload"]["symbol"], "Cm7");

  EXPECT_EQ(messages(R"(["voicing","closed","Cmaj7"])"), Json::parse(R"([{"atoms":[60,64,67,71],"outlet":1}])"));
  EXPECT_EQ(messages(R"(["parse","nonsense"])"), Json::array());  // nothing leaves the object
}

TEST_F(ServeCommand, LongRepliesArriveInChunksThatReassemble) {
  const Json reply = messages(R"(["fromJweb","get_supported_qualities","{}"])");
  ASSERT_GT(reply.size(), 1u);
  std::string joined;
  for (const auto& message : reply) {
    ASSERT_EQ(message["atoms"][1], "__tw_chunk");
    joined += Json::parse(message["atoms"][2].get<std::string>())["chunk"].get<std::string>();
  }
  EXPECT_EQ(Json::parse(joined)["type"], "supported_qualities");
}

TEST_F(ServeCommand, ServesOnlyThePagesOwnFiles) {
  auto client = server_->client();
  auto page = client.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(page->get_header_value("X-Content-Type-Options"), "nosniff");
  auto script = client.Get("/js/app.js");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->status, 200);
  EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
  for (const char* path : {"/missing.html", "/notes.bin", "/link.txt", "/../secret.txt", "/%2e%2e/secret.txt",
                           "/js/../../secret.txt", "/.hidden.js", "/js//app.js", "/js/app.js%00.html", "/cc.bin"}) {
    auto result = client.Get(path);
    EXPECT_EQ(status(result), 404) << path;
  }
}

TEST_F(ServeCommand, BadBodiesGetClearErrorsAndTheServerKeepsServing) {
  EXPECT_EQ(status(post("[\"bang\"]", "text/plain")), 415);
  EXPECT_EQ(status(post("[\"bang\"]", "application/x-www-form-urlencoded")), 415);
  for (const char* body : {"", "{", "{\"a\":1}", "[]", "[null]", "[[\"bang\"]]", "[\"bang\",{}]", "\xff\xfe"}) {
    auto result = post(body);
    EXPECT_EQ(status(result), 400) << body;
    EXPECT_TRUE(errorOf(result)["error"].get<std::string>().starts_with("the body must be a JSON array of atoms"));
  }
  auto huge = post("[\"" + std::string(2 << 20, 'a') + "\"]");
  EXPECT_EQ(status(huge), 413);
  EXPECT_EQ(errorOf(huge)["error"], "request body is larger than 1 MiB");
  EXPECT_EQ(status(server_->client().Post("/elsewhere", "[]", "application/json")), 404);
  EXPECT_EQ(status(server_->client().Get("/messages")), 405);
  EXPECT_EQ(status(server_->client().Delete("/messages")), 405);
  EXPECT_EQ(status(server_->client().Put("/", "x", "text/plain")), 405);
  EXPECT_EQ(messages("[\"bang\"]"), Json::parse(R"([{"atoms":[60,64,67],"outlet":1}])"));
}

// A body sent in chunks, without a length, is held to the same limit as any other.
TEST_F(ServeCommand, ChunkedBodiesAreMeasuredAsTheyArrive) {
  auto chunked = [](std::string body) {
    return server_->client().Post(
        "/messages",
        [body](std::size_t offset, httplib::DataSink& sink) {
          const std::size_t piece = std::min<std::size_t>(64 << 10, body.size() - offset);
          if (piece > 0) sink.write(body.data() + offset, piece);
          if (offset + piece == body.size()) sink.done();
          return true;
        },
        "application/json");
  };
  const auto bang = chunked("[\"bang\"]");
  EXPECT_EQ(status(bang), 200);
  const auto huge = chunked("[\"" + std::string(2 << 20, 'a') + "\"]");
  EXPECT_EQ(status(huge), 413);
  EXPECT_EQ(errorOf(huge)["error"], "request body is larger than 1 MiB");

  // A body far beyond the limit is not read to its end, nor held: the server's memory stays
  // where it was while 256 MiB are offered.
  const long before = peakMemoryKiB(server_->pid());
  ASSERT_GT(before, 0);
  {
    RawConnection flood(server_->port());
    ASSERT_TRUE(flood.connected());
    ASSERT_TRUE(flood.send("POST /messages HTTP/1.1\r\nHost: " + server_->host() +
                           "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n"));
    const std::string chunk = "100000\r\n" + std::string(1 << 20, 'a') + "\r\n";
    int sent = 0;
    while (sent < 256 && flood.send(chunk)) ++sent;
    EXPECT_LT(sent, 256) << "the server read the whole flood";
  }
  EXPECT_LT(peakMemoryKiB(server_->pid()) - before, 32 * 1024);
  EXPECT_EQ(messages("[\"bang\"]"), Json::parse(R"([{"atoms":[60,64,67],"outlet":1}])"));
}

// Connections that send part of a request and then wait hold up nobody else; one address
// cannot hold more than its share of connections.
TEST_F(ServeCommand, StalledConnectionsDoNotDelayOthers) {
  const std::string stalledRequest = "POST /messages HTTP/1.1\r\nHost: " + server_->host() +
                                     "\r\nContent-Type: application/json\r\nContent-Length: 100\r\n\r\n[\"ba";
  std::vector<std::unique_ptr<RawConnection>> stalled;
  for (int i = 0; i < 70; ++i) {
    stalled.push_back(std::make_unique<RawConnection>(server_->port()));
    ASSERT_TRUE(stalled.back()->connected());
    ASSERT_TRUE(stalled.back()->send(stalledRequest));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // all of them are being read
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(messages("[\"bang\"]"), Json::parse(R"([{"atoms":[60,64,67],"outlet":1}])"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  stalled.clear();

  // From one other address: past its share, connections are refused at once.
  std::vector<std::unique_ptr<RawConnection>> greedy;
  for (int i = 0; i < 100; ++i) {
    greedy.push_back(std::make_unique<RawConnection>(server_->port(), "127.0.0.2"));
    ASSERT_TRUE(greedy.back()->connected());
    ASSERT_TRUE(greedy.back()->send(stalledRequest));
  }
  int refused = 0;
  for (auto& connection : greedy)
    if (connection->receive(std::chrono::milliseconds(20)).rfind("HTTP/1.1 503", 0) == 0) ++refused;
  EXPECT_EQ(refused, 4);
  EXPECT_EQ(status(post("[\"bang\"]")), 200);
}

TEST_F(ServeCommand, ForeignHostsAndOriginsAreRefused) {
  const std::string own = server_->host();
  const std::string port = std::to_string(server_->port());
  for (const std::string& host : std::vector<std::string>{"evil.example:" + port, "localhost.evil.example:" + port,
                                                          "127.0.0.1:1", "127.0.0.1:" + port + "x"}) {
    auto result = post("[\"bang\"]", "application/json", httplib::Headers{{"Host", host}});
    EXPECT_EQ(status(result), 403) << host;
  }
  for (const char* origin : {"http://evil.example", "null", "https://127.0.0.1"}) {
    auto result = post("[\"bang\"]", "application/json", httplib::Headers{{"Origin", origin}});
    EXPECT_EQ(status(result), 403) << origin;
  }
  EXPECT_EQ(status(post("[\"bang\"]", "application/json", httplib::Headers{{"Origin", "http://" + own}})), 200);
  EXPECT_EQ(status(post("[\"bang\"]", "application/json",
                        httplib::Headers{{"Host", "localhost:" + port}, {"Origin", "http://localhost:" + port}})),
            200);
}

TEST_F(ServeCommand, ManyRequestsAtOnceAreAnsweredOneAtATime) {
  std::vector<std::future<std::pair<int, std::string>>> answers;
  for (int i = 0; i < 24; ++i)
    answers.push_back(std::async(std::launch::async, [i] {
      const std::string id = "r" + std::to_string(i);
      auto result = post(R"(["fromJweb","get_version","{\"request_id\":\")" + id + R"(\"}"])");
      return std::pair{status(result), result ? result->body : httplib::to_string(result.error())};
    }));
  int answered = 0;
  for (int i = 0; i < 24; ++i) {
    auto [code, body] = answers[static_cast<std::size_t>(i)].get();
    if (code == 503) continue;  // the waiting line was full: refused, not lost
    ASSERT_EQ(code, 200) << body;
    const Json reply = Json::parse(body);
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(Json::parse(reply[0]["atoms"][2].get<std::string>())["request_id"], "r" + std::to_string(i));
    ++answered;
  }
  EXPECT_GT(answered, 0);
}

TEST_F(ServeCommand, TheWakeNoticeReachesTheEventStream) {
  std::promise<std::string> received;
  auto got = received.get_future();
  std::thread listener([&received] {
    auto client = server_->client();
    std::string seen;
    bool done = false;
    client.Get("/events", [&](const char* data, std::size_t length) {
      seen.append(data, length);
      if (!done && seen.find("\"system_wake\",\"{\\\"ok\\\"") != std::string::npos) {
        done = true;
        received.set_value(seen);
        return false;
      }
      return true;
    });
    if (!done) received.set_value(seen);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  server_->signal(SIGUSR1);
  ASSERT_EQ(got.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  const std::string events = got.get();
  listener.join();
  EXPECT_NE(events.find("data: {\"atoms\":[\"toBridge\",\"system_wake\",\"{}\"],\"outlet\":0}\n\n"), std::string::npos)
      << events;
}

TEST(ServeCommandLife, StopsCleanlyOnSigintAndSigterm) {
  const fs::path resources = makeResources();
  for (int signal : {SIGINT, SIGTERM}) {
    Server server(resources);
    ASSERT_GT(server.port(), 0);
    auto client = server.client();
    // An open event stream must not hold the server up.
    std::thread listener([&client] { client.Get("/events", [](const char*, std::size_t) { return true; }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server.signal(signal);
    EXPECT_EQ(server.stop(), 0) << "signal " << signal;
    listener.join();
  }
  fs::remove_all(resources);
}

TEST(ServeCommandLife, RefusesBadArgumentsAndAMissingPage) {
  auto run = [](const std::string& arguments) {
    const std::string command = std::string(TONALWEAVER_BINARY) + " serve " + arguments + " >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  EXPECT_EQ(run("--port 70000"), 2);
  EXPECT_EQ(run("--port x"), 2);
  EXPECT_EQ(run("--clipboard desk"), 2);
  EXPECT_EQ(run("--loud"), 2);
  EXPECT_EQ(run("--port 0 --resources /nonexistent-folder"), 1);
  EXPECT_EQ(run("--help"), 0);
}

TEST(ServeCommandLife, ATakenPortIsReportedNotFatal) {
  const fs::path resources = makeResources();
  Server first(resources);
  ASSERT_GT(first.port(), 0);
  // A second server that wrongly shared the port would serve on: the time limit ends it.
  const std::string command = "timeout 10 " + std::string(TONALWEAVER_BINARY) + " serve --resources '" +
                              resources.string() +
                              "' --port " + std::to_string(first.port()) + " 2>&1";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int raw = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << out;
  }
  EXPECT_NE(out.find("cannot listen on 127.0.0.1 port " + std::to_string(first.port())), std::string::npos) << out;
  EXPECT_EQ(first.stop(), 0);  // the first server was not disturbed
  fs::remove_all(resources);
}

}  // namespace
