#pragma once
// The habits of each collection of annotated music: which chord follows one or two given
// chords, per collection and mode, as numerals in the key. They live in the continuation
// corpus beside the pooled continuations, under keys that no numeral can take:
//   "@" collection "." ("maj" | "min") then ">" and a numeral for each chord before, oldest
//   first ("@jazzneosoul.maj>iim7>V7"; "@rock.min" alone lists the chords the collection
//   plays most in minor keys).
// Every stored list is smoothed: what a rare context has not shown yet is filled in from the
// shorter context, so a list reads as the probability of each chord coming next.
// Beside them, "@" collection "." mode "/bass" lists which chord member the collection puts
// in the bass ("root", "third", "fifth", "seventh", "other") and how often: inversions tell
// a chorale from a pop song as much as the chords do.
#include <array>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "generation/annotated_piece.hpp"
#include "generation/continuation_corpus.hpp"

namespace tw {

inline constexpr std::array<std::string_view, 4> kCollections{"popedm", "classical", "rock", "jazzneosoul"};

// Chords before the one predicted that a habit table is keyed by, at most.
inline constexpr std::size_t kHabitContext = 2;

std::string habitKey(std::string_view collection, bool minor, std::span<const std::string> before);

// A piece as runs of habit numerals: a run ends where the key changes, a chord cannot be read
// or named, or a rest comes; a chord held on (the same numeral again) counts once.
struct HabitRun {
  bool minor = false;
  std::vector<std::string> numerals;
  std::vector<std::string_view> basses;  // bassMember of every chord read, held ones too
};

// Which member of the chord is in the bass: "root", "third", "fifth", "seventh" or "other".
std::string_view bassMember(const ParsedChord& chord);
std::vector<HabitRun> habitRuns(const AnnotatedPiece& piece);

// Counts what follows what in the runs of each collection and writes the smoothed tables.
class HabitCounter {
 public:
  void add(std::string_view collection, const HabitRun& run);
  void storeInto(ContinuationCorpus& corpus) const;

 private:
  // context key -> following numeral -> count
  std::map<std::string, std::map<std::string, long>, std::less<>> counts_;
};

// How often the collection puts each member in the bass, in that mode; empty when the corpus
// holds no such table.
std::span<const Continuation> bassMemberShares(const ContinuationCorpus& corpus, std::string_view collection,
                                               bool minor);

// The list of the longest context the corpus holds for the chords before (their last
// kHabitContext numerals count), down to the collection's own list; empty when the corpus
// holds no table of the collection in that mode.
std::span<const Continuation> habitContinuations(const ContinuationCorpus& corpus, std::string_view collection,
                                                 bool minor, std::span<const std::string> before);

}  // namespace tw
