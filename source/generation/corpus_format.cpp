#include "generation/corpus_format.hpp"

namespace tw {

namespace {
#include "corpus_scramble_keys.inc"

// splitmix64: spreads the 64-bit seed over the 64 key bytes.
std::uint64_t mixStep(std::uint64_t& state) {
  state += 0x9e3779b97f4a7c15ULL;
  std::uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

std::array<std::uint8_t, kCorpusKeySize> deriveKey(const std::array<std::uint8_t, 64>& base,
                                                   std::uint64_t seed) {
  std::array<std::uint8_t, kCorpusKeySize> key{};
  std::uint64_t state = seed;
  for (std::size_t i = 0; i < key.size(); ++i)
    key[i] = static_cast<std::uint8_t>(base[i] ^ (mixStep(state) >> 56));
  return key;
}
}  // namespace

const std::array<std::uint8_t, kCorpusKeySize>& corpusScrambleKey(CorpusFileKind kind) {
  static const auto progressionKey = deriveKey(kProgressionKeyBase, kProgressionKeySeed);
  static const auto continuationKey = deriveKey(kContinuationKeyBase, kContinuationKeySeed);
  return kind == CorpusFileKind::progressions ? progressionKey : continuationKey;
}

void scrambleCorpusBytes(std::span<std::uint8_t> bytes, CorpusFileKind kind) {
  const auto& key = corpusScrambleKey(kind);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(bytes[i] ^ ((i >> 8) & 0xFF) ^ key[i % kCorpusKeySize]);
}

std::uint32_t corpusChecksum(std::span<const std::uint8_t> bytes) {
  std::uint32_t hash = 2166136261u;
  for (std::uint8_t b : bytes) {
    hash ^= b;
    hash *= 16777619u;
  }
  return hash;
}

void CorpusWriter::u16(std::uint16_t value) {
  bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
  bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void CorpusWriter::u32(std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    bytes_.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
}

void CorpusWriter::shortText(std::string_view text) {
  u8(static_cast<std::uint8_t>(text.size()));
  raw(text);
}

void CorpusWriter::raw(std::string_view text) {
  for (char c : text) bytes_.push_back(static_cast<std::uint8_t>(c));
}

std::vector<std::uint8_t> CorpusWriter::finish(CorpusFileKind kind) && {
  u32(corpusChecksum(bytes_));
  scrambleCorpusBytes(bytes_, kind);
  return std::move(bytes_);
}

std::uint8_t CorpusReader::u8() {
  if (failed_ || position_ >= bytes_.size()) {
    failed_ = true;
    return 0;
  }
  return bytes_[position_++];
}

std::uint16_t CorpusReader::u16() {
  std::uint16_t low = u8();
  std::uint16_t high = u8();
  return static_cast<std::uint16_t>(low | (high << 8));
}

std::uint32_t CorpusReader::u32() {
  std::uint32_t value = 0;
  for (int shift = 0; shift < 32; shift += 8) value |= static_cast<std::uint32_t>(u8()) << shift;
  return value;
}

std::string CorpusReader::shortText() {
  std::size_t length = u8();
  if (failed_ || length > bytes_.size() - position_) {
    failed_ = true;
    return {};
  }
  std::string text(reinterpret_cast<const char*>(bytes_.data() + position_), length);
  position_ += length;
  return text;
}

bool CorpusReader::expect(std::string_view magic) {
  for (char c : magic)
    if (u8() != static_cast<std::uint8_t>(c)) failed_ = true;
  return !failed_;
}

bool unscrambleAndVerify(std::span<const std::uint8_t> file, CorpusFileKind kind,
                         std::vector<std::uint8_t>& body) {
  body.clear();
  if (file.size() < kCorpusMinimumSize + kCorpusChecksumSize) return false;
  std::vector<std::uint8_t> plain(file.begin(), file.end());
  scrambleCorpusBytes(plain, kind);
  std::size_t bodySize = plain.size() - kCorpusChecksumSize;
  CorpusReader tail(std::span<const std::uint8_t>(plain).subspan(bodySize));
  std::uint32_t stored = tail.u32();
  if (stored != corpusChecksum(std::span<const std::uint8_t>(plain).first(bodySize))) return false;
  plain.resize(bodySize);
  body = std::move(plain);
  return true;
}

bool isStorableText(std::string_view text) {
  if (text.empty() || text.size() > 255) return false;
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7F) return false;
  }
  return true;
}

}  // namespace tw
