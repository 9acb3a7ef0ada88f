#include "voicing/voice_leading_rules.hpp"

namespace tw {

namespace {

constexpr int kClosed = 0, kShell = 1, kAnthem = 2, kSplit = 3, kGuideColor = 4, kVelmaro = 5;

// Hand-tuned corrections on top of the learned weights, per anchor style.
constexpr AvlStyleRule kStandardRules[] = {
    {AvlRuleKind::StaticTop, -3.0, kEveryStyle},
    {AvlRuleKind::StaticBass, -12.0, kEveryStyle},
    {AvlRuleKind::WideTriadTop, -5.0, styleBit(kClosed), 5},
    {AvlRuleKind::LowCluster, -25.0,
     static_cast<std::uint8_t>(styleBit(kAnthem) | styleBit(kSplit) | styleBit(kVelmaro)), 5},
    {AvlRuleKind::SplitFifth, -18.0, styleBit(kSplit), 0, 62},
    {AvlRuleKind::LowIntervalLimit, -18.0, styleBit(kClosed), 3, 60},
    {AvlRuleKind::LowIntervalLimit, -22.0, styleBit(kGuideColor), 5, 60},
    {AvlRuleKind::LowTensions, -8.0, styleBit(kAnthem)},
    {AvlRuleKind::BassOffRoot, -1.5, styleBit(kClosed)},
    {AvlRuleKind::BassOffRoot, -2.5, styleBit(kShell)},
    {AvlRuleKind::BassOffRoot, -5.0, styleBit(kAnthem)},
    {AvlRuleKind::BassOffRoot, -7.0, styleBit(kSplit)},
    {AvlRuleKind::BassOffRoot, -2.5, styleBit(kGuideColor)},
    {AvlRuleKind::BassOffRoot, -4.0, styleBit(kVelmaro)},
    {AvlRuleKind::BassDegree, -4.0, kEveryStyle},
    {AvlRuleKind::HighInvertedBass, -6.0, kEveryStyle, 7},
    {AvlRuleKind::LowRootBass, -1.0, kEveryStyle},
};

}  // namespace

std::span<const AvlStyleRule> standardAvlRules() { return kStandardRules; }

}  // namespace tw
