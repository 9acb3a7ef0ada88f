#include "host/main_thread.hpp"

namespace tw {

void DeferredTasks::post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  if (requestDrain_) requestDrain_();
}

void DeferredTasks::drain() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(tasks_);
  }
  for (auto& task : batch) {
    try {
      task();
    } catch (...) {
      // Nothing may escape into the host's event loop.
    }
  }
}

void DeferredTasks::discard() {
  std::lock_guard lock(mutex_);
  tasks_.clear();
}

std::size_t DeferredTasks::pending() const {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}

}  // namespace tw
