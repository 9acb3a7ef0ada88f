// The two corpus files: round trips, and rejection of short, truncated and corrupt files.
#include <gtest/gtest.h>

#include <random>

#include "generation/continuation_corpus.hpp"
#include "generation/corpus_format.hpp"
#include "generation/corpus_loading.hpp"
#include "generation/progression_corpus.hpp"

namespace tw {
namespace {

ProgressionCorpus sampleProgressions() {
  ProgressionCorpus c;
  c.add("popedm", {{"I", "V", "vi", "IV"}, {false, false}, 120});
  c.add("popedm", {{"vi", "IV", "I", "V"}, {false, false}, 80});
  c.add("popedm", {{"i", "♭VI", "♭III", "♭VII"}, {true, false}, 7});
  c.add("jazzneosoul", {{"iim7", "V7", "Imaj7", "vim7", "iim7", "V7"}, {false, false}, 3});
  c.add("classical", {{"i", "iv", "V", "i", "VI", "iiø", "V7", "i"}, {true, true}, 1});
  c.add("classical", {{"I", "IV/I", "V/II", "I"}, {false, false}, 9});
  return c;
}

ContinuationCorpus sampleContinuations() {
  ContinuationCorpus c;
  c.set("I", {{"IV", quantizedProbability(0.4f)},
              {"V", quantizedProbability(0.35f)},
              {"vi", quantizedProbability(0.25f)}});
  c.set("V7", {{"I", quantizedProbability(0.9f)}, {"vi", quantizedProbability(0.1f)}});
  c.set("♭VII", {{"I", quantizedProbability(1.0f)}});
  return c;
}

TEST(CorpusFiles, ProgressionRoundTrip) {
  auto corpus = sampleProgressions();
  auto bytes = encodeProgressionCorpus(corpus);
  auto back = decodeProgressionCorpus(bytes);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, corpus);
  ASSERT_NE(back->find("popedm", 4), nullptr);
  EXPECT_EQ(back->find("popedm", 4)->size(), 3u);
  EXPECT_EQ(back->find("popedm", 6), nullptr);
  EXPECT_EQ(back->find("rock", 4), nullptr);
}

TEST(CorpusFiles, ProgressionVersionOneKeepsNumeralsAndMinorFlag) {
  auto corpus = sampleProgressions();
  auto back = decodeProgressionCorpus(encodeProgressionCorpus(corpus, 1));
  ASSERT_TRUE(back.has_value());
  const auto* eight = back->find("classical", 8);
  ASSERT_NE(eight, nullptr);
  EXPECT_EQ((*eight)[0].numerals, (std::vector<std::string>{"i", "iv", "V", "i", "VI", "iiø", "V7", "i"}));
  EXPECT_TRUE((*eight)[0].mode.minor);
  EXPECT_FALSE((*eight)[0].mode.melodic);  // version 1 has no scale type
  EXPECT_EQ((*eight)[0].occurrences, 0);
}

TEST(CorpusFiles, ContinuationRoundTripKeepsRankAndProbabilities) {
  auto corpus = sampleContinuations();
  auto back = decodeContinuationCorpus(encodeContinuationCorpus(corpus));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, corpus);
  auto top = back->continuations("I", 2);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[0].numeral, "IV");
  EXPECT_EQ(top[1].numeral, "V");
  EXPECT_NEAR(top[0].probability, 0.4f, 1e-4);
  EXPECT_TRUE(back->continuations("ii", 5).empty());
  EXPECT_EQ(back->continuations("V7", 12).size(), 2u);
}

TEST(CorpusFiles, FilesAreScrambledNotPlain) {
  auto bytes = encodeProgressionCorpus(sampleProgressions());
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_NE(std::string(bytes.begin(), bytes.begin() + 4), "TWLP");
  std::vector<std::uint8_t> plain = bytes;
  scrambleCorpusBytes(plain, CorpusFileKind::progressions);
  EXPECT_EQ(std::string(plain.begin(), plain.begin() + 4), "TWLP");
  // The two files have different keys.
  EXPECT_NE(corpusScrambleKey(CorpusFileKind::progressions),
            corpusScrambleKey(CorpusFileKind::continuations));
}

TEST(CorpusFiles, ScrambleMixesThePositionHighByte) {
  std::vector<std::uint8_t> zeros(600, 0);
  scrambleCorpusBytes(zeros, CorpusFileKind::continuations);
  const auto& key = corpusScrambleKey(CorpusFileKind::continuations);
  EXPECT_EQ(zeros[3], key[3]);
  EXPECT_EQ(zeros[256 + 3], static_cast<std::uint8_t>(key[3] ^ 1));
  EXPECT_EQ(zeros[512 + 70], static_cast<std::uint8_t>(key[6] ^ 2));
}

TEST(CorpusFiles, ShortFilesAreRejected) {
  for (std::size_t n = 0; n < 12; ++n) {
    std::vector<std::uint8_t> bytes(n, 0x41);
    EXPECT_FALSE(decodeProgressionCorpus(bytes).has_value()) << n;
    EXPECT_FALSE(decodeContinuationCorpus(bytes).has_value()) << n;
  }
}

TEST(CorpusFiles, EveryTruncationIsRejected) {
  auto pc = encodeProgressionCorpus(sampleProgressions());
  for (std::size_t n = 0; n < pc.size(); ++n)
    EXPECT_FALSE(decodeProgressionCorpus(std::span(pc).first(n)).has_value()) << n;
  auto cc = encodeContinuationCorpus(sampleContinuations());
  for (std::size_t n = 0; n < cc.size(); ++n)
    EXPECT_FALSE(decodeContinuationCorpus(std::span(cc).first(n)).has_value()) << n;
}

TEST(CorpusFiles, WrongKindOrAppendedBytesAreRejected) {
  auto pc = encodeProgressionCorpus(sampleProgressions());
  auto cc = encodeContinuationCorpus(sampleContinuations());
  EXPECT_FALSE(decodeContinuationCorpus(pc).has_value());
  EXPECT_FALSE(decodeProgressionCorpus(cc).has_value());
  pc.push_back(0);
  EXPECT_FALSE(decodeProgressionCorpus(pc).has_value());
}

// Builds a file whose checksum is right but whose structure is not, to reach the structural
// checks behind the checksum.
std::vector<std::uint8_t> sealed(std::vector<std::uint8_t> plain, CorpusFileKind kind) {
  CorpusWriter w;
  for (auto b : plain) w.u8(b);
  return std::move(w).finish(kind);
}

std::vector<std::uint8_t> unsealed(std::vector<std::uint8_t> file, CorpusFileKind kind) {
  scrambleCorpusBytes(file, kind);
  file.resize(file.size() - kCorpusChecksumSize);
  return file;
}

TEST(CorpusFiles, StructuralCorruptionBehindAValidChecksumIsRejected) {
  auto plain = unsealed(encodeProgressionCorpus(sampleProgressions()), CorpusFileKind::progressions);
  ASSERT_TRUE(decodeProgressionCorpus(sealed(plain, CorpusFileKind::progressions)).has_value());
  auto badVersion = plain;
  badVersion[4] = 3;
  EXPECT_FALSE(decodeProgressionCorpus(sealed(badVersion, CorpusFileKind::progressions)));
  auto hugeCount = plain;
  hugeCount[6] = 0xFF;
  hugeCount[7] = 0xFF;
  EXPECT_FALSE(decodeProgressionCorpus(sealed(hugeCount, CorpusFileKind::progressions)));
  auto trailing = plain;
  trailing.push_back(1);
  EXPECT_FALSE(decodeProgressionCorpus(sealed(trailing, CorpusFileKind::progressions)));

  auto cplain = unsealed(encodeContinuationCorpus(sampleContinuations()), CorpusFileKind::continuations);
  ASSERT_TRUE(decodeContinuationCorpus(sealed(cplain, CorpusFileKind::continuations)).has_value());
  auto version2 = cplain;
  version2[4] = 2;
  EXPECT_FALSE(decodeContinuationCorpus(sealed(version2, CorpusFileKind::continuations)));
}

// Random mutations of structure bytes behind a valid checksum: never a crash, and a file
// that decodes must re-encode to exactly the same content model it read.
TEST(CorpusFiles, FuzzedStructuresNeverCrashAndNeverReadHalfway) {
  std::mt19937 rng(20261207);
  auto pplain = unsealed(encodeProgressionCorpus(sampleProgressions()), CorpusFileKind::progressions);
  auto cplain = unsealed(encodeContinuationCorpus(sampleContinuations()), CorpusFileKind::continuations);
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    bool progressions = round % 2 == 0;
    auto bytes = progressions ? pplain : cplain;
    int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      switch (rng() % 4) {
        case 0: bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng()); break;
        case 1: bytes[rng() % bytes.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;
        case 2: bytes.resize(rng() % bytes.size()); break;
        default: bytes.insert(bytes.begin() + static_cast<long>(rng() % bytes.size()),
                              static_cast<std::uint8_t>(rng()));
      }
      if (bytes.empty()) bytes.push_back(0);
    }
    if (progressions) {
      auto file = sealed(bytes, CorpusFileKind::progressions);
      auto decoded = decodeProgressionCorpus(file);
      if (decoded) {
        ++accepted;
        EXPECT_EQ(decodeProgressionCorpus(encodeProgressionCorpus(*decoded)), decoded);
      }
      // The raw mutation without a fresh checksum is always rejected.
      auto raw = bytes;
      scrambleCorpusBytes(raw, CorpusFileKind::progressions);
      EXPECT_FALSE(decodeProgressionCorpus(raw).has_value());
    } else {
      auto decoded = decodeContinuationCorpus(sealed(bytes, CorpusFileKind::continuations));
      if (decoded) {
        ++accepted;
        EXPECT_EQ(decodeContinuationCorpus(encodeContinuationCorpus(*decoded)), decoded);
      }
    }
  }
  // Most mutations break the structure; the few that survive are changed texts.
  EXPECT_LT(accepted, 1500);
}

TEST(CorpusFiles, FlippedBytesInAFinishedFileAreRejected) {
  auto pc = encodeProgressionCorpus(sampleProgressions());
  auto cc = encodeContinuationCorpus(sampleContinuations());
  for (std::size_t i = 0; i < pc.size(); ++i) {
    auto copy = pc;
    copy[i] ^= 0x10;
    EXPECT_FALSE(decodeProgressionCorpus(copy).has_value()) << i;
  }
  for (std::size_t i = 0; i < cc.size(); ++i) {
    auto copy = cc;
    copy[i] ^= 0x01;
    EXPECT_FALSE(decodeContinuationCorpus(copy).has_value()) << i;
  }
}

TEST(CorpusLoading, ARejectedLoadLeavesTheCorpusEmpty) {
  auto pc = encodeProgressionCorpus(sampleProgressions());
  auto cc = encodeContinuationCorpus(sampleContinuations());
  ASSERT_TRUE(loadProgressionCorpus(pc));
  ASSERT_TRUE(loadContinuationCorpus(cc));
  EXPECT_FALSE(progressionCorpus().empty());
  EXPECT_FALSE(continuationCorpus().empty());
  pc.pop_back();
  cc[9] ^= 0xFF;
  EXPECT_FALSE(loadProgressionCorpus(pc));
  EXPECT_FALSE(loadContinuationCorpus(cc));
  EXPECT_TRUE(progressionCorpus().empty());
  EXPECT_TRUE(continuationCorpus().empty());
  EXPECT_FALSE(loadContinuationCorpus({}));
}

TEST(CorpusFiles, GenreKeysKeepLettersAndDigitsOnly) {
  EXPECT_EQ(genreKeyOf("Pop + EDM"), "popedm");
  EXPECT_EQ(genreKeyOf("Jazz + Neo Soul"), "jazzneosoul");
  EXPECT_EQ(genreKeyOf("jazz neo-soul"), "jazzneosoul");
  EXPECT_EQ(genreKeyOf("Rock 80s!"), "rock80s");
  EXPECT_EQ(genreKeyOf(""), "");
}

}  // namespace
}  // namespace tw
