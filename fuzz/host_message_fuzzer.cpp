#include "fuzz_target.hpp"
#include "host_message_driver.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tw::fuzzing::runFuzzInput(tw::fuzzing::runHostMessageInput, data, size);
}
