// Resolution of the style plans against a chord, and the realisation of a resolved plan.
#include "voicing/plan_resolution.hpp"

#include <algorithm>
#include <climits>
#include <stdexcept>

namespace tw {

namespace {

constexpr int kMinLayer = 0;
constexpr int kLeftHandTopLayer = 1;
constexpr int kTopLayerLow = 6;
constexpr int kMaxLayer = 7;
constexpr double kNoAssignment = -1000000000.0;
constexpr const char* kNoPlanMessage = "No descriptor-based voicing plan available for style";

// The smallest value above `floor` that is `offset` moved by whole octaves.
int raiseAbove(int offset, int floor) {
  if (offset > floor) return offset;
  return offset + ((floor - offset) / 12 + 1) * 12;
}

bool isUpperLayer(int layer) { return layer >= 2 && layer <= kMaxLayer; }
bool isTopLayer(int layer) { return layer == kTopLayerLow || layer == kMaxLayer; }
bool countsBelowTop(int layer) { return (layer >= 2 && layer <= 5) || layer == kMaxLayer; }

int floorDiv(int value, int divisor) {
  const int q = value / divisor;
  return (value % divisor != 0 && value < 0) ? q - 1 : q;
}

int firstPresent(const IntervalList& intervals, std::initializer_list<int> wanted) {
  for (int w : wanted)
    if (intervals.contains(w)) return w;
  return -1;
}

// The chord's tones sorted into the places the analysis plans give them. Tones that no
// place takes (a second third such as the flat eleventh, a second fifth, a second ninth)
// join the tensions so that no written tone is lost.
struct ToneLayout {
  const ChordTone* root = nullptr;
  const ChordTone* third = nullptr;
  const ChordTone* alteredFifth = nullptr;
  const ChordTone* perfectFifth = nullptr;
  const ChordTone* sixthOrSeventh = nullptr;
  const ChordTone* ninth = nullptr;  // flat, natural or sharp ninth (velmaro only)
  InlineList<const ChordTone*, 9> tensions;  // ascending by interval
  int essentialAboveRoot = 0;
};

ToneLayout layoutTones(const ChordTones& tones, bool separateNinth) {
  ToneLayout layout;
  for (const ChordTone& tone : tones) {
    if (tone.essential && tone.function != ToneFunction::Root) ++layout.essentialAboveRoot;
    switch (tone.function) {
      case ToneFunction::Root:
        if (tone.interval == 0 && !layout.root) {
          layout.root = &tone;
          continue;
        }
        break;
      case ToneFunction::ThirdOrSuspension:
        if (!layout.third) {
          layout.third = &tone;
          continue;
        }
        break;
      case ToneFunction::Fifth:
        if (tone.interval == 7 && !layout.perfectFifth) {
          layout.perfectFifth = &tone;
          continue;
        }
        if (tone.interval != 7 && !layout.alteredFifth) {
          layout.alteredFifth = &tone;
          continue;
        }
        break;
      case ToneFunction::SixthOrSeventh:
        if (!layout.sixthOrSeventh) {
          layout.sixthOrSeventh = &tone;
          continue;
        }
        break;
      case ToneFunction::Tension:
        if (separateNinth && !layout.ninth && tone.index >= 11 && tone.index <= 13) {
          layout.ninth = &tone;
          continue;
        }
        break;
    }
    layout.tensions.push_back(&tone);
  }
  std::sort(layout.tensions.begin(), layout.tensions.end(),
            [](const ChordTone* a, const ChordTone* b) { return a->interval < b->interval; });
  return layout;
}

void addVoice(PlanVoices& voices, int layer, int interval, int offset) {
  voices.push_back(PlanVoice{layer, interval, offset, true, false});
}

bool hasOffset(const PlanVoices& voices, int offset) {
  for (const PlanVoice& v : voices)
    if (v.offset == offset) return true;
  return false;
}

// ---- Primary (group) plans ---------------------------------------------------------------

bool accepts(const PlanGroup& group, const ChordTone& tone) {
  return (group.functions & functionBit(tone.function)) != 0;
}

double placementScore(const ChordTone& tone, const PlanGroup& group, int groupNumber,
                      bool extra, const PrimaryPlan& plan) {
  const int layer = group.layer;
  const int i = tone.interval;
  const bool topBoost = plan.flags[0] != 0;
  double score = -0.5 * groupNumber;
  if (extra) score -= 35.0;
  switch (tone.function) {
    case ToneFunction::Root:
      if (layer == 0)
        score += 500.0;
      else
        score += i < 12 ? -250.0 : 20.0;
      break;
    case ToneFunction::ThirdOrSuspension:
      if (layer == 2) score += 180.0;
      if (layer == 6) score -= 40.0;
      break;
    case ToneFunction::SixthOrSeventh:
      if (layer == 3) score += 170.0;
      if (layer == 6) score -= 30.0;
      break;
    case ToneFunction::Fifth:
      if (layer == 1) score += 85.0;
      if (layer == 4) score += 55.0;
      if (layer == 5) score += 25.0;
      if (layer == 6) score += 15.0;
      break;
    case ToneFunction::Tension:
      if (layer == 6) score += topBoost ? 150.0 : 90.0;
      if (layer == 5) score += 105.0;
      if (layer == 1) score += (i % 12 == 2) ? 65.0 : 20.0;
      break;
  }
  for (int p = 0; p < group.toneIndexCount; ++p) {
    if (group.toneIndices[static_cast<std::size_t>(p)] == tone.index) {
      score += 80.0 - 3.0 * p;
      break;
    }
  }
  if (tone.function == ToneFunction::Tension && layer == 6 && topBoost) score += i;
  return score;
}

constexpr std::size_t kMaxGroups = 8;
constexpr std::size_t kMaxTones = ChordTones::kCapacity + 1;

struct GroupRef {
  const PlanGroup* group;
  bool extra;
};

// Finds the assignment of every essential tone to its own accepting group with the highest
// total placement score; the first assignment met keeps a tie.
class EssentialAssignment {
 public:
  EssentialAssignment(const InlineList<ChordTone, kMaxTones>& tones,
                      const InlineList<GroupRef, kMaxGroups>& groups, const PrimaryPlan& plan)
      : tones_(tones), groupCount_(groups.size()) {
    for (std::size_t t = 0; t < tones.size(); ++t) {
      double best = kNoAssignment;
      InlineList<std::size_t, kMaxGroups>& order = order_[t];
      for (std::size_t g = 0; g < groups.size(); ++g) {
        if (!accepts(*groups[g].group, tones[t])) continue;
        score_[t][g] = placementScore(tones[t], *groups[g].group, static_cast<int>(g),
                                      groups[g].extra, plan);
        order.push_back(g);
        best = std::max(best, score_[t][g]);
      }
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return score_[t][a] > score_[t][b];
      });
      bestPossible_[t] = best;
    }
    for (std::size_t t = tones.size(); t-- > 0;)
      remainingBound_[t] = bestPossible_[t] + remainingBound_[t + 1];
  }

  // Group index per tone, or nothing when some tone cannot be placed.
  std::optional<std::array<std::size_t, kMaxTones>> solve() {
    for (std::size_t t = 0; t < tones_.size(); ++t)
      if (order_[t].empty()) return std::nullopt;
    search(0, 0.0);
    if (!found_) return std::nullopt;
    return best_;
  }

 private:
  void search(std::size_t t, double total) {
    if (t == tones_.size()) {
      if (!found_ || total > bestTotal_) {
        found_ = true;
        bestTotal_ = total;
        best_ = current_;
      }
      return;
    }
    // No completion of this branch can beat what is already found.
    if (found_ && total + remainingBound_[t] <= bestTotal_) return;
    for (std::size_t g : order_[t]) {
      if (used_[g]) continue;
      used_[g] = true;
      current_[t] = g;
      search(t + 1, total + score_[t][g]);
      used_[g] = false;
    }
  }

  const InlineList<ChordTone, kMaxTones>& tones_;
  std::size_t groupCount_;
  std::array<std::array<double, kMaxGroups>, kMaxTones> score_{};
  std::array<InlineList<std::size_t, kMaxGroups>, kMaxTones> order_{};
  std::array<double, kMaxTones> bestPossible_{};
  std::array<double, kMaxTones + 1> remainingBound_{};
  std::array<bool, kMaxGroups> used_{};
  std::array<std::size_t, kMaxTones> current_{};
  std::array<std::size_t, kMaxTones> best_{};
  double bestTotal_ = kNoAssignment;
  bool found_ = false;
};

int functionRank(ToneFunction f) {
  switch (f) {
    case ToneFunction::Root: return 0;
    case ToneFunction::ThirdOrSuspension: return 1;
    case ToneFunction::SixthOrSeventh: return 2;
    case ToneFunction::Fifth: return 3;
    case ToneFunction::Tension: return 4;
  }
  return 5;
}

int normalisedGroupOffset(int interval, int octave) {
  int offset = interval + octave;
  while (offset < -12) offset += 12;
  while (offset > 36) offset -= 12;
  return offset;
}

}  // namespace

StyleOffsetList realisePlan(const PlanVoices& planVoices, int style) {
  PlanVoices voices = planVoices;
  bool hasLeft = false;
  int left = INT_MIN;
  for (const PlanVoice& v : voices) {
    if (v.layer >= kMinLayer && v.layer <= kLeftHandTopLayer) {
      left = hasLeft ? std::max(left, v.offset) : v.offset;
      hasLeft = true;
    }
  }
  if (hasLeft) {
    for (PlanVoice& v : voices)
      if (isUpperLayer(v.layer)) v.offset = raiseAbove(v.offset, left);
  }
  bool hasUpper = hasLeft;
  int upper = left;
  for (const PlanVoice& v : voices) {
    if (countsBelowTop(v.layer)) {
      upper = hasUpper ? std::max(upper, v.offset) : v.offset;
      hasUpper = true;
    }
  }
  if (hasUpper) {
    for (PlanVoice& v : voices)
      if (isTopLayer(v.layer)) v.offset = raiseAbove(v.offset, upper);
  }
  if (style == 5) {
    // An open voicing keeps a top-layer ninth to eleventh within reach of the hand.
    for (PlanVoice& v : voices)
      if (v.layer == kTopLayerLow && v.interval >= 11 && v.interval <= 17 && v.offset > 19)
        v.offset -= 12;
  }
  StyleOffsetList offsets;
  for (const PlanVoice& v : voices) offsets.push_back(v.offset);
  offsets.sortUnique();
  return offsets;
}

std::optional<PlanVoices> resolveDescriptorPlan(const VoicingPlan& plan,
                                                const IntervalList& intervals) {
  PlanVoices voices;
  InlineList<int, 12> taken;
  auto available = [&](int interval, bool allowRepeat) {
    return allowRepeat || !taken.contains(interval);
  };
  for (const PlanSlot& slot : plan.slots) {
    int chosen = INT_MIN;
    for (int r = 0; r < slot.roleCount && chosen == INT_MIN; ++r) {
      const PlanRoleIntervals& role = planRole(slot.roles[static_cast<std::size_t>(r)]);
      if (role.fixed) {
        if (available(role.intervals[0], slot.allowRepeat)) chosen = role.intervals[0];
      } else if (role.upperExtensions) {
        for (std::size_t i = intervals.size(); i-- > 0;) {
          if (intervals[i] > 8 && available(intervals[i], slot.allowRepeat)) {
            chosen = intervals[i];
            break;
          }
        }
      } else {
        for (int i = 0; i < role.count; ++i) {
          const int interval = role.intervals[static_cast<std::size_t>(i)];
          if (intervals.contains(interval) && available(interval, slot.allowRepeat)) {
            chosen = interval;
            break;
          }
        }
      }
    }
    if (chosen == INT_MIN) {
      if (slot.required) return std::nullopt;
      continue;
    }
    taken.push_back(chosen);
    voices.push_back(PlanVoice{slot.layer, chosen, chosen + slot.octave, slot.carried, false});
  }
  return voices;
}

std::optional<PlanVoices> resolvePrimaryPlan(const PrimaryPlan& plan, const ChordTones& tones) {
  InlineList<GroupRef, kMaxGroups> groups;
  for (const PlanGroup& g : plan.groups) groups.push_back(GroupRef{&g, false});
  if (plan.extraGroup) groups.push_back(GroupRef{plan.extraGroup, true});

  // Essential tones are searched root first, then third, sixth or seventh, altered fifth
  // and tensions from low to high, so that among equally scored assignments the guide
  // tones claim their places before the colour tones.
  InlineList<ChordTone, kMaxTones> essential;
  InlineList<ChordTone, kMaxTones> optional;
  for (const ChordTone& tone : tones) (tone.essential ? essential : optional).push_back(tone);
  std::stable_sort(essential.begin(), essential.end(), [](const ChordTone& a, const ChordTone& b) {
    return functionRank(a.function) < functionRank(b.function);
  });
  if (plan.octaveRoot) optional.push_back(ChordTone{12, 0, ToneFunction::Root, false});

  if (essential.size() > groups.size()) return std::nullopt;

  std::array<int, kMaxGroups> filledBy{};  // -1 empty, else index into `placed`
  filledBy.fill(-1);
  InlineList<ChordTone, kMaxGroups> placed;
  EssentialAssignment assignment(essential, groups, plan);
  auto best = assignment.solve();
  if (!best) return std::nullopt;
  for (std::size_t t = 0; t < essential.size(); ++t) {
    filledBy[(*best)[t]] = static_cast<int>(placed.size());
    placed.push_back(essential[t]);
  }

  // Optional tones fill the empty groups, best pair first, up to the target voice count.
  const int target = std::clamp(plan.targetVoices, plan.minVoices, plan.maxVoices);
  std::array<bool, kMaxTones> optionalUsed{};
  while (static_cast<int>(placed.size()) < target) {
    bool found = false;
    double bestScore = 0.0;
    std::size_t bestGroup = 0;
    std::size_t bestTone = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
      if (filledBy[g] >= 0) continue;
      for (std::size_t t = 0; t < optional.size(); ++t) {
        if (optionalUsed[t] || !accepts(*groups[g].group, optional[t])) continue;
        const double score = placementScore(optional[t], *groups[g].group, static_cast<int>(g),
                                            groups[g].extra, plan);
        if (!found || score > bestScore) {
          found = true;
          bestScore = score;
          bestGroup = g;
          bestTone = t;
        }
      }
    }
    if (!found) break;
    optionalUsed[bestTone] = true;
    filledBy[bestGroup] = static_cast<int>(placed.size());
    placed.push_back(optional[bestTone]);
  }

  PlanVoices voices;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (filledBy[g] < 0) continue;
    const ChordTone& tone = placed[static_cast<std::size_t>(filledBy[g])];
    const PlanGroup& group = *groups[g].group;
    const int offset = tone.interval == 12 ? group.octave + 12
                                           : normalisedGroupOffset(tone.interval, group.octave);
    voices.push_back(PlanVoice{group.layer, tone.interval, offset, true, groups[g].extra});
  }
  return voices;
}

std::optional<PlanVoices> guideColorSimplePlan(const ChordTones& tones) {
  const ToneLayout layout = layoutTones(tones, false);
  if (!layout.root || !layout.third || !layout.sixthOrSeventh) return std::nullopt;
  if (!layout.tensions.empty() || layout.alteredFifth) return std::nullopt;
  PlanVoices voices;
  addVoice(voices, 0, layout.root->interval, layout.root->interval);
  addVoice(voices, 2, layout.third->interval, layout.third->interval);
  addVoice(voices, 3, layout.sixthOrSeventh->interval, layout.sixthOrSeventh->interval);
  addVoice(voices, 6, layout.third->interval, layout.third->interval + 12);
  return voices;
}

std::optional<PlanVoices> velmaroAnalysisPlan(const ChordTones& tones) {
  const ToneLayout layout = layoutTones(tones, true);
  if (!layout.root || !layout.third || !layout.sixthOrSeventh) return std::nullopt;
  const int n = 3 + (layout.alteredFifth ? 1 : 0) + (layout.ninth ? 1 : 0) +
                static_cast<int>(layout.tensions.size());
  if (n >= 7) return std::nullopt;
  PlanVoices voices;
  addVoice(voices, 0, layout.root->interval, layout.root->interval);
  if (layout.alteredFifth)
    addVoice(voices, 1, layout.alteredFifth->interval, layout.alteredFifth->interval);
  else if (layout.perfectFifth && n < 6)
    addVoice(voices, 1, 7, 7);
  if (layout.ninth) addVoice(voices, 1, layout.ninth->interval, layout.ninth->interval);
  addVoice(voices, 2, layout.third->interval, layout.third->interval + 12);
  for (std::size_t i = 0; i < layout.tensions.size(); ++i) {
    const int interval = layout.tensions[i]->interval;
    addVoice(voices, i == 0 ? 5 : 4, interval, interval);
  }
  addVoice(voices, 3, layout.sixthOrSeventh->interval, layout.sixthOrSeventh->interval + 12);
  std::stable_sort(voices.begin(), voices.end(), [](const PlanVoice& a, const PlanVoice& b) {
    return a.offset != b.offset ? a.offset < b.offset : a.layer < b.layer;
  });
  return voices;
}

std::optional<PlanVoices> anthemAnalysisPlan(const ChordTones& tones, bool dense) {
  constexpr std::size_t kMaxAnthemVoices = 6;
  const ToneLayout layout = layoutTones(tones, false);
  if (!layout.root || !layout.third) return std::nullopt;
  const std::size_t core = 2 + (layout.alteredFifth ? 1 : 0) + (layout.sixthOrSeventh ? 1 : 0) +
                           layout.tensions.size();
  // A chord too rich for six voices is left to the descriptor plans, which choose its
  // colour tones, rather than losing tones here at random.
  if (core > kMaxAnthemVoices) return std::nullopt;
  PlanVoices voices;
  addVoice(voices, 0, layout.root->interval, layout.root->interval - 12);
  addVoice(voices, 2, layout.third->interval, layout.third->interval);
  if (layout.alteredFifth)
    addVoice(voices, 4, layout.alteredFifth->interval, layout.alteredFifth->interval);
  if (layout.sixthOrSeventh)
    addVoice(voices, 3, layout.sixthOrSeventh->interval, layout.sixthOrSeventh->interval);
  for (std::size_t i = 0; i < layout.tensions.size(); ++i) {
    const int interval = layout.tensions[i]->interval;
    addVoice(voices, i + 1 == layout.tensions.size() ? 6 : 5, interval, interval);
  }
  auto double_ = [&](int layer, int interval, int offset) {
    if (voices.size() < kMaxAnthemVoices && !hasOffset(voices, offset))
      addVoice(voices, layer, interval, offset);
  };
  if (!dense || layout.essentialAboveRoot < 4) double_(4, 0, 0);
  if (layout.perfectFifth) double_(4, 7, 7);
  double_(5, 0, 12);
  double_(6, layout.third->interval, layout.third->interval + 12);
  return voices;
}

bool anthemDenseFirst(const ChordTones& tones) {
  int essentialAboveRoot = 0;
  for (const ChordTone& tone : tones)
    if (tone.essential && tone.function != ToneFunction::Root) ++essentialAboveRoot;
  return essentialAboveRoot >= 4;
}

InlineList<PlanVoices, 2> anthemAnalysisPlans(const ChordTones& tones) {
  InlineList<PlanVoices, 2> plans;
  const bool denseFirst = anthemDenseFirst(tones);
  auto first = anthemAnalysisPlan(tones, denseFirst);
  if (!first) return plans;
  plans.push_back(*first);
  if (auto second = anthemAnalysisPlan(tones, !denseFirst)) {
    const StyleOffsetList a = realisePlan(*first, 2);
    const StyleOffsetList b = realisePlan(*second, 2);
    if (!std::equal(a.begin(), a.end(), b.begin(), b.end())) plans.push_back(*second);
  }
  return plans;
}

StyleOffsetList anthemFallbackOffsets(const IntervalList& intervals) {
  const int third = firstPresent(intervals, {4, 3, 5, 2});
  const int fifth = firstPresent(intervals, {7, 6, 8});
  InlineList<int, 16> offsets;
  offsets.push_back(-12);
  for (int interval : intervals) {
    if (interval == 0) continue;
    const int value = interval >= 15 ? interval - 12 : interval;
    if (!offsets.contains(value)) offsets.push_back(value);
  }
  auto doubling = [&](bool present, int value) {
    if (present && !offsets.contains(value) && offsets.size() <= 5) offsets.push_back(value);
  };
  doubling(true, 0);
  doubling(true, 12);
  doubling(third >= 0, third + 12);
  doubling(fifth >= 0, fifth + 12);
  std::sort(offsets.begin(), offsets.end());
  while (offsets.size() >= 7) {
    int victim = -1;
    for (int candidate : {7, 6, 8, 0, 12}) {
      if (offsets.contains(candidate)) {
        victim = candidate;
        break;
      }
    }
    if (victim < 0) {
      offsets.pop_back();
      continue;
    }
    offsets.eraseAt(static_cast<std::size_t>(std::find(offsets.begin(), offsets.end(), victim) -
                                             offsets.begin()));
  }
  StyleOffsetList result;
  for (int v : offsets) result.push_back(v);
  result.sortUnique();
  return result;
}

StyleOffsetList closedOffsets(const IntervalList& intervals) {
  StyleOffsetList offsets;
  for (int interval : intervals) offsets.push_back(interval);
  offsets.sortUnique();
  if (offsets.empty()) offsets.push_back(0);
  return offsets;
}

StyleOffsetList shellOffsets(const IntervalList& intervals) {
  StyleOffsetList offsets;
  offsets.push_back(0);
  if (intervals.empty()) return offsets;
  if (int third = firstPresent(intervals, {5, 4, 3, 2}); third >= 0) offsets.push_back(third);
  if (int seventh = firstPresent(intervals, {11, 10}); seventh >= 0) {
    offsets.push_back(seventh);
  } else if (intervals.contains(9)) {
    offsets.push_back(9);
    if (int ninth = firstPresent(intervals, {14, 13, 15}); ninth >= 0) offsets.push_back(ninth);
  } else if (int colour = firstPresent(intervals, {14, 13, 15, 17, 18, 21, 20}); colour >= 0) {
    offsets.push_back(colour);
  }
  offsets.sortUnique();
  return offsets;
}

InlineList<std::string_view, 2> secondaryPlanOrder(int style, const IntervalList& intervals) {
  const bool suspended = intervals.contains(2) || intervals.contains(5);
  const bool altered = intervals.contains(13) || intervals.contains(15) ||
                       intervals.contains(18) || intervals.contains(20) || intervals.contains(8);
  const bool dominant = intervals.contains(10) && intervals.contains(4);
  const bool small = intervals.size() < 4;
  InlineList<std::string_view, 2> order;
  auto put = [&](std::string_view a, std::string_view b) {
    order.push_back(a);
    order.push_back(b);
  };
  switch (style) {
    case 2:
      order.push_back("anthem");
      break;
    case 3:
      // Dominant and altered chords want their tension in the top voice; other chords keep
      // the colour inside under the guide tones.
      if (altered || dominant)
        put("drop24", "drop24-color");
      else
        put("drop24-color", "drop24");
      break;
    case 4:
      // Suspended and sparse chords lack the colour that fills the top; the inner fifth
      // keeps the middle of the voicing from thinning out.
      if (suspended || small)
        put("guide-color-inner", "guide-color");
      else
        put("guide-color", "guide-color-inner");
      break;
    case 5:
      if (altered || dominant)
        put("velmaro", "velmaro-color");
      else
        put("velmaro-color", "velmaro");
      break;
    default:
      break;
  }
  return order;
}

bool isTriad(const IntervalList& intervals) {
  InlineList<int, IntervalList::kCapacity> set;
  for (int interval : intervals) {
    if (interval >= 12) return false;
    set.push_back(interval);
  }
  set.sortUnique();
  return set.size() == 3 && set.contains(0);
}

StyleOffsetList styleOffsetList(int style, const IntervalList& intervals) {
  if (style == 1) return shellOffsets(intervals);
  if (style < 2 || style > 5) return closedOffsets(intervals);

  const ChordTones tones = chordTones(intervals);
  std::optional<PlanVoices> plan;
  switch (style) {
    case 2:
      // Only the first anthem analysis plan is ever voiced.
      plan = anthemAnalysisPlan(tones, anthemDenseFirst(tones));
      break;
    case 4:
      plan = guideColorSimplePlan(tones);
      break;
    case 5:
      plan = velmaroAnalysisPlan(tones);
      break;
    default:
      break;
  }
  if (!plan) plan = resolvePrimaryPlan(*primaryPlan(style), tones);
  if (!plan) {
    for (std::string_view name : secondaryPlanOrder(style, intervals)) {
      if (const VoicingPlan* descriptor = descriptorPlan(name)) {
        plan = resolveDescriptorPlan(*descriptor, intervals);
        if (plan) break;
      }
    }
  }
  if (!plan) {
    if (style == 2) return anthemFallbackOffsets(intervals);
    throw std::runtime_error(kNoPlanMessage);
  }

  StyleOffsetList offsets = realisePlan(*plan, style);
  if (style >= 3 && isTriad(intervals)) {
    if (offsets.empty()) {
      offsets.push_back(0);
    } else {
      const int top = offsets.back();
      const int octaveAbove = (floorDiv(top, 12) + 1) * 12;
      if (!offsets.contains(octaveAbove)) offsets.push_back(octaveAbove);
    }
  }
  offsets.sortUnique();
  return offsets;
}

}  // namespace tw
