#include "host/run_loop.hpp"

namespace tw {

RunLoop::RunLoop(std::size_t queueLimit) : queueLimit_(queueLimit), thread_([this] { run(); }) {}

RunLoop::~RunLoop() {
  stop();
  if (thread_.joinable()) thread_.join();
}

bool RunLoop::post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || tasks_.size() >= queueLimit_) return false;
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
  return true;
}

void RunLoop::stop() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dropped.swap(tasks_);
    timers_.clear();
  }
  wake_.notify_all();
  // Dropped tasks are destroyed here, outside the lock, so whoever waits on them is released.
}

std::size_t RunLoop::queuedTasks() const {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}

void RunLoop::schedule(Clock::time_point due, TimerEntry entry) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    timers_.emplace(due, std::move(entry));
  }
  wake_.notify_one();
}

void RunLoop::run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (!tasks_.empty()) {
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      task = nullptr;  // whatever it held goes before the next task runs
      lock.lock();
      continue;
    }
    if (!timers_.empty() && timers_.begin()->first <= Clock::now()) {
      TimerEntry entry = std::move(timers_.begin()->second);
      timers_.erase(timers_.begin());
      lock.unlock();
      const auto task = entry.task.lock();
      const auto generation = entry.currentGeneration.lock();
      if (task && generation && *generation == entry.generation) {
        ++*generation;  // fired: a timer runs its task once per setting
        (*task)();
      }
      lock.lock();
      continue;
    }
    if (timers_.empty())
      wake_.wait(lock);
    else
      wake_.wait_until(lock, timers_.begin()->first);
  }
}

namespace {

class LoopTimer final : public HostTimer {
 public:
  LoopTimer(RunLoop& loop, std::function<void()> task)
      : loop_(loop), task_(std::make_shared<std::function<void()>>(std::move(task))),
        generation_(std::make_shared<std::uint64_t>(0)) {}

  void delay(std::chrono::milliseconds delay) override {
    ++*generation_;
    loop_.schedule(RunLoop::Clock::now() + delay, RunLoop::TimerEntry{task_, *generation_, generation_});
  }
  void cancel() override { ++*generation_; }

 private:
  RunLoop& loop_;
  std::shared_ptr<std::function<void()>> task_;
  std::shared_ptr<std::uint64_t> generation_;
};

}  // namespace

std::unique_ptr<HostTimer> RunLoopTimers::createTimer(std::function<void()> task) {
  return std::make_unique<LoopTimer>(loop_, std::move(task));
}

}  // namespace tw
