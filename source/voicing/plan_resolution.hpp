#pragma once
// Turning a chord's intervals into a style's semitone offsets from the root: the closed and
// shell rules, the analysis plans, the primary and secondary descriptor plans, the anthem
// fallback and the layer stacking that realises a plan.
#include <optional>
#include <string_view>

#include "chord/interval_list.hpp"
#include "voicing/chord_tones.hpp"
#include "voicing/inline_list.hpp"
#include "voicing/voicing_plans.hpp"

namespace tw {

struct PlanVoice {
  int layer = 0;
  int interval = 0;
  int offset = 0;
  bool carried = true;  // the slot's third flag
  bool extra = false;   // placed by a plan's extra group
};

using PlanVoices = InlineList<PlanVoice, 12>;
using StyleOffsetList = InlineList<int, 16>;

// Stacks the layers: upper layers above the left hand, the top layers above everything.
StyleOffsetList realisePlan(const PlanVoices& voices, int style);

std::optional<PlanVoices> resolveDescriptorPlan(const VoicingPlan& plan,
                                                const IntervalList& intervals);
std::optional<PlanVoices> resolvePrimaryPlan(const PrimaryPlan& plan, const ChordTones& tones);

// Analysis plans, built from the chord's tones by fixed rules; nothing when the chord does
// not suit the plan.
std::optional<PlanVoices> guideColorSimplePlan(const ChordTones& tones);
std::optional<PlanVoices> velmaroAnalysisPlan(const ChordTones& tones);
// dense: leaves out the upper root when the chord has four or more essential tones above it.
std::optional<PlanVoices> anthemAnalysisPlan(const ChordTones& tones, bool dense);
// The anthem analysis plans in the order they are tried ("anthem-dense" first for chords
// with at least four essential tones besides the root, else "anthem-full").
InlineList<PlanVoices, 2> anthemAnalysisPlans(const ChordTones& tones);
bool anthemDenseFirst(const ChordTones& tones);

StyleOffsetList anthemFallbackOffsets(const IntervalList& intervals);
StyleOffsetList closedOffsets(const IntervalList& intervals);
StyleOffsetList shellOffsets(const IntervalList& intervals);

// The secondary descriptor plans of a style in the order they are tried for this chord.
InlineList<std::string_view, 2> secondaryPlanOrder(int style, const IntervalList& intervals);

// Every interval below 12 and exactly three distinct members, 0 among them.
bool isTriad(const IntervalList& intervals);

// Sorted, distinct offsets; throws std::runtime_error when a style has no plan for the chord.
StyleOffsetList styleOffsetList(int style, const IntervalList& intervals);

}  // namespace tw
