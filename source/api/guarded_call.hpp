#pragma once
// How every call of the library runs: one at a time under the process-wide engine lock, with
// any exception turned into a failed Result, so that none reaches the caller.
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

#include "tonalweaver/result.hpp"

namespace tonalweaver::internal {

// The engine's caches, corpora and random engines are shared by the process and unlocked;
// the library's calls take turns on this lock.
std::mutex& engineLock();

// Thrown by the library's own code for input it cannot use; the text is the failure's.
[[noreturn]] inline void fail(std::string message) { throw std::runtime_error(std::move(message)); }

template <typename Body>
auto guardedCall(Body&& body) -> Result<decltype(body())> {
  using Value = decltype(body());
  try {
    const std::lock_guard<std::mutex> lock(engineLock());
    return Result<Value>(body());
  } catch (const std::exception& failure) {
    return Result<Value>::failure(failure.what());
  } catch (...) {
    return Result<Value>::failure("internal error");
  }
}

}  // namespace tonalweaver::internal
