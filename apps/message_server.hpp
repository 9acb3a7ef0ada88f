#pragma once
// The page server behind `tonalweaver serve`: one tonalweaver object on a run loop of its own,
// the web page from a folder, host messages in over POST /messages and the messages nobody
// asked for (the wake notice) out over a Server-Sent Events stream.
#include <filesystem>
#include <memory>
#include <string>

#include "host/web_request_policy.hpp"

namespace tw::web {

struct ServerOptions {
  ListenAddress address{"127.0.0.1", 8080};  // port 0 asks the system for a free port
  std::filesystem::path webRoot;            // the page's files
  std::string resourceFolder;               // the corpora
  bool systemClipboard = true;
};

class MessageServer {
 public:
  explicit MessageServer(ServerOptions options);
  MessageServer(const MessageServer&) = delete;
  MessageServer& operator=(const MessageServer&) = delete;
  ~MessageServer();

  // Binds the listening socket; false with a reason when the address cannot be had.
  bool bind(std::string& error);
  // The address as bound (with the real port).
  const ListenAddress& address() const;
  // Serves until shutdown(); call after bind().
  void serve();
  // Stops serving: open event streams end, waiting requests are refused, the object is
  // destroyed on its own thread. Safe from any thread; idempotent.
  void shutdown();
  // The system reported that it powered on: the object announces the wake 500 ms later.
  void powerOn();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tw::web
