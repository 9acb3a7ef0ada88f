#include "generation/random_source.hpp"


namespace tw {

namespace {
struct RandomState {
  std::unique_ptr<RandomSource> installed;
  SystemRandomSource system;
  std::mt19937 engine;
  bool engineSeeded = false;
};

RandomState& state() {
  static RandomState s;
  return s;
}
}  // namespace

std::uint32_t SystemRandomSource::next() {
  // The system's random device, through the standard library (getrandom or /dev/urandom).
  static std::random_device device;
  return static_cast<std::uint32_t>(device());
}

RandomSource& randomSource() {
  auto& s = state();
  if (s.installed) return *s.installed;
  return s.system;
}

void installRandomSource(std::unique_ptr<RandomSource> source) {
  auto& s = state();
  s.installed = std::move(source);
  s.engineSeeded = false;
}

std::mt19937 freshEngine() { return std::mt19937(randomSource().next()); }

std::mt19937& processEngine() {
  auto& s = state();
  if (!s.engineSeeded) {
    s.engine.seed(randomSource().next());
    s.engineSeeded = true;
  }
  return s.engine;
}

double uniformUnit(std::mt19937& engine) {
  return static_cast<double>(static_cast<std::uint32_t>(engine())) * 2.3283064365386963e-10;
}

ScopedRandomSeed::ScopedRandomSeed(std::uint32_t seed) {
  installRandomSource(std::make_unique<SeededRandomSource>(seed));
}

ScopedRandomSeed::~ScopedRandomSeed() { installRandomSource(nullptr); }

}  // namespace tw
