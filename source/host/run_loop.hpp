#pragma once
// A host main thread of our own: one thread runs every posted task and every timer, in order,
// so the object sees one message at a time as it would inside the host application. Other
// threads hand work to it and may wait for the answer.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "host/host_timers.hpp"

namespace tw {

class RunLoop {
 public:
  using Clock = std::chrono::steady_clock;

  // `queueLimit` bounds the tasks waiting to run; `post` refuses more.
  explicit RunLoop(std::size_t queueLimit = 64);
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;
  ~RunLoop();  // stops and joins

  // Queues a task; false when the queue is full or the loop has stopped (the task is dropped).
  bool post(std::function<void()> task);

  // Stops after the running task: queued tasks are dropped (their owners see them destroyed
  // unrun), timers never fire again. Safe from any thread but the loop's own; idempotent.
  void stop();

  bool onLoopThread() const { return std::this_thread::get_id() == thread_.get_id(); }
  std::size_t queuedTasks() const;

  // A timer's firing: at `due` the loop runs `task` if both still exist and the timer's
  // current generation is still `generation` (a timer set again, cancelled or destroyed does
  // not fire from an older setting). The task and generation are touched only on the loop.
  struct TimerEntry {
    std::weak_ptr<std::function<void()>> task;
    std::uint64_t generation = 0;
    std::weak_ptr<std::uint64_t> currentGeneration;
  };
  void schedule(Clock::time_point due, TimerEntry entry);

 private:
  void run();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::multimap<Clock::time_point, TimerEntry> timers_;
  std::size_t queueLimit_;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once everything above exists
};

// Host timers whose tasks run on a run loop at wall-clock times. Timers are created, set and
// destroyed on the loop thread, where the object that owns them lives.
class RunLoopTimers final : public HostTimers {
 public:
  explicit RunLoopTimers(RunLoop& loop) : loop_(loop) {}
  std::unique_ptr<HostTimer> createTimer(std::function<void()> task) override;

 private:
  RunLoop& loop_;
};

}  // namespace tw
