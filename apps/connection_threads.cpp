#include "connection_threads.hpp"

#include <system_error>
#include <utility>

namespace tw::web {

bool ClientConnections::admit(const std::string& client) {
  std::lock_guard lock(mutex_);
  const auto self = std::this_thread::get_id();
  if (clientOfThread_.count(self) != 0) return true;  // a later request on a counted connection
  std::size_t& held = held_[client];
  if (held >= perClient_) return false;
  ++held;
  clientOfThread_.emplace(self, client);
  return true;
}

void ClientConnections::releaseThisThread() {
  std::lock_guard lock(mutex_);
  const auto found = clientOfThread_.find(std::this_thread::get_id());
  if (found == clientOfThread_.end()) return;
  const auto held = held_.find(found->second);
  if (held != held_.end() && --held->second == 0) held_.erase(held);
  clientOfThread_.erase(found);
}

void ConnectionThreads::enqueue(std::function<void()> job) {
  std::unique_lock lock(mutex_);
  jobs_.push_back(std::move(job));
  if (jobs_.size() <= idle_ || threads_.size() >= maxThreads_) {
    wake_.notify_one();
    return;
  }
  try {
    threads_.emplace_back([this] { work(); });
  } catch (const std::system_error&) {
    // The system gives no more threads: the connection waits for one of those there are,
    // or, when there are none, is served right here.
    if (!threads_.empty()) return;
    auto waiting = std::move(jobs_.back());
    jobs_.pop_back();
    lock.unlock();
    waiting();
    clients_.releaseThisThread();
  }
}

void ConnectionThreads::shutdown() {
  std::vector<std::thread> ending;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    ending.swap(threads_);
  }
  wake_.notify_all();
  for (auto& thread : ending) thread.join();
}

void ConnectionThreads::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    --idle_;
    if (jobs_.empty()) return;  // stopping, and every accepted connection has been served
    auto job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    clients_.releaseThisThread();
    lock.lock();
  }
}

}  // namespace tw::web
