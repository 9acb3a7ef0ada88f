#include "voicing/voice_leading_solver.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace tw {

namespace {

constexpr int kClosedStyle = 0;
constexpr int kAnthemStyle = 2;
constexpr int kLowestWideningBound = 36;  // base of the lowest octave the solver uses
constexpr int kHighestWideningBound = 83; // top of the highest octave the solver uses

thread_local std::vector<std::string> debugLines;

void debugLine(std::string line) { debugLines.push_back(std::move(line)); }

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::string formatMilliseconds(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", ms);
  return text;
}

// The chord's pitch classes, the bass first (written bass, else root), the rest ascending.
std::vector<PitchClass> bassFirstPitchClasses(const ParsedChord& chord) {
  const PitchClass root = reducePitchClass(chord.root);
  const PitchClass bass = chord.bass ? reducePitchClass(*chord.bass) : root;
  unsigned mask = 1u << root;
  for (int interval : chord.intervals) mask |= 1u << reducePitchClass(root + interval);
  mask &= ~(1u << bass);
  std::vector<PitchClass> pcs{bass};
  for (PitchClass pc = 0; pc < 12; ++pc)
    if (mask & (1u << pc)) pcs.push_back(pc);
  return pcs;
}

int distinctPitchClasses(const ParsedChord& chord) {
  return static_cast<int>(bassFirstPitchClasses(chord).size());
}

// Lowest-note pitch classes allowed when the bass may change: the root and every chord tone
// that is not a tension (a compound interval above the octave).
std::uint16_t allowedBassMask(const ParsedChord& chord) {
  const PitchClass root = reducePitchClass(chord.root);
  unsigned mask = 1u << root;
  for (int interval : chord.intervals)
    if (interval <= 12) mask |= 1u << reducePitchClass(root + interval);
  return static_cast<std::uint16_t>(mask);
}

std::string chordLabel(const ParsedChord& chord) {
  return chord.symbol.empty() ? chordSymbolText(chord, false) : chord.symbol;
}

// Notes in 0..127, ascending, each once: the form the search works on.
Voicing searchVoicing(const std::vector<int>& notes) {
  std::vector<int> clean;
  for (int n : notes)
    if (n >= 0 && n <= 127) clean.push_back(n);
  std::sort(clean.begin(), clean.end());
  clean.erase(std::unique(clean.begin(), clean.end()), clean.end());
  return Voicing(clean);  // keeps the lowest twelve
}

struct ChordCandidates {
  VoicingCandidates shared;  // keeps the voicer's list alive
  std::span<const Voicing> view;
  bool cacheHit = false;
};

struct CandidateCounts {
  int unique = 0;
  int minNotes = 0;
  int maxNotes = 0;
};

CandidateCounts noteCountBounds(const ParsedChord& chord, const AvlOptions& options) {
  CandidateCounts c;
  c.unique = distinctPitchClasses(chord);
  if (options.anchorStyle == kClosedStyle) {
    c.minNotes = c.maxNotes = c.unique;
  } else {
    c.minNotes = std::max(options.minNotes, c.unique);
    c.maxNotes = options.maxNotes;
  }
  return c;
}

// Every legal voicing of the chord in the segment's window, the window widened downwards and
// then upwards by bisection when it admits none. The cache flag reported is the one of the
// first lookup, the chord's own window.
ChordCandidates generateCandidates(const ParsedChord& chord, const AvlOptions& options,
                                   const CandidateCounts& counts) {
  if (counts.maxNotes < counts.unique)
    throw std::runtime_error(
        "cannot voice this chord with requested maxNotes without omitting pitch classes");

  VoicerRequest request;
  request.pitchClasses = bassFirstPitchClasses(chord);
  const bool bassFree = options.allowBassChanges && !chord.bass;
  if (bassFree) {
    request.bassMask = allowedBassMask(chord);
  } else {
    request.fixedBass = request.pitchClasses.front();
    request.bassMask = static_cast<std::uint16_t>(1u << request.pitchClasses.front());
  }
  request.octaveLow = options.octaveLow;
  request.octaveHigh = options.octaveHigh;
  request.allowBassChanges = options.allowBassChanges;
  request.useNoteCountRange = options.useNoteCountRange;
  request.minSpan = options.minSpan;
  request.maxSpan = options.maxSpan;
  request.minNotes = counts.minNotes;
  request.maxNotes = counts.maxNotes;
  const int low = bassFree ? std::max(options.bottom - 12, kLowestWideningBound) : options.bottom;
  const int high = options.top;

  auto probe = [&](int lowBound, int highBound) {
    // Notes never leave the solver's octaves (36..83), so clamping to MIDI changes nothing.
    request.low = std::clamp(lowBound, 0, 127);
    request.high = std::clamp(highBound, 0, 127);
    return voice(request);
  };
  auto found = [](const VoicerResult& r) { return r.candidates && !r.candidates->empty(); };

  ChordCandidates out;
  VoicerResult result = probe(low, high);
  out.cacheHit = result.cacheHit;
  if (!found(result)) {
    // The highest low bound in [36, low] that gives candidates.
    int lowEnd = kLowestWideningBound, highEnd = low;
    bool widened = false;
    while (lowEnd <= highEnd) {
      const int mid = lowEnd + (highEnd - lowEnd) / 2;
      VoicerResult r = probe(mid, high);
      if (found(r)) {
        result = std::move(r);
        widened = true;
        lowEnd = mid + 1;
      } else {
        highEnd = mid - 1;
      }
    }
    if (!widened && high < kHighestWideningBound) {
      // Still nothing: the lowest high bound in [top, 83], with the low bound widened as far
      // as it went (36, or the window's own low bound when that was already lower).
      const int widenedLow = std::min(low, kLowestWideningBound);
      int a = high, b = kHighestWideningBound;
      while (a <= b) {
        const int mid = a + (b - a) / 2;
        VoicerResult r = probe(widenedLow, mid);
        if (found(r)) {
          result = std::move(r);
          b = mid - 1;
        } else {
          a = mid + 1;
        }
      }
    }
  }
  if (!found(result)) throw std::runtime_error("no legal revoicings found");
  out.shared = std::move(result.candidates);
  out.view = std::span<const Voicing>(out.shared->data(), out.shared->size());
  return out;
}

}  // namespace

std::vector<std::string> takeAvlDebugLines() {
  std::vector<std::string> lines;
  lines.swap(debugLines);
  return lines;
}

AvlOptions segmentOptions(const Voicing& anchor, VoicingStyle anchorStyle,
                          std::span<const ParsedChord> chords, bool allowBassChanges) {
  AvlOptions o;
  o.allowBassChanges = allowBassChanges;
  o.anchorStyle = static_cast<std::uint8_t>(std::clamp(anchorStyle, 0, 255));
  int richest = 0;
  for (const auto& chord : chords) richest = std::max(richest, distinctPitchClasses(chord));
  const int c = static_cast<int>(anchor.size());
  const int extra = anchorStyle == kClosedStyle ? 0 : 1;
  o.maxNotes = std::min(12, std::max(richest, c + extra));
  o.minNotes = std::min(std::max(c, 1), o.maxNotes);
  o.targetNotes = std::max(1, std::min(o.maxNotes, c));
  if (c > 0) {
    const int first = anchor.front(), last = anchor.back();
    o.top = last + 4 + (anchorStyle == kAnthemStyle ? 2 : 0);
    o.bottom = first - 5;
    double sum = 0.0;
    for (std::uint8_t n : anchor) sum += n;
    o.middle = static_cast<int>(std::lround(sum / c));
    const int span = last - first;
    if (c > 4 || span >= 18) {
      o.minSpan = span >= 9 ? span - 8 : 0;
      o.maxSpan = span + 8;
    }
  } else {
    o.middle = 60;
  }
  return o;
}

std::vector<Voicing> solveSegment(std::span<const ParsedChord> chords, const AvlOptions& options,
                                  std::span<const AvlFixedChord> fixedChords, bool debug,
                                  std::size_t firstIndex, AvlSolveStats* stats) {
  if (!fixedChords.empty() && fixedChords.size() != chords.size())
    throw std::runtime_error("fixedChords must be empty or match chords length");
  if (chords.empty()) return {};
  const auto start = std::chrono::steady_clock::now();

  std::vector<ChordCandidates> candidates(chords.size());
  std::vector<AvlSearchChord> search(chords.size());
  for (std::size_t i = 0; i < chords.size(); ++i) {
    const CandidateCounts counts = noteCountBounds(chords[i], options);
    auto& cand = candidates[i];
    if (!fixedChords.empty() && fixedChords[i].fixed) {
      // Served without the voicer: reported as a hit.
      cand.view = std::span<const Voicing>(&fixedChords[i].notes, 1);
      cand.cacheHit = true;
    } else {
      cand = generateCandidates(chords[i], options, counts);
    }
    search[i] = {cand.view, avlChordTraits(chords[i])};
    if (stats) stats->rawCandidates += cand.view.size();
    if (debug) {
      std::ostringstream line;
      line << "AVL chord[" << (firstIndex + i) << "] " << chordLabel(chords[i])
           << " unique=" << counts.unique << " min=" << counts.minNotes
           << " max=" << counts.maxNotes << " raw=" << cand.view.size()
           << " cache=" << (cand.cacheHit ? "hit" : "miss");
      debugLine(line.str());
    }
  }
  const double generationMs = millisecondsSince(start);

  AvlSearchStats searchStats;
  std::vector<Voicing> path = searchVoicePath(search, options, &searchStats);
  if (stats) {
    stats->chords += chords.size();
    for (std::size_t n : searchStats.candidateCounts) stats->keptCandidates += n;
    stats->beamStates += searchStats.beamStates;
    stats->transitions += searchStats.transitions;
  }
  if (debug) {
    std::string line = "AVL beam candidates=";
    for (std::size_t i = 0; i < searchStats.candidateCounts.size(); ++i) {
      if (i > 0) line += "/";
      line += std::to_string(searchStats.candidateCounts[i]);
    }
    debugLine(std::move(line));
    debugLine("AVL solve chords=" + std::to_string(chords.size()) +
              " gen_ms=" + formatMilliseconds(generationMs) +
              " total_ms=" + formatMilliseconds(millisecondsSince(start)));
  }
  return path;
}

std::vector<int> anchorVoicing(const AvlSlot& slot) {
  std::vector<int> notes;
  for (int n : slot.manualNotes)
    if (n >= 0 && n <= 127) notes.push_back(n);
  if (!notes.empty()) {
    std::sort(notes.begin(), notes.end());
    notes.erase(std::unique(notes.begin(), notes.end()), notes.end());  // a key sounds once
    return notes;
  }
  return voiceChord(slot.chord, slot.style, kSolverOctave,
                    VoicingOptions{slot.octaveShift, false, slot.inversion});
}

std::vector<std::vector<int>> solveProgression(std::span<const AvlSlot> slots,
                                               bool allowBassChanges, bool debug,
                                               AvlSolveStats* stats) {
  std::vector<std::vector<int>> result(slots.size());
  if (slots.empty()) return result;

  std::vector<std::size_t> anchors;
  std::vector<bool> isAnchor(slots.size(), false);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (i == 0 || !slots[i].autoVoiced) {
      anchors.push_back(i);
      isAnchor[i] = true;
      result[i] = anchorVoicing(slots[i]);
    }
  }

  std::vector<ParsedChord> chords;
  std::vector<AvlFixedChord> fixed;
  for (std::size_t k = 0; k < anchors.size(); ++k) {
    const std::size_t start = anchors[k];
    const std::size_t end = k + 1 < anchors.size() ? anchors[k + 1] : slots.size() - 1;
    bool anyAuto = false;
    for (std::size_t i = start + 1; i <= end; ++i) anyAuto = anyAuto || !isAnchor[i];
    if (!anyAuto) continue;

    chords.clear();
    fixed.clear();
    for (std::size_t i = start; i <= end; ++i) {
      chords.push_back(slots[i].chord);
      AvlFixedChord f;
      if (isAnchor[i]) {
        f.notes = searchVoicing(result[i]);
        f.fixed = true;
      }
      fixed.push_back(f);
    }
    const AvlSlot& anchor = slots[start];
    const Voicing anchorNotes = fixed.front().notes;
    const AvlOptions options = segmentOptions(anchorNotes, anchor.style, chords, allowBassChanges);
    if (debug) {
      std::ostringstream line;
      line << "AVL segment start=" << start << " end=" << end
           << " anchor_style=" << styleId(anchor.style) << " anchor_octave=" << anchor.octave
           << " anchor_midi=[";
      for (std::size_t n = 0; n < anchorNotes.size(); ++n) line << (n ? "," : "") << anchorNotes[n];
      line << "] top=" << options.top << " bottom=" << options.bottom
           << " middle=" << options.middle << " minSpan=" << options.minSpan
           << " maxSpan=" << options.maxSpan << " minNotes=" << options.minNotes
           << " maxNotes=" << options.maxNotes;
      debugLine(line.str());
    }
    const std::vector<Voicing> voicings = solveSegment(chords, options, fixed, debug, start, stats);
    for (std::size_t i = start; i <= end; ++i)
      if (!isAnchor[i]) result[i] = voicings[i - start].toVector();
  }
  return result;
}

}  // namespace tw
