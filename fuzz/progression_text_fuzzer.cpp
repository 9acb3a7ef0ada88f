#include "fuzz_target.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tw::fuzzing::runFuzzInput(tw::fuzzing::runProgressionTextInput, data, size);
}
