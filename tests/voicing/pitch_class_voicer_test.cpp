// The pitch-class-set voicer: exact enumeration order, filters, errors and the LRU cache.
#include "voicing/pitch_class_voicer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

namespace tw {
namespace {

std::vector<std::vector<int>> notesOf(const VoicerResult& result) {
  std::vector<std::vector<int>> out;
  for (const Voicing& v : *result.candidates) out.push_back(v.toVector());
  return out;
}

VoicerRequest triad() {
  VoicerRequest r;
  r.pitchClasses = {0, 4, 7};
  r.octaveLow = 0;
  r.octaveHigh = 0;
  r.low = 60;
  r.high = 72;
  r.minSpan = 0;
  r.maxSpan = 12;
  r.bassMask = 0x0FFF;
  return r;
}

class VoicerTest : public ::testing::Test {
 protected:
  void SetUp() override { clearCandidateCache(); }
  void TearDown() override { clearCandidateCache(); }
};

TEST_F(VoicerTest, SingleOctaveTriadHasOneVoicing) {
  auto result = voice(triad());
  EXPECT_FALSE(result.cacheHit);
  EXPECT_EQ(notesOf(result), (std::vector<std::vector<int>>{{60, 64, 67}}));
}

TEST_F(VoicerTest, TwoOctavesGiveFourVoicingsInPlacementOrder) {
  VoicerRequest r = triad();
  r.octaveHigh = 1;
  r.high = 84;
  EXPECT_EQ(notesOf(voice(r)), (std::vector<std::vector<int>>{
                                   {60, 64, 67}, {64, 67, 72}, {67, 72, 76}, {72, 76, 79}}));
}

TEST_F(VoicerTest, FixedBassStartsEveryVoicingOnIt) {
  VoicerRequest r = triad();
  r.octaveLow = -1;
  r.octaveHigh = 1;
  r.low = 48;
  r.high = 84;
  r.fixedBass = 4;
  auto result = voice(r);
  ASSERT_FALSE(result.candidates->empty());
  std::set<int> basses;
  for (const Voicing& v : *result.candidates) {
    EXPECT_EQ(v.front() % 12, 4);
    basses.insert(v.front());
  }
  // An E on 76 would need a C from a base above the octave range.
  EXPECT_EQ(basses, (std::set<int>{52, 64}));
  // Basses ascend through the list.
  EXPECT_TRUE(std::is_sorted(result.candidates->begin(), result.candidates->end(),
                             [](const Voicing& a, const Voicing& b) { return a.front() < b.front(); }));
}

TEST_F(VoicerTest, LoneFixedBassYieldsOneVoicingPerBassOnlyWithZeroMinSpan) {
  VoicerRequest r;
  r.pitchClasses = {5};
  r.fixedBass = 5;
  r.octaveLow = -1;
  r.octaveHigh = 1;
  r.low = 0;
  r.high = 127;
  r.minSpan = 0;
  r.maxSpan = 24;
  EXPECT_EQ(notesOf(voice(r)), (std::vector<std::vector<int>>{{53}, {65}, {77}}));
  r.minSpan = 1;
  EXPECT_TRUE(voice(r).candidates->empty());
}

TEST_F(VoicerTest, NoteCountRangeDoublesPitchClasses) {
  VoicerRequest r = triad();
  r.octaveLow = -1;
  r.octaveHigh = 1;
  r.low = 36;
  r.high = 96;
  r.maxSpan = 36;
  r.useNoteCountRange = true;
  r.minNotes = 5;
  r.maxNotes = 5;
  auto result = voice(r);
  ASSERT_FALSE(result.candidates->empty());
  std::set<std::vector<int>> seen;
  for (const Voicing& v : *result.candidates) {
    ASSERT_EQ(v.size(), 5u);
    std::set<int> pcs;
    for (int n : v) pcs.insert(n % 12);
    EXPECT_EQ(pcs, (std::set<int>{0, 4, 7}));
    EXPECT_TRUE(std::adjacent_find(v.begin(), v.end(), std::greater_equal<>()) == v.end());
    EXPECT_TRUE(seen.insert(v.toVector()).second) << "duplicate voicing";
  }
}

TEST_F(VoicerTest, MaxNotesBelowSetSizeFailsOnlyWithNoteCountRange) {
  VoicerRequest r = triad();
  r.useNoteCountRange = true;
  r.maxNotes = 2;
  try {
    voice(r);
    FAIL() << "expected an error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(),
                 "cannot voice this pitch-class set with requested maxNotes without omitting "
                 "pitch classes");
  }
  r.useNoteCountRange = false;
  EXPECT_EQ(voice(r).candidates->size(), 1u);
}

TEST_F(VoicerTest, ErrorMessages) {
  struct Case {
    VoicerRequest request;
    const char* message;
  };
  VoicerRequest empty = triad();
  empty.pitchClasses.clear();
  VoicerRequest missingBass = triad();
  missingBass.fixedBass = 2;
  for (const Case& c : {Case{empty, "empty pitch-class set not permitted"},
                        Case{missingBass, "fixed bass pitch class missing from pitch-class set"}}) {
    try {
      voice(c.request);
      ADD_FAILURE() << "expected " << c.message;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  // Nothing is cached for a failed request.
  EXPECT_THROW(voice(empty), std::runtime_error);
}

TEST_F(VoicerTest, EmptyRangesAreNotErrors) {
  VoicerRequest r = triad();
  r.octaveLow = 1;
  r.octaveHigh = 0;
  EXPECT_TRUE(voice(r).candidates->empty());
  r = triad();
  r.low = 80;
  r.high = 70;
  EXPECT_TRUE(voice(r).candidates->empty());
  r = triad();
  r.minSpan = 20;
  EXPECT_TRUE(voice(r).candidates->empty());
}

TEST_F(VoicerTest, TopNoteAndRequiredNotesFilterInOrder) {
  VoicerRequest r = triad();
  r.octaveHigh = 1;
  r.high = 84;
  r.topNote = 72;
  EXPECT_EQ(notesOf(voice(r)), (std::vector<std::vector<int>>{{64, 67, 72}}));
  r.topNote.reset();
  r.requiredNotes = {67};
  EXPECT_EQ(notesOf(voice(r)),
            (std::vector<std::vector<int>>{{60, 64, 67}, {64, 67, 72}, {67, 72, 76}}));
  r.requiredNotes = {200};
  EXPECT_TRUE(voice(r).candidates->empty());
}

TEST_F(VoicerTest, BassMaskFiltersLowestNote) {
  VoicerRequest r = triad();
  r.octaveHigh = 1;
  r.high = 84;
  r.bassMask = (1 << 4) | (1 << 7);
  EXPECT_EQ(notesOf(voice(r)), (std::vector<std::vector<int>>{{64, 67, 72}, {67, 72, 76}}));
}

TEST_F(VoicerTest, ExtremeBoundsNeverLeaveMidiRange) {
  VoicerRequest r = triad();
  r.octaveLow = -1000000000;
  r.octaveHigh = 1000000000;
  r.low = -500;
  r.high = 5000;
  r.maxSpan = 12;
  auto result = voice(r);
  ASSERT_FALSE(result.candidates->empty());
  for (const Voicing& v : *result.candidates) {
    EXPECT_GE(v.front(), 0);
    EXPECT_LE(v.back(), 127);
  }
  r.pitchClasses = {-1, 13, 4};  // wrapped into 11, 1, 4
  EXPECT_NO_THROW(voice(r));
}

TEST_F(VoicerTest, SecondRequestIsACacheHitWithTheSameList) {
  auto first = voice(triad());
  auto second = voice(triad());
  EXPECT_FALSE(first.cacheHit);
  EXPECT_TRUE(second.cacheHit);
  EXPECT_EQ(first.candidates.get(), second.candidates.get());
}

TEST_F(VoicerTest, EntryIsEvictedAfter256OtherRequests) {
  auto first = voice(triad());
  for (int i = 0; i < 256; ++i) {
    VoicerRequest other = triad();
    other.minNotes = 100 + i;  // part of the key, no effect without a note-count range
    EXPECT_FALSE(voice(other).cacheHit);
  }
  auto again = voice(triad());
  EXPECT_FALSE(again.cacheHit);
  // The evicted list stays alive for its holder.
  EXPECT_EQ(notesOf(first), notesOf(again));
}

TEST_F(VoicerTest, RecentUseKeepsAnEntry) {
  voice(triad());
  for (int i = 0; i < 255; ++i) {
    VoicerRequest other = triad();
    other.minNotes = 100 + i;
    voice(other);
  }
  EXPECT_TRUE(voice(triad()).cacheHit);  // moved to the front
  VoicerRequest newcomer = triad();
  newcomer.minNotes = 1000;
  voice(newcomer);
  EXPECT_TRUE(voice(triad()).cacheHit);
}

TEST_F(VoicerTest, CallerOrderIsPartOfTheKey) {
  VoicerRequest a = triad();
  VoicerRequest b = triad();
  b.pitchClasses = {7, 0, 4};
  auto ra = voice(a);
  auto rb = voice(b);
  EXPECT_FALSE(rb.cacheHit);
  EXPECT_EQ(notesOf(ra), notesOf(rb));
  EXPECT_TRUE(voice(b).cacheHit);
}

TEST_F(VoicerTest, FixedBassIsNotPartOfTheKey) {
  VoicerRequest a = triad();
  a.pitchClasses = {4, 0, 7};
  voice(a);
  VoicerRequest b = a;
  b.fixedBass = 4;
  EXPECT_TRUE(voice(b).cacheHit);
}

// A literal transcription of the enumeration, with hash-set duplicate removal, to compare
// the optimised search against.
class ReferenceVoicer {
 public:
  explicit ReferenceVoicer(const VoicerRequest& r) : r_(r) {}

  std::vector<std::vector<int>> run() {
    std::vector<int> p;
    for (int pc : r_.pitchClasses) p.push_back(((pc % 12) + 12) % 12);
    std::sort(p.begin(), p.end());
    p.erase(std::unique(p.begin(), p.end()), p.end());
    const int k = static_cast<int>(p.size());
    for (int o = r_.octaveLow; o <= r_.octaveHigh; ++o) bases_.push_back(60 + 12 * o);
    auto lists = [&](const std::vector<int>& prefix, auto&& fn) {
      if (!r_.useNoteCountRange) {
        fn(prefix);
        return;
      }
      for (int n = std::max(k, r_.minNotes); n <= std::min(r_.maxNotes, 12); ++n) {
        std::vector<int> idx(static_cast<std::size_t>(n - k), 0);
        while (true) {
          std::vector<int> voices = prefix;
          for (int i : idx) voices.push_back(p[static_cast<std::size_t>(i)]);
          fn(voices);
          int pos = static_cast<int>(idx.size()) - 1;
          while (pos >= 0 && idx[static_cast<std::size_t>(pos)] == k - 1) --pos;
          if (pos < 0) break;
          int next = idx[static_cast<std::size_t>(pos)] + 1;
          for (std::size_t i = static_cast<std::size_t>(pos); i < idx.size(); ++i) idx[i] = next;
        }
      }
    };
    if (r_.fixedBass) {
      std::vector<int> u;
      for (int pc : p)
        if (pc != *r_.fixedBass) u.push_back(pc);
      lists(u, [&](const std::vector<int>& voices) {
        for (int base : bases_) {
          int bass = base + *r_.fixedBass;
          if (bass < r_.low || bass > r_.high) continue;
          if (voices.empty()) {
            if (r_.minSpan <= 0 && 0 <= r_.maxSpan) keep({bass});
            continue;
          }
          std::set<std::vector<int>> seen;
          search(voices, std::max(bass + 1, r_.low), r_.high, 0, r_.maxSpan, seen,
                 [&](const std::vector<int>& upper) {
                   int span = upper.back() - bass;
                   if (span < r_.minSpan || span > r_.maxSpan) return;
                   std::vector<int> full{bass};
                   full.insert(full.end(), upper.begin(), upper.end());
                   keep(full);
                 });
        }
      });
    } else {
      lists(p, [&](const std::vector<int>& voices) {
        std::set<std::vector<int>> seen;
        search(voices, r_.low, r_.high, r_.minSpan, r_.maxSpan, seen,
               [&](const std::vector<int>& notes) {
                 if (((r_.bassMask >> (notes.front() % 12)) & 1) == 0) return;
                 keep(notes);
               });
      });
    }
    return out_;
  }

 private:
  template <typename Emit>
  void search(const std::vector<int>& voices, int lo, int hi, int sMin, int sMax,
              std::set<std::vector<int>>& seen, Emit&& emit) {
    std::vector<int> chosen;
    std::vector<bool> taken(128, false);
    std::function<void(std::size_t, int, int)> rec = [&](std::size_t v, int mn, int mx) {
      if (v == voices.size()) {
        std::vector<int> sorted = chosen;
        std::sort(sorted.begin(), sorted.end());
        int span = sorted.back() - sorted.front();
        if (span < sMin || span > sMax) return;
        if (!seen.insert(sorted).second) return;
        emit(sorted);
        return;
      }
      for (int base : bases_) {
        int note = base + voices[v];
        if (note < lo || note > hi || note < 0 || note > 127 || taken[static_cast<std::size_t>(note)])
          continue;
        int nmn = std::min(mn, note), nmx = std::max(mx, note);
        if (nmx - nmn > sMax) continue;
        taken[static_cast<std::size_t>(note)] = true;
        chosen.push_back(note);
        rec(v + 1, nmn, nmx);
        chosen.pop_back();
        taken[static_cast<std::size_t>(note)] = false;
      }
    };
    rec(0, 127, 0);
  }

  void keep(const std::vector<int>& notes) {
    if (r_.topNote && notes.back() != *r_.topNote) return;
    for (int req : r_.requiredNotes)
      if (std::find(notes.begin(), notes.end(), req) == notes.end()) return;
    for (const auto& existing : out_)
      if (existing == notes) return;
    out_.push_back(notes);
  }

  const VoicerRequest& r_;
  std::vector<int> bases_;
  std::vector<std::vector<int>> out_;
};

TEST_F(VoicerTest, MatchesTheLiteralEnumerationOnRandomRequests) {
  std::mt19937 rng(20261207);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int trial = 0; trial < 300; ++trial) {
    VoicerRequest r;
    const int size = pick(1, 5);
    for (int i = 0; i < size; ++i) r.pitchClasses.push_back(pick(0, 11));
    r.octaveLow = pick(-2, 0);
    r.octaveHigh = pick(-1, 1);
    r.low = pick(30, 60);
    r.high = pick(60, 90);
    r.minSpan = pick(0, 10);
    r.maxSpan = pick(8, 30);
    r.bassMask = static_cast<std::uint16_t>(pick(0, 0x0FFF));
    r.useNoteCountRange = pick(0, 1) == 1;
    std::set<int> distinct(r.pitchClasses.begin(), r.pitchClasses.end());
    const int k = static_cast<int>(distinct.size());
    r.minNotes = pick(1, k + 1);
    r.maxNotes = pick(k, k + 2);
    if (pick(0, 3) == 0) r.topNote = pick(60, 84);
    if (pick(0, 3) == 0) r.requiredNotes = {pick(48, 72)};
    if (pick(0, 1) == 1) r.fixedBass = r.pitchClasses[static_cast<std::size_t>(pick(0, size - 1))];
    clearCandidateCache();
    auto expected = ReferenceVoicer(r).run();
    EXPECT_EQ(notesOf(voice(r)), expected) << "trial " << trial;
  }
}

}  // namespace
}  // namespace tw
