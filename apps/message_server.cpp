#include "message_server.hpp"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/clipboard.hpp"
#include "host/headless_host.hpp"
#include "host/power_notifications.hpp"
#include "host/run_loop.hpp"
#include "host/tonalweaver_object.hpp"

#include "connection_threads.hpp"

namespace tw::web {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxEventStreams = 8;  // each holds a server thread
constexpr std::size_t kKeptEvents = 64;      // a stream that falls further behind skips ahead
constexpr auto kKeepAliveEvery = std::chrono::seconds(15);
constexpr std::size_t kWaitingRequestLimit = 64;
constexpr std::size_t kMaxConnectionThreads = 256;  // all clients together
constexpr std::size_t kConnectionsPerClient = 96;   // from one address; a browser opens six
// A body over the limit is still read and dropped up to this much more, so that the connection
// can carry the next request; a longer one is left unread and its connection closed.
constexpr std::size_t kMaxDiscardedBody = 8 << 20;
constexpr auto kReadTimeout = std::chrono::seconds(5);    // one read waiting for data
constexpr auto kBodyDeadline = std::chrono::seconds(10);  // a whole body arriving
constexpr const char* kBodyTooLarge = "request body is larger than 1 MiB";

void sendError(httplib::Response& response, int status, const std::string& message) {
  response.status = status;
  response.set_content(nlohmann::json{{"error", message}}.dump(), "application/json");
}

// The same answer on a connection that cannot carry another request (the rest of its body was
// left unread): it is closed once the answer is out.
void sendErrorAndClose(httplib::Response& response, int status, const std::string& message) {
  response.status = status;
  response.set_header("Connection", "close");
  auto body = std::make_shared<const std::string>(nlohmann::json{{"error", message}}.dump());
  response.set_content_provider(body->size(), "application/json",
                                [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                  sink.write(body->data() + offset, length);
                                  return false;  // the library closes a connection whose provider gives up
                                });
}

// How reading a request body ended.
enum class BodyEnd {
  Complete,
  TooLarge,   // longer than asked for, and read to its end: the connection goes on
  Abandoned,  // far too long: left unread
  TooSlow,    // not all there by the deadline: left unread
  Broken,     // malformed, or the connection failed: left unread
};

struct Body {
  BodyEnd end = BodyEnd::Complete;
  std::string text;  // never more than the bytes asked for
};

// Reads a request body as it arrives, however it is sent (with a length or in chunks), keeping
// at most `keep` bytes and never holding more.
Body readBody(const httplib::Request& request, const httplib::ContentReader& reader, std::size_t keep) {
  Body body;
  const std::size_t limit = keep + kMaxDiscardedBody;
  if (request.has_header("Content-Length") && request.get_header_value<std::uint64_t>("Content-Length") > limit) {
    body.end = BodyEnd::Abandoned;
    return body;
  }
  const auto deadline = Clock::now() + kBodyDeadline;
  std::size_t seen = 0;
  const bool read = reader([&](const char* data, std::size_t length) {
    if (Clock::now() > deadline) {
      body.end = BodyEnd::TooSlow;
      return false;
    }
    seen += length;
    if (seen > limit) {
      body.end = BodyEnd::Abandoned;
      return false;
    }
    if (seen <= keep) {
      body.text.append(data, length);
    } else if (!body.text.empty()) {
      std::string().swap(body.text);  // it will not be used
    }
    return true;
  });
  if (!read && body.end == BodyEnd::Complete) body.end = BodyEnd::Broken;
  if (read && seen > keep) body.end = BodyEnd::TooLarge;
  return body;
}

// Answers a body that could not be taken whole; false when it was complete.
bool answeredBodyFailure(httplib::Response& response, BodyEnd end) {
  switch (end) {
    case BodyEnd::Complete: return false;
    case BodyEnd::TooLarge: sendError(response, 413, kBodyTooLarge); return true;
    case BodyEnd::Abandoned: sendErrorAndClose(response, 413, kBodyTooLarge); return true;
    case BodyEnd::TooSlow: sendErrorAndClose(response, 408, "the request body took too long to arrive"); return true;
    case BodyEnd::Broken: sendErrorAndClose(response, 400, "the request body is malformed or incomplete"); return true;
  }
  return false;
}

// Refuses a request that may carry a body, reading and dropping the body first when that
// keeps the connection usable.
void refuse(const httplib::Request& request, httplib::Response& response, const httplib::ContentReader& reader,
            int status, const std::string& message) {
  const BodyEnd end = readBody(request, reader, 0).end;
  if (end == BodyEnd::Complete || end == BodyEnd::TooLarge)
    sendError(response, status, message);
  else
    sendErrorAndClose(response, status, message);
}

// Messages no request caused, numbered, for every open event stream.
class EventHub {
 public:
  void publish(std::string line) {
    {
      std::lock_guard lock(mutex_);
      events_.push_back({next_++, std::move(line)});
      if (events_.size() > kKeptEvents) events_.pop_front();
    }
    changed_.notify_all();
  }

  // Reserves a stream; false when too many are open or the hub is closed.
  bool open(std::uint64_t& cursor) {
    std::lock_guard lock(mutex_);
    if (closed_ || streams_ >= kMaxEventStreams) return false;
    ++streams_;
    cursor = next_;
    return true;
  }
  void release() {
    std::lock_guard lock(mutex_);
    --streams_;
  }

  // The events after `cursor` (which moves past them), waiting up to `patience` for one;
  // nothing when the hub closed.
  std::optional<std::vector<std::string>> wait(std::uint64_t& cursor, std::chrono::milliseconds patience) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, patience, [&] { return closed_ || next_ > cursor; });
    if (closed_) return std::nullopt;
    std::vector<std::string> out;
    for (const auto& [number, line] : events_)
      if (number >= cursor) out.push_back(line);
    cursor = next_;
    return out;
  }

  void close() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<std::uint64_t, std::string>> events_;
  std::uint64_t next_ = 0;
  std::size_t streams_ = 0;
  bool closed_ = false;
};

std::string libraryErrorReason(int status) {
  switch (status) {
    case 400: return "malformed HTTP request";
    case 404: return "no such path";
    case 405: return "method not allowed";
    case 413: return kBodyTooLarge;
    case 414: return "request line is too long";
    case 431: return "request headers are too large";
    default: return "request refused";
  }
}

void addSafetyHeaders(httplib::Response& response) {
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("Referrer-Policy", "no-referrer");
  response.set_header("Cache-Control", "no-store");
  response.set_header("Content-Security-Policy", "frame-ancestors 'none'");
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(content).str();
}

}  // namespace

class MessageServer::Impl {
 public:
  explicit Impl(ServerOptions options) : options_(std::move(options)), loop_(kWaitingRequestLimit), timers_(loop_) {
    if (options_.systemClipboard)
      clipboard_ = makeSystemClipboard();
    else
      clipboard_ = std::make_unique<InMemoryClipboard>();
    onLoop([this] {
      object_ = std::make_unique<TonalweaverObject>(
          HostServices{*clipboard_, timers_, power_, processWideState(), options_.resourceFolder});
      object_->setOutletSink([this](int outlet, const Atoms& message) {
        std::string line = formatOutletLine(outlet, message);
        if (capture_ != nullptr)
          capture_->push_back(std::move(line));
        else
          events_.publish(std::move(line));
      });
    });
    routes();
  }

  ~Impl() { shutdown(); }

  bool bind(std::string& error) {
    // The library's default would share the port with any other server (SO_REUSEPORT); this
    // one wants the port to itself, reusable only once a previous run's connections linger.
    server_.set_socket_options([this](socket_t socket) {
      int yes = 1;
      setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
      listeningSocket_ = socket;
    });
    int port = options_.address.port;
    if (port == 0) {
      port = server_.bind_to_any_port(options_.address.host);
      if (port <= 0) port = -1;
    } else if (!server_.bind_to_port(options_.address.host, port)) {
      port = -1;
    }
    if (port < 0) {
      error = "cannot listen on " + options_.address.host + " port " + std::to_string(options_.address.port) +
              " (the port may be taken, or the address not this machine's; --port 0 picks a free port)";
      return false;
    }
    options_.address.port = port;
    // The library listens with a backlog of 5: a page opening several connections at once
    // overflowed it and saw connections dropped. Listening again only enlarges the queue.
    if (listeningSocket_ >= 0) ::listen(listeningSocket_, SOMAXCONN);
    return true;
  }

  const ListenAddress& address() const { return options_.address; }

  void serve() { server_.listen_after_bind(); }

  void shutdown() {
    if (shutDown_.exchange(true)) return;
    events_.close();
    server_.stop();
    onLoop([this] { object_.reset(); });
    loop_.stop();
  }

  void powerOn() {
    loop_.post([this] { power_.raise(PowerEvent::SystemHasPoweredOn); });
  }

 private:
  // Runs a task on the object's thread and waits for it; false when it could not run.
  bool onLoop(const std::function<void()>& task) {
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    if (!loop_.post([task, done] {
          task();
          done->set_value();
        }))
      return false;
    try {
      finished.get();
      return true;
    } catch (const std::future_error&) {
      return false;  // dropped unrun when the loop stopped
    }
  }

  void routes() {
    // Bodies are measured as they arrive (readBody); the library's own limit is only a backstop.
    server_.set_payload_max_length(kMaxMessageBody + kMaxDiscardedBody);
    server_.set_read_timeout(kReadTimeout);
    server_.set_keep_alive_timeout(2);
    server_.set_keep_alive_max_count(1000);  // a page sends many small requests on one connection
    // Headers and body leave in separate writes; without this the body waits for the
    // browser's delayed acknowledgement, some 40 ms a request.
    server_.set_tcp_nodelay(true);
    server_.new_task_queue = [this] { return new ConnectionThreads(kMaxConnectionThreads, clients_); };

    // Every request must come to this server by its own name, from its own page.
    server_.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
      addSafetyHeaders(response);
      if (!clients_.admit(request.remote_addr)) {
        sendErrorAndClose(response, 503, "too many connections from this address; close some and try again");
        return httplib::Server::HandlerResponse::Handled;
      }
      const std::string host = request.get_header_value("Host");
      const bool hasOrigin = request.has_header("Origin");
      const std::string origin = request.get_header_value("Origin");
      if (!isOwnHost(host, options_.address) ||
          !isOwnOrigin(hasOrigin ? std::optional<std::string_view>(origin) : std::nullopt, host)) {
        sendErrorAndClose(response, 403, "this server answers only its own page (Host or Origin header is foreign)");
        return httplib::Server::HandlerResponse::Handled;
      }
      return httplib::Server::HandlerResponse::Unhandled;
    });

    // Handlers of requests with a body read it themselves, so that no body is ever taken
    // whole into memory before it is measured.
    using ContentReader = httplib::ContentReader;
    server_.Post("/messages", [this](const httplib::Request& request, httplib::Response& response,
                                     const ContentReader& reader) { postMessage(request, response, reader); });
    server_.Get("/messages", [](const httplib::Request&, httplib::Response& response) {
      response.set_header("Allow", "POST");
      sendError(response, 405, "method not allowed: messages are sent with POST");
    });
    server_.Get("/events", [this](const httplib::Request&, httplib::Response& response) { openEvents(response); });
    server_.Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
      serveFile(request, response);
    });
    // Only /messages takes a POST; no path takes another method.
    server_.Post(R"(/.*)", [](const httplib::Request& request, httplib::Response& response, const ContentReader& reader) {
      refuse(request, response, reader, 404, "no such path; POST a JSON array of atoms to /messages");
    });
    constexpr const char* kNotAllowed = "method not allowed: the page is read with GET, messages are sent with POST";
    const auto notAllowed = [kNotAllowed](const httplib::Request& request, httplib::Response& response,
                                          const ContentReader& reader) {
      refuse(request, response, reader, 405, kNotAllowed);
    };
    server_.Put(R"(/.*)", notAllowed);
    server_.Patch(R"(/.*)", notAllowed);
    server_.Delete(R"(/.*)", notAllowed);
    server_.Options(R"(/.*)", [kNotAllowed](const httplib::Request&, httplib::Response& response) {
      sendError(response, 405, kNotAllowed);
    });

    server_.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
      sendError(response, 500, "the server failed to answer this request");
    });
    // Errors the library raises itself (a malformed request, headers too large) get a body too.
    server_.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& response) {
          if (!response.body.empty() || response.has_header("Content-Type"))
            return httplib::Server::HandlerResponse::Unhandled;  // answered already
          sendError(response, response.status, libraryErrorReason(response.status));
          return httplib::Server::HandlerResponse::Handled;
        }));
  }

  void postMessage(const httplib::Request& request, httplib::Response& response,
                   const httplib::ContentReader& reader) {
    if (!isJsonContentType(request.get_header_value("Content-Type"))) {
      refuse(request, response, reader, 415, "send the message as Content-Type: application/json");
      return;
    }
    const Body message = readBody(request, reader, kMaxMessageBody);
    if (answeredBodyFailure(response, message.end)) return;
    MessageLine parsed = parseMessageLine(message.text);
    if (!parsed.message) {
      sendError(response, 400, "the body must be a JSON array of atoms: " + parsed.error);
      return;
    }
    std::vector<std::string> caused;
    const bool ran = onLoop([this, &caused, &parsed] {
      capture_ = &caused;
      object_->receive(*parsed.message);
      capture_ = nullptr;
    });
    if (!ran) {
      const bool stopping = shutDown_.load();
      sendError(response, 503, stopping ? "the server is shutting down" : "too many requests are waiting; try again");
      return;
    }
    std::string body = "[";
    for (std::size_t i = 0; i < caused.size(); ++i) {
      if (i > 0) body += ',';
      body += caused[i];
    }
    body += ']';
    response.set_content(body, "application/json");
  }

  void openEvents(httplib::Response& response) {
    auto cursor = std::make_shared<std::uint64_t>(0);
    if (!events_.open(*cursor)) {
      sendError(response, 503, "too many event streams are open");
      return;
    }
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, cursor, opened = false](std::size_t, httplib::DataSink& sink) mutable {
          if (!opened) {
            opened = true;
            const std::string hello = "retry: 2000\n: connected\n\n";
            return sink.write(hello.data(), hello.size());
          }
          const auto lines = events_.wait(*cursor, std::chrono::duration_cast<std::chrono::milliseconds>(kKeepAliveEvery));
          if (!lines) {
            sink.done();
            return false;
          }
          std::string chunk;
          for (const auto& line : *lines) chunk += "data: " + line + "\n\n";
          if (chunk.empty()) chunk = ": keep-alive\n\n";
          return sink.is_writable() && sink.write(chunk.data(), chunk.size());
        },
        [this](bool) { events_.release(); });
  }

  void serveFile(const httplib::Request& request, httplib::Response& response) {
    const auto file = resolveWebFile(options_.webRoot, request.path);
    if (!file) {
      sendError(response, 404, "no such file");
      return;
    }
    const auto content = readFile(*file);
    if (!content) {
      sendError(response, 404, "no such file");
      return;
    }
    response.set_content(*content, std::string(*contentTypeFor(file->extension().string())));
  }

  ServerOptions options_;
  RunLoop loop_;
  RunLoopTimers timers_;
  HeadlessPowerNotifications power_;  // touched only on the loop
  std::unique_ptr<Clipboard> clipboard_;
  std::unique_ptr<TonalweaverObject> object_;  // lives and dies on the loop
  std::vector<std::string>* capture_ = nullptr;  // the running request's outlet messages
  EventHub events_;
  ClientConnections clients_{kConnectionsPerClient};  // outlives the server's threads
  httplib::Server server_;
  std::atomic<bool> shutDown_{false};
  socket_t listeningSocket_ = -1;
};

MessageServer::MessageServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}
MessageServer::~MessageServer() = default;
bool MessageServer::bind(std::string& error) { return impl_->bind(error); }
const ListenAddress& MessageServer::address() const { return impl_->address(); }
void MessageServer::serve() { impl_->serve(); }
void MessageServer::shutdown() { impl_->shutdown(); }
void MessageServer::powerOn() { impl_->powerOn(); }

}  // namespace tw::web
