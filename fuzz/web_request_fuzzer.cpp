#include "fuzz_target.hpp"
#include "web_request_driver.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tw::fuzzing::runFuzzInput(tw::fuzzing::runWebRequestInput, data, size);
}
