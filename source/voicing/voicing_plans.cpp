// The constant tables of the voicing styles.
#include "voicing/voicing_plans.hpp"

#include "voicing/chord_tones.hpp"

namespace tw {

namespace {

constexpr std::array<StyleEntry, 6> kStyles{{
    {"closed", "Closed", "Tight voicing within one octave"},
    {"shell", "Shell", "Root, 3rd, 7th only (jazz shell voicing)"},
    {"anthem", "Anthem", "Full two-hand voicing with doublings"},
    {"split", "Split", "Root+5th low register, guides high"},
    {"guide-color", "Guide+Color", "Root + guide tones + available color tones"},
    {"velmaro", "Open", "Two-handed open voicing"},
}};

constexpr std::array<int, 5> kListedStyles{0, 2, 3, 4, 5};

constexpr PlanRoleIntervals role(std::initializer_list<int> values) {
  PlanRoleIntervals r{{}, 0, false, false};
  for (int v : values) r.intervals[r.count++] = static_cast<std::int8_t>(v);
  return r;
}
constexpr PlanRoleIntervals fixedRole(int value) {
  PlanRoleIntervals r = role({value});
  r.fixed = true;
  return r;
}
constexpr PlanRoleIntervals upperExtensionsRole() {
  PlanRoleIntervals r{{}, 0, true, false};
  return r;
}

constexpr std::array<PlanRoleIntervals, kPlanRoleCount> kRoles{{
    fixedRole(0),                               // 0 root
    role({5, 4, 3, 2}),                         // 1 any third or suspension
    role({4, 3}),                               // 2 major or minor third
    role({5, 2}),                               // 3 suspension
    role({11, 10}),                             // 4 seventh
    role({9}),                                  // 5 sixth
    role({7, 6, 8}),                            // 6 fifth
    role({14, 13, 15, 2}),                      // 7 ninth
    role({13, 15}),                             // 8 altered ninth
    role({18, 17, 5}),                          // 9 eleventh
    role({18}),                                 // 10 sharp eleventh
    role({21, 9}),                              // 11 thirteenth
    role({20, 8}),                              // 12 flat thirteenth
    role({18, 21, 20, 14, 13, 15, 17, 9, 5}),   // 13 any colour tone
    upperExtensionsRole(),                      // 14 upper extensions
    fixedRole(12),                              // 15 octave doubling
    role({10, 11, 9, 7, 6, 8}),                 // 16 seventh or sixth, else fifth
}};

constexpr PlanSlot slot(int layer, std::initializer_list<int> roles, int octave = 0,
                        bool required = false, bool carried = true) {
  PlanSlot s{layer, {}, 0, octave, required, false, carried};
  for (int r : roles) s.roles[s.roleCount++] = static_cast<std::int8_t>(r);
  return s;
}
constexpr bool R = true;
constexpr bool kNoCarry = false;

constexpr std::array kAnthemSlots{
    slot(0, {0}, -12, R), slot(2, {1}, 0, R), slot(4, {6}, 0, false, kNoCarry),
    slot(3, {4, 5}),      slot(5, {13}),      slot(6, {14, 13, 15}),
};
constexpr std::array kDrop24Slots{
    slot(0, {0}, -12, R), slot(1, {6}, -12, R), slot(2, {1}, 0, R),
    slot(3, {4, 5}),      slot(6, {13, 14, 15}),
};
constexpr std::array kDrop24ColorSlots{
    slot(0, {0}, -12, R), slot(1, {6}, -12, R), slot(2, {1}, 0, R),
    slot(3, {4, 5}),      slot(5, {13}),
};
constexpr std::array kGuideColorSlots{
    slot(0, {0}, 0, R), slot(2, {1}, 0, R), slot(3, {4, 5}),
    slot(5, {13}),      slot(6, {14, 13, 6}),
};
constexpr std::array kGuideColorInnerSlots{
    slot(0, {0}, 0, R),  slot(2, {1}, 0, R), slot(3, {4, 5}),
    slot(4, {6}, 0, false, kNoCarry), slot(6, {13, 14}),
};
constexpr std::array kVelmaroSlots{
    slot(0, {0}, 0, R), slot(1, {6}),    slot(1, {7}),
    slot(2, {2, 3}, 0, R), slot(3, {4, 5}), slot(6, {13, 7}),
};
constexpr std::array kVelmaroColorSlots{
    slot(0, {0}, 0, R), slot(1, {6}),    slot(1, {7}),
    slot(2, {2, 3}, 0, R), slot(3, {4, 5}), slot(5, {13}),
};

constexpr std::array<VoicingPlan, 7> kDescriptorPlans{{
    {"anthem", 60.0, {0, 1}, 2, kAnthemSlots},
    {"drop24", 59.0, {0, 1}, 3, kDrop24Slots},
    {"drop24-color", 60.0, {1, 1}, 3, kDrop24ColorSlots},
    {"guide-color", 59.0, {0, 1}, 4, kGuideColorSlots},
    {"guide-color-inner", 58.0, {0, 1}, 4, kGuideColorInnerSlots},
    {"velmaro", 60.0, {0, 1}, 5, kVelmaroSlots},
    {"velmaro-color", 61.0, {0, 0}, 5, kVelmaroColorSlots},
}};

constexpr std::uint8_t fn(std::initializer_list<ToneFunction> functions) {
  std::uint8_t bits = 0;
  for (ToneFunction f : functions) bits = static_cast<std::uint8_t>(bits | functionBit(f));
  return bits;
}
constexpr auto kRoot = ToneFunction::Root;
constexpr auto kThird = ToneFunction::ThirdOrSuspension;
constexpr auto kSeventh = ToneFunction::SixthOrSeventh;
constexpr auto kFifth = ToneFunction::Fifth;
constexpr auto kTension = ToneFunction::Tension;

constexpr PlanGroup group(int layer, std::uint8_t functions, std::initializer_list<int> indices,
                          int octave = 0, bool required = false) {
  PlanGroup g{layer, functions, {}, 0, octave, required};
  for (int i : indices) g.toneIndices[g.toneIndexCount++] = static_cast<std::int8_t>(i);
  return g;
}

constexpr std::array kAnthemGroups{
    group(0, fn({kRoot}), {0}, -12, R),
    group(2, fn({kThird}), {3, 2, 4, 1}, 0, R),
    group(4, fn({kFifth, kTension}), {6, 5, 7, 12, 11, 13}),
    group(3, fn({kSeventh}), {9, 10, 8}),
    group(5, fn({kTension, kFifth}), {12, 11, 13, 14, 15, 17, 16, 6, 5, 7}),
    group(6, fn({kTension, kFifth, kRoot, kThird}), {17, 16, 14, 15, 12, 11, 13, 6, 7, 5, 0}),
};
constexpr std::array kSplitGroups{
    group(0, fn({kRoot}), {0}, -12, R),
    group(1, fn({kFifth, kTension}), {6, 5, 7, 12, 11, 13}, -12),
    group(2, fn({kThird}), {3, 2, 4, 1}, 0, R),
    group(3, fn({kSeventh}), {9, 10, 8}),
    group(6, fn({kTension, kFifth}), {17, 16, 14, 15, 12, 11, 13, 6, 7, 5}),
};
constexpr PlanGroup kSplitExtra =
    group(5, fn({kTension, kFifth}), {14, 15, 17, 16, 12, 11, 13, 6, 7, 5});
constexpr std::array kGuideColorGroups{
    group(0, fn({kRoot}), {0}, 0, R),
    group(2, fn({kThird}), {3, 2, 4, 1}, 0, R),
    group(3, fn({kSeventh}), {9, 10, 8}),
    group(5, fn({kTension, kFifth}), {12, 11, 13, 14, 15, 17, 16, 6, 5, 7}),
    group(6, fn({kTension, kFifth}), {17, 16, 14, 15, 12, 11, 13, 6, 5, 7}),
};
constexpr PlanGroup kGuideColorExtra =
    group(5, fn({kTension, kFifth}), {14, 15, 17, 16, 12, 11, 13, 6, 5, 7});
constexpr std::array kVelmaroGroups{
    group(0, fn({kRoot}), {0}, 0, R),
    group(1, fn({kFifth, kTension}), {6, 12, 5, 7, 11, 13}),
    group(2, fn({kThird}), {3, 2, 4, 1}, 0, R),
    group(3, fn({kSeventh}), {9, 10, 8}),
    group(5, fn({kTension, kFifth}), {12, 14, 15, 17, 16, 11, 13, 6, 5, 7}),
    group(6, fn({kTension, kFifth}), {17, 16, 14, 15, 12, 11, 13, 6, 5, 7}),
};

constexpr std::array<PrimaryPlan, 4> kPrimaryPlans{{
    {"anthem", 60.0, 4, 6, 6, {1, 1}, true, kAnthemGroups, nullptr},
    {"split", 59.0, 4, 5, 6, {1, 1}, false, kSplitGroups, &kSplitExtra},
    {"guide-color", 59.0, 4, 5, 6, {1, 1}, false, kGuideColorGroups, &kGuideColorExtra},
    {"velmaro", 60.0, 4, 6, 6, {1, 1}, false, kVelmaroGroups, nullptr},
}};

}  // namespace

const std::array<StyleEntry, 6>& styleCatalogue() { return kStyles; }

std::span<const int> listedStyles() { return kListedStyles; }

const PlanRoleIntervals& planRole(int role) {
  return kRoles[static_cast<std::size_t>(role)];
}

const VoicingPlan* descriptorPlan(std::string_view name) {
  for (const VoicingPlan& plan : kDescriptorPlans)
    if (plan.name == name) return &plan;
  return nullptr;
}

const PrimaryPlan* primaryPlan(int style) {
  if (style < 2 || style > 5) return nullptr;
  return &kPrimaryPlans[static_cast<std::size_t>(style - 2)];
}

}  // namespace tw
