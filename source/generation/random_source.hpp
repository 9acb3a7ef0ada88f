#pragma once
// Where generation and shuffled suggestions get their seeds: the system's random device in
// production, a seeded deterministic sequence in tests.
#include <cstdint>
#include <memory>
#include <random>

namespace tw {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // One fresh 32-bit seed value.
  virtual std::uint32_t next() = 0;
};

// Reads "/dev/urandom"; falls back to the standard random device when it cannot be read.
class SystemRandomSource final : public RandomSource {
 public:
  std::uint32_t next() override;
};

// A repeatable sequence of seed values from a fixed seed.
class SeededRandomSource final : public RandomSource {
 public:
  explicit SeededRandomSource(std::uint32_t seed) : engine_(seed) {}
  std::uint32_t next() override { return static_cast<std::uint32_t>(engine_()); }

 private:
  std::mt19937 engine_;
};

// The process-wide source (the system device unless one was installed).
RandomSource& randomSource();

// Installs a source for the whole process (tests and the command's --seed); nullptr restores
// the system device. Either way the process-wide engine is seeded afresh on its next use.
void installRandomSource(std::unique_ptr<RandomSource> source);

// A fresh engine seeded with one value from the process-wide source.
std::mt19937 freshEngine();

// The process-wide engine, seeded once on first use from the process-wide source.
std::mt19937& processEngine();

// The engine's next output times 2^-32: a uniform float in [0, 1).
double uniformUnit(std::mt19937& engine);

// Installs a seeded source for the lifetime of the guard.
class ScopedRandomSeed {
 public:
  explicit ScopedRandomSeed(std::uint32_t seed);
  ~ScopedRandomSeed();
  ScopedRandomSeed(const ScopedRandomSeed&) = delete;
  ScopedRandomSeed& operator=(const ScopedRandomSeed&) = delete;
};

}  // namespace tw
