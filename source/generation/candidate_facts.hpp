#pragma once
// What the suggestion engine needs to know about a candidate chord in a key, kept in a
// bounded process-wide cache: every request asks about much the same few hundred chords, and
// naming them in the key is most of a request's work.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chord/interval_list.hpp"
#include "chord/key_context.hpp"
#include "generation/continuation_corpus.hpp"

namespace tw {

struct ChordQuality;

struct CandidateFacts {
  const ChordQuality* quality = nullptr;  // its catalogue entry
  std::string canonical;  // catalogue symbol ("maj" for the major triad)
  const IntervalList* intervals = nullptr;
  std::string habitNumeral;         // as the collections' habit tables name it, or empty
  std::string continuationNumeral;  // its seventh without the bass, as pooled continuations name it
  // What follows it in the pooled continuations (of its most specific name the corpus holds).
  std::span<const Continuation> followers;
};

// The facts of a chord (root, quality as written, optional bass) in the natural form of a
// key, against the loaded continuation corpus. The reference stays valid until
// trimCandidateFacts() runs.
const CandidateFacts& candidateFacts(const KeyContext& key, PitchClass root, std::string_view quality,
                                     std::optional<PitchClass> bass);

inline constexpr std::size_t kCandidateFactsLimit = 4096;

// Empties the cache once it holds kCandidateFactsLimit chords or the continuation corpus was
// loaded again. Called between requests, so no facts a request holds are dropped under it.
void trimCandidateFacts();

}  // namespace tw
