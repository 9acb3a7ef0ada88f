#include "api/guarded_call.hpp"

namespace tonalweaver::internal {

std::mutex& engineLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace tonalweaver::internal
