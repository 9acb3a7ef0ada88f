#pragma once
// The libFuzzer side of a target: run the driver and stop the run on the first broken
// property, so the input is kept as a finding just like a crash.
#include <cstdio>
#include <cstdlib>

#include "entry_drivers.hpp"

namespace tw::fuzzing {

template <typename Driver>
int runFuzzInput(Driver driver, const std::uint8_t* data, std::size_t size) {
  Violations found;
  driver(Bytes(data, size), found);
  if (!found.empty()) {
    std::fprintf(stderr, "\n== property violated ==\n%s", found.text().c_str());
    std::abort();
  }
  return 0;
}

}  // namespace tw::fuzzing
