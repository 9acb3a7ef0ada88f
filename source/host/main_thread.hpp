#pragma once
// The host's main thread, where every message runs. A host whose messages can arrive on
// other threads (a scheduler thread, a timer thread) supplies a MainThread; a message that
// arrives elsewhere is handed to it and runs later, in arrival order, on the main thread.
// Hosts that run everything on one thread supply none.
#include <deque>
#include <functional>
#include <mutex>

namespace tw {

class MainThread {
 public:
  virtual ~MainThread() = default;
  virtual bool isCurrent() const = 0;
  // Queues `task` for the main thread; callable from any thread.
  virtual void post(std::function<void()> task) = 0;
};

// A queue of tasks for the main thread that the host drains: `post` stores a task and asks
// the host to call `drain` on its main thread soon (the host's own deferral primitive).
class DeferredTasks final : public MainThread {
 public:
  DeferredTasks(std::function<bool()> isMainThread, std::function<void()> requestDrain)
      : isMainThread_(std::move(isMainThread)), requestDrain_(std::move(requestDrain)) {}
  DeferredTasks(const DeferredTasks&) = delete;
  DeferredTasks& operator=(const DeferredTasks&) = delete;

  bool isCurrent() const override { return isMainThread_(); }
  void post(std::function<void()> task) override;

  // Runs, on the main thread, every task queued before the call, oldest first. A task that
  // throws is dropped; the others still run.
  void drain();
  // Drops every queued task; for teardown, before what the tasks refer to goes away.
  void discard();
  std::size_t pending() const;

 private:
  std::function<bool()> isMainThread_;
  std::function<void()> requestDrain_;
  mutable std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
};

}  // namespace tw
