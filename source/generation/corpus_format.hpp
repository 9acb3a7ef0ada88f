#pragma once
// The byte-level machinery shared by the two corpus files: the scramble both are stored
// under, little-endian readers and writers with bounds checks, and the trailing checksum.
//
// Both files are stored scrambled: byte i is XORed with the low byte of (i >> 8) and with
// byte (i mod 64) of the file's own 64-byte key. Scrambling is its own inverse.
// Unscrambled, every file is a 4-byte magic, a 16-bit version, a 16-bit count, a body of its
// own (see progression_corpus.hpp and continuation_corpus.hpp) and a 32-bit FNV-1a checksum
// of everything before it. Integers are little-endian.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class CorpusFileKind { progressions, continuations };

inline constexpr std::size_t kCorpusKeySize = 64;
// Magic, version and count: anything shorter cannot be a corpus file.
inline constexpr std::size_t kCorpusMinimumSize = 8;
inline constexpr std::size_t kCorpusChecksumSize = 4;

// The file's 64-byte key, derived from its stored constants on first use.
const std::array<std::uint8_t, kCorpusKeySize>& corpusScrambleKey(CorpusFileKind kind);

// Scrambles or unscrambles in place (the same operation both ways).
void scrambleCorpusBytes(std::span<std::uint8_t> bytes, CorpusFileKind kind);

std::uint32_t corpusChecksum(std::span<const std::uint8_t> bytes);

// Appends little-endian integers and length-prefixed texts.
class CorpusWriter {
 public:
  void u8(std::uint8_t value) { bytes_.push_back(value); }
  void u16(std::uint16_t value);
  void u32(std::uint32_t value);
  // One length byte and the bytes; the caller keeps texts within 255 bytes.
  void shortText(std::string_view text);
  void raw(std::string_view text);

  // Appends the checksum and scrambles: the finished file.
  std::vector<std::uint8_t> finish(CorpusFileKind kind) &&;

 private:
  std::vector<std::uint8_t> bytes_;
};

// Reads from unscrambled bytes. A read past the end sets the failure flag and yields zero or
// an empty text; callers check failed() once the structure is read, so a truncated file can
// never be read as a shorter valid one.
class CorpusReader {
 public:
  explicit CorpusReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t u8();
  std::uint16_t u16();
  std::uint32_t u32();
  std::string shortText();
  bool expect(std::string_view magic);

  void fail() { failed_ = true; }
  bool failed() const { return failed_; }
  std::size_t remaining() const { return failed_ ? 0 : bytes_.size() - position_; }
  bool atEnd() const { return !failed_ && position_ == bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

// Unscrambles a whole file and checks its size and checksum. Returns the body (magic to the
// last byte before the checksum), or nothing when the file is too short or the checksum
// disagrees.
bool unscrambleAndVerify(std::span<const std::uint8_t> file, CorpusFileKind kind,
                         std::vector<std::uint8_t>& body);

// A stored numeral or genre key: 1..255 bytes, no control characters, no space.
bool isStorableText(std::string_view text);

}  // namespace tw
