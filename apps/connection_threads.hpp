#pragma once
// Threads for the page server's connections. Each connection is served on a thread of its
// own, so a client that opens connections and then stalls holds up only itself; the threads
// are capped in all, and the connections one client address may hold are capped too.
#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tw::web {

// The connections each client address holds, counted from a connection's first request to
// its close.
class ClientConnections {
 public:
  explicit ClientConnections(std::size_t perClient) : perClient_(perClient) {}

  // Counts the connection served on the calling thread against `client`, once per connection;
  // false when the client already holds its share (the connection is then not counted).
  bool admit(const std::string& client);
  // The calling thread's connection has closed.
  void releaseThisThread();

 private:
  std::mutex mutex_;
  const std::size_t perClient_;
  std::map<std::string, std::size_t> held_;
  std::map<std::thread::id, std::string> clientOfThread_;
};

// The server's task queue: a thread per waiting connection, up to `maxThreads`; beyond that,
// connections wait for a thread in arrival order.
class ConnectionThreads : public httplib::TaskQueue {
 public:
  ConnectionThreads(std::size_t maxThreads, ClientConnections& clients)
      : maxThreads_(maxThreads), clients_(clients) {}
  ConnectionThreads(const ConnectionThreads&) = delete;
  ConnectionThreads& operator=(const ConnectionThreads&) = delete;
  ~ConnectionThreads() override { shutdown(); }

  void enqueue(std::function<void()> job) override;
  // Serves the connections already accepted, then ends every thread.
  void shutdown() override;

 private:
  void work();

  const std::size_t maxThreads_;
  ClientConnections& clients_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  std::size_t idle_ = 0;
  bool stopping_ = false;
};

}  // namespace tw::web
