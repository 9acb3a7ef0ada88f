#pragma once
// The constant recipes of the voicing styles: the style catalogue, the plan roles, the
// slot-based descriptor plans and the group-based primary plans. Pure data; the code that
// resolves them lives in plan_resolution.cpp.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tw {

struct StyleEntry {
  std::string_view id;
  std::string_view name;
  std::string_view description;
};

// Indexed by VoicingStyle.
const std::array<StyleEntry, 6>& styleCatalogue();

// The styles "get_voicing_styles" lists, in its order.
std::span<const int> listedStyles();

// A plan role: the chord intervals that fill it, in priority order.
struct PlanRoleIntervals {
  std::array<std::int8_t, 9> intervals;
  std::uint8_t count;
  bool upperExtensions;  // every chord interval above 8, highest first
  bool fixed;            // needs nothing from the chord (root, octave doubling)
};

inline constexpr int kPlanRoleCount = 17;
const PlanRoleIntervals& planRole(int role);

struct PlanSlot {
  int layer;
  std::array<std::int8_t, 3> roles;
  std::uint8_t roleCount;
  int octave;
  bool required;
  bool allowRepeat;
  bool carried;  // the third flag, handed on to the realised voice
};

struct VoicingPlan {
  std::string_view name;
  double center;
  std::array<std::uint8_t, 2> flags;
  int style;
  std::span<const PlanSlot> slots;
};

// The slot-based plans by name ("anthem", "drop24", "drop24-color", "guide-color",
// "guide-color-inner", "velmaro", "velmaro-color"); nullptr for any other name.
const VoicingPlan* descriptorPlan(std::string_view name);

struct PlanGroup {
  int layer;
  std::uint8_t functions;  // bit f set when tone function f is accepted
  std::array<std::int8_t, 11> toneIndices;
  std::uint8_t toneIndexCount;
  int octave;
  bool required;
};

struct PrimaryPlan {
  std::string_view name;
  double center;
  int minVoices;
  int targetVoices;
  int maxVoices;
  std::array<std::uint8_t, 2> flags;  // the first one raises tensions placed on top
  bool octaveRoot;                    // offers the root an octave up as an optional tone
  std::span<const PlanGroup> groups;
  const PlanGroup* extraGroup;        // nullptr when the plan has none
};

// The group-based plan named like a style (styles 2..5); nullptr for other styles.
const PrimaryPlan* primaryPlan(int style);

}  // namespace tw
