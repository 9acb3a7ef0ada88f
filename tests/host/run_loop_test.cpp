// The host main thread of our own: tasks in order on one thread, timers at wall-clock times.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "host/run_loop.hpp"

namespace tw {
namespace {

using namespace std::chrono_literals;

void drain(RunLoop& loop) {
  std::promise<void> done;
  ASSERT_TRUE(loop.post([&] { done.set_value(); }));
  done.get_future().wait();
}

TEST(RunLoop, RunsTasksInOrderOnItsOwnThread) {
  RunLoop loop;
  std::vector<int> order;
  std::thread::id seen;
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(loop.post([&, i] {
      order.push_back(i);
      seen = std::this_thread::get_id();
    }));
  drain(loop);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_NE(seen, std::this_thread::get_id());
  EXPECT_FALSE(loop.onLoopThread());
}

TEST(RunLoop, RefusesTasksBeyondItsLimitAndAfterStopping) {
  RunLoop loop(2);
  std::promise<void> started, release;
  std::shared_future<void> gate = release.get_future().share();
  ASSERT_TRUE(loop.post([&started, gate] {
    started.set_value();
    gate.wait();
  }));
  started.get_future().wait();  // running, no longer queued
  std::promise<void> secondRan;
  EXPECT_TRUE(loop.post([] {}));
  EXPECT_TRUE(loop.post([&] { secondRan.set_value(); }));
  EXPECT_FALSE(loop.post([] {}));
  EXPECT_EQ(loop.queuedTasks(), 2u);
  release.set_value();
  secondRan.get_future().wait();

  // A task dropped by stop() is destroyed unrun, so whoever waits on it is released.
  std::promise<void> holding, unblock;
  std::shared_future<void> hold = unblock.get_future().share();
  ASSERT_TRUE(loop.post([&holding, hold] {
    holding.set_value();
    hold.wait();
  }));
  holding.get_future().wait();
  auto dropped = std::make_shared<std::promise<void>>();
  auto future = dropped->get_future();
  ASSERT_TRUE(loop.post([dropped] { dropped->set_value(); }));
  dropped.reset();
  loop.stop();
  unblock.set_value();
  EXPECT_THROW(future.get(), std::future_error);
  EXPECT_FALSE(loop.post([] {}));
}

TEST(RunLoopTimers, FireOnceOnTheLoopAfterTheirDelay) {
  RunLoop loop;
  RunLoopTimers timers(loop);
  std::atomic<int> fired{0};
  std::unique_ptr<HostTimer> timer;
  const auto start = std::chrono::steady_clock::now();
  std::promise<std::chrono::steady_clock::duration> firedAt;
  loop.post([&] {
    timer = timers.createTimer([&] {
      if (fired.fetch_add(1) == 0) firedAt.set_value(std::chrono::steady_clock::now() - start);
    });
    timer->delay(50ms);
  });
  const auto elapsed = firedAt.get_future().get();
  EXPECT_GE(elapsed, 50ms);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(fired.load(), 1);
  loop.post([&] { timer.reset(); });
  drain(loop);
}

TEST(RunLoopTimers, SettingAgainMovesTheTimeAndCancelOrDestroyStopsIt) {
  RunLoop loop;
  RunLoopTimers timers(loop);
  std::atomic<int> moved{0}, cancelled{0}, destroyed{0};
  std::unique_ptr<HostTimer> a, b, c;
  loop.post([&] {
    a = timers.createTimer([&] { ++moved; });
    b = timers.createTimer([&] { ++cancelled; });
    c = timers.createTimer([&] { ++destroyed; });
    a->delay(10ms);
    a->delay(40ms);  // replaces the first setting: one firing only
    b->delay(10ms);
    b->cancel();
    c->delay(10ms);
    c.reset();
  });
  std::this_thread::sleep_for(150ms);
  drain(loop);
  EXPECT_EQ(moved.load(), 1);
  EXPECT_EQ(cancelled.load(), 0);
  EXPECT_EQ(destroyed.load(), 0);
  loop.post([&] {
    a.reset();
    b.reset();
  });
  drain(loop);
}

}  // namespace
}  // namespace tw
