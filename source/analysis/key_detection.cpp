// Key detection: every candidate key scored against the chords, the best one named.
#include "analysis/key_detection.hpp"

#include <algorithm>
#include <cmath>

#include "analysis/progression_parsing.hpp"
#include "analysis/roman_numerals.hpp"
#include "analysis/roman_signs.hpp"
#include "chord/pitch_spelling.hpp"
#include "chord/quality_catalogue.hpp"

namespace tw {

namespace {

// How much a chord tone says about the key, by interval above the root (mod 12): root,
// thirds and sevenths speak loudest.
constexpr std::array<double, 12> kToneWeights{2.4, 0.45, 0.45, 2.0, 2.0, 0.6,
                                              0.6, 0.8,  0.6,  0.6, 1.7, 1.7};

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

using Class = QualityClass;

// The match and mismatch coefficients of a chord of class `cls` on degree `deg` whose
// diatonic seventh chord has class `e`.
struct DegreeCoefficients {
  double match = 0.0;
  double mismatch = 0.0;
};

DegreeCoefficients degreeCoefficients(int deg, Class cls, Class e, bool major, bool majorSeventh) {
  DegreeCoefficients c;
  if (deg == 0) return c;
  if (cls == e) {
    c.match = 1.5;
    return c;
  }
  const bool dominantOnMajorIVorV = (deg == 4 || deg == 5) && cls == Class::Dominant && e == Class::Major && major;
  const bool majorOnDominantV = deg == 5 && cls == Class::Major && e == Class::Dominant;
  const bool halfDimForDim = cls == Class::HalfDiminished && e == Class::Diminished;
  const bool dimForHalfDim = cls == Class::Diminished && e == Class::HalfDiminished;
  const bool susForTriadic =
      cls == Class::Suspended && (e == Class::Major || e == Class::Minor || e == Class::Dominant);
  if (dominantOnMajorIVorV) {
    c.match = 0.8;
  } else if (majorOnDominantV) {
    c.match = 0.45;
  } else if (halfDimForDim) {
    c.match = 0.7;
  } else if (dimForHalfDim) {
    c.match = 0.45;
  } else if (susForTriadic) {
    c.match = 0.35;
  }
  if (dominantOnMajorIVorV) {
    c.mismatch = 0.0;
  } else if (majorOnDominantV) {
    c.mismatch = majorSeventh ? 2.4 : 0.0;
  } else if (halfDimForDim || dimForHalfDim || susForTriadic) {
    c.mismatch = 0.0;
  } else if (cls == Class::Minor && deg == 7 && major) {
    c.mismatch = 1.8;
  } else {
    c.mismatch = 0.6;
  }
  return c;
}

// The melodic-minor evidence of a chord of class `cls` on degree `deg`.
double melodicCoefficient(int deg, Class cls, bool minorMajorTonic) {
  if (deg == 1 && minorMajorTonic) return 3.2;
  if (cls == Class::Minor && deg == 2) return 1.6;
  if (cls == Class::Augmented && deg == 3) return 1.8;
  if (cls == Class::Dominant && deg == 4) return 2.2;
  if ((cls == Class::Diminished || cls == Class::HalfDiminished) && (deg == 6 || deg == 7)) return 1.7;
  return 0.0;
}

// Everything a candidate's scale type contributes, indexed by the chord root's interval
// above the tonic; the tonic itself does not matter.
struct ScaleProfile {
  std::array<std::uint16_t, 12> scaleTonesAbove{};  // bit x set when iv + x is a scale tone
  std::array<std::uint8_t, 12> degree{};             // 1..7, 0 for chromatic intervals
  // [degree][class][major-seventh family]
  std::array<std::array<std::array<DegreeCoefficients, 2>, 8>, 8> coefficients{};
  // [degree][class][minor-major tonic quality]; all zero outside melodic minor
  std::array<std::array<std::array<double, 2>, 8>, 8> melodic{};
};

ScaleProfile buildProfile(const KeyContext& key) {
  ScaleProfile profile;
  const Scale& scale = scaleOf(key);
  std::uint16_t scaleMask = 0;
  std::array<Class, 8> diatonicClass{};
  for (int d = 1; d <= 7; ++d) {
    scaleMask = static_cast<std::uint16_t>(scaleMask | (1u << scale[d - 1]));
    profile.degree[static_cast<std::size_t>(scale[d - 1])] = static_cast<std::uint8_t>(d);
    diatonicClass[static_cast<std::size_t>(d)] = qualityClassOf(diatonicChord(key, d, true).quality);
  }
  for (int iv = 0; iv < 12; ++iv) {
    for (int x = 0; x < 12; ++x) {
      if ((scaleMask >> ((iv + x) % 12)) & 1u)
        profile.scaleTonesAbove[static_cast<std::size_t>(iv)] |= static_cast<std::uint16_t>(1u << x);
    }
  }
  const bool melodic = key.minor && key.melodic;
  for (int deg = 0; deg <= 7; ++deg) {
    for (int cls = 0; cls < 8; ++cls) {
      for (int flag = 0; flag < 2; ++flag) {
        profile.coefficients[deg][cls][flag] =
            degreeCoefficients(deg, static_cast<Class>(cls), diatonicClass[static_cast<std::size_t>(deg)],
                               !key.minor, flag != 0);
        profile.melodic[deg][cls][flag] =
            melodic && deg != 0 ? melodicCoefficient(deg, static_cast<Class>(cls), flag != 0) : 0.0;
      }
    }
  }
  return profile;
}

// Index 0 major, 1 natural minor, 2 melodic minor.
const ScaleProfile& profileFor(const KeyContext& key) {
  static const std::array<ScaleProfile, 3> kProfiles{
      buildProfile(KeyContext{0, false, false}),
      buildProfile(KeyContext{0, true, false}),
      buildProfile(KeyContext{0, true, true}),
  };
  return kProfiles[!key.minor ? 0 : key.melodic ? 2 : 1];
}

bool isDominantOrSus(Class c) { return c == Class::Dominant || c == Class::Suspended; }
bool isDiminishedFamily(Class c) { return c == Class::Diminished || c == Class::HalfDiminished; }
bool isMajorDominantOrSus(Class c) {
  return c == Class::Major || c == Class::Dominant || c == Class::Suspended;
}

int intervalAbove(int from, int to) {
  const int d = to - from;
  return d < 0 ? d + 12 : d;
}

}  // namespace

QualityClass qualityClassOf(std::string_view q) {
  if (contains(q, "m7b5") || contains(q, signs::kHalfDiminished)) return Class::HalfDiminished;
  if (contains(q, "dim") || contains(q, signs::kDiminished) || q.starts_with("o"))
    return Class::Diminished;
  if (contains(q, "aug") || contains(q, "+")) return Class::Augmented;
  if (contains(q, "sus")) return Class::Suspended;
  const bool minorLike = isMinorLikeQuality(q);
  // The sixth-ninth and added-tone chords are major triads with colour, not dominants,
  // although their texts carry a 9 or 11.
  const bool addedToneMajor = q == "69" || contains(q, "add");
  if (!q.empty() && !minorLike && !addedToneMajor && !contains(q, "maj") && !contains(q, "M") &&
      (contains(q, "7") || contains(q, "9") || contains(q, "11") || contains(q, "13") ||
       contains(q, "alt")))
    return Class::Dominant;
  if (minorLike) return Class::Minor;
  if (q.empty() || contains(q, "maj") || q == "69" || q == "6" || contains(q, "add"))
    return Class::Major;
  return Class::Other;
}

bool isMajorSeventhFamily(std::string_view q) {
  static constexpr std::array<std::string_view, 8> kMarks{"maj7", "maj9", "maj11", "maj13",
                                                          "M7",   "M9",   "M11",   "M13"};
  return std::any_of(kMarks.begin(), kMarks.end(),
                     [q](std::string_view mark) { return contains(q, mark); });
}

PreparedKeyInput prepareKeyInput(std::span<const KeyInputChord> chords) {
  PreparedKeyInput input;
  input.chords.reserve(chords.size());
  for (const KeyInputChord& chord : chords) {
    // Weights that are not positive (or not finite) carry no evidence.
    if (!(chord.weight > 0.0) || !std::isfinite(chord.weight)) continue;
    KeyChordFeatures f;
    f.weight = chord.weight;
    f.root = static_cast<std::uint8_t>(reducePitchClass(chord.root));
    f.bass = static_cast<std::uint8_t>(reducePitchClass(chord.bass));
    f.distinctBass = chord.hasBass && f.bass != f.root;
    f.insideBass = chord.weight * 0.15;
    f.outsideBass = chord.weight * 0.25;
    f.cls = qualityClassOf(chord.quality);
    f.majorSeventhFamily = isMajorSeventhFamily(chord.quality);
    f.melodicTonicQuality = chord.quality == "mM7" || chord.quality == "mM9" ||
                            chord.quality == "mMaj7" || chord.quality == "mMaj9";
    for (int interval : qualityIntervals(chord.quality)) {
      if (f.toneCount == f.toneOffsets.size()) break;
      const int offset = reducePitchClass(interval);
      const double toneWeight = kToneWeights[static_cast<std::size_t>(offset)] * chord.weight;
      f.toneOffsets[f.toneCount] = static_cast<std::uint8_t>(offset);
      f.insideTone[f.toneCount] = toneWeight * 0.35;
      f.outsideTone[f.toneCount] = toneWeight * 1.15;
      ++f.toneCount;
    }
    input.chords.push_back(f);
  }
  for (std::size_t i = 0; i + 1 < input.chords.size(); ++i) {
    KeyChordFeatures& f = input.chords[i];
    const int step = intervalAbove(f.root, input.chords[i + 1].root);
    f.fifthResolution = f.cls == Class::Dominant && step == 5;
    f.leadingResolution = isDiminishedFamily(f.cls) && step == 1;
  }
  return input;
}

double keyScore(const PreparedKeyInput& input, const KeyContext& key) {
  const auto& chords = input.chords;
  const std::size_t n = chords.size();
  const ScaleProfile& profile = profileFor(key);
  const bool minor = key.minor;
  const bool major = !minor;
  const bool melodic = minor && key.melodic;
  const Class modeClass = minor ? Class::Minor : Class::Major;
  const int k = reducePitchClass(key.root);
  const auto inScale = [&profile](int iv) { return ((profile.scaleTonesAbove[0] >> iv) & 1u) != 0; };

  double score = melodic ? -1.0 : 0.0;
  if (n == 0) return score;

  // Evidence over the whole progression.
  double tonicWeight = 0.0;
  double totalWeight = 0.0;
  double borrowedWeight = 0.0;
  bool tonicMatch = false, tonicDominant = false, hasIV = false, hasV = false, minorIV = false;
  bool vFits = false, harmonicV = false;
  int dominantCount = 0;
  for (const KeyChordFeatures& c : chords) {
    const int iv = intervalAbove(k, c.root);
    const double w = c.weight;
    totalWeight += w;
    if (iv == 0) {
      tonicWeight += w;
      tonicMatch = tonicMatch || c.cls == Class::Suspended || c.cls == modeClass;
      tonicDominant = tonicDominant || c.cls == Class::Dominant;
    } else if (iv == 5) {
      hasIV = true;
      minorIV = minorIV || c.cls == Class::Minor;
    } else if (iv == 7) {
      hasV = true;
      const bool plainMajor = c.cls == Class::Major && !c.majorSeventhFamily;
      vFits = vFits || isDominantOrSus(c.cls) || (plainMajor && major) ||
              (c.cls == Class::Minor && minor);
      harmonicV = harmonicV || (minor && (isDominantOrSus(c.cls) || plainMajor));
    }
    if (major) {
      const bool borrowed = (c.cls == Class::Minor && iv == 5) ||
                            ((iv == 3 || iv == 8 || iv == 10) && isMajorDominantOrSus(c.cls));
      if (borrowed) borrowedWeight += w;
      if (c.cls == Class::Dominant && (iv == 0 || iv == 5 || iv == 7)) ++dominantCount;
    }
  }
  const bool blues = major && tonicDominant && dominantCount >= 2 && hasV && hasIV;
  const bool lowBorrow = totalWeight <= 0.0 || borrowedWeight / totalWeight < 0.4;
  const auto isTonicChord = [&](const KeyChordFeatures& c) {
    return c.root == k && (c.cls == Class::Suspended || c.cls == modeClass);
  };
  const bool firstTonic = isTonicChord(chords.front());
  const bool lastTonic = isTonicChord(chords.back());
  bool minorCadence = false;
  if (minor && n >= 2 && lastTonic) {
    const KeyChordFeatures& before = chords[n - 2];
    minorCadence = intervalAbove(k, before.root) == 7 &&
                   (isDominantOrSus(before.cls) ||
                    (before.cls == Class::Major && !before.majorSeventhFamily));
  }
  const double borrowCoefficient = tonicMatch ? 0.78 : lowBorrow ? 0.45 : 0.35;

  // One term per chord.
  int prevIv = -1;
  Class prevCls = Class::Other;
  int iv = intervalAbove(k, chords[0].root);
  for (std::size_t i = 0; i < n; ++i) {
    const KeyChordFeatures& c = chords[i];
    const double w = c.weight;
    const Class cls = c.cls;
    const int nextIv = i + 1 < n ? intervalAbove(k, chords[i + 1].root) : -1;

    // Adding 0.0 for the tones on the other side keeps the sums exactly those of a branching
    // loop over the tones in interval order.
    double inFit = 0.0, outFit = 0.0;
    const unsigned inside = profile.scaleTonesAbove[static_cast<std::size_t>(iv)];
    for (std::size_t t = 0; t < c.toneCount; ++t) {
      const double isInside = static_cast<double>((inside >> c.toneOffsets[t]) & 1u);
      inFit += c.insideTone[t] * isInside;
      outFit += c.outsideTone[t] * (1.0 - isInside);
    }
    if (c.distinctBass) {
      if (inScale(intervalAbove(k, c.bass))) {
        inFit += c.insideBass;
      } else {
        outFit += c.outsideBass;
      }
    }

    bool borrowedChord = false, bluesChord = false;
    if (major) {
      borrowedChord = (cls == Class::Minor && iv == 5) ||
                      ((iv == 3 || iv == 8 || iv == 10) && isMajorDominantOrSus(cls));
      bluesChord = blues && cls == Class::Dominant && (iv == 0 || iv == 5 || iv == 7);
    }

    // Chromatic tones are forgiven when they resolve or are idiomatic borrowings.
    double forgiven = 0.0;
    if (c.fifthResolution) forgiven += outFit * 0.72;
    if (c.leadingResolution) forgiven += outFit * 0.72;
    if (borrowedChord) forgiven += borrowCoefficient * outFit;
    if (bluesChord) forgiven += outFit * 0.9;
    forgiven = std::min(forgiven, outFit);
    outFit -= forgiven;
    const double fit = inFit - outFit;

    const int deg = profile.degree[static_cast<std::size_t>(iv)];
    const auto clsIndex = static_cast<std::size_t>(cls);
    const DegreeCoefficients& coefficients =
        profile.coefficients[static_cast<std::size_t>(deg)][clsIndex][c.majorSeventhFamily ? 1 : 0];
    const double match = coefficients.match;
    const double mismatch = coefficients.mismatch;
    const double melodicTerm =
        profile.melodic[static_cast<std::size_t>(deg)][clsIndex][c.melodicTonicQuality ? 1 : 0];
    const double term = deg == 0 ? fit - (borrowedChord ? 0.35 : 0.85) * w : fit + 0.55 * w;

    double v = term + match * w - mismatch * w + melodicTerm * w;

    if (iv == 7) {
      const bool dominantOk = isDominantOrSus(cls) || (cls == Class::Minor && minor) ||
                              (cls == Class::Major && major && !c.majorSeventhFamily);
      if (dominantOk) v += 2.5 * w;
      if (isDominantOrSus(cls)) v += 1.6 * w;
      if (dominantOk && nextIv == 0) {
        const double resolution = isDominantOrSus(cls)            ? 4.2
                                  : cls == Class::Major           ? 3.0
                                  : cls == Class::Minor && minor  ? 2.0
                                                                  : 1.0;
        v += w * resolution;
      }
    } else if (iv == 2) {
      if ((cls == Class::Minor || isDiminishedFamily(cls)) && nextIv == 7) v += 2.2 * w;
    } else if (iv == 0) {
      double u = v + 4.0 * w;
      if (cls == Class::Suspended || cls == modeClass) {
        u += 3.0 * w;
      } else if (cls == Class::Dominant && blues) {
        u += 2.2 * w;
      }
      if (i == 0) u += 2.0 * w;
      if (i + 1 == n) {
        double cadence = 1.2;
        if (cls == Class::Dominant && !blues) {
          cadence = 0.8;
        } else if ((prevIv == 7 && isMajorDominantOrSus(prevCls)) || prevIv == 5 ||
                   (prevIv == 11 && isDiminishedFamily(prevCls))) {
          cadence = 3.2;
        } else if (prevIv == 7 && minor && prevCls == Class::Minor) {
          cadence = 2.0;
        }
        u += cadence * w;
      }
      v = n < 3 ? u + ((cls == Class::Dominant && !blues) ? 2.0 * w : 4.5 * w) : u;
    }

    if (minor && cls == Class::Minor && iv == 5 && nextIv == 7) v += 2.0 * w;
    if (major && iv == 5 && nextIv == 7) v += 1.5 * w;
    if (isDiminishedFamily(cls) && iv == 11 && nextIv == 0) v += 2.8 * w;
    if (c.fifthResolution) v += 1.4 * w;
    if (c.leadingResolution) v += 1.1 * w;
    if (borrowedChord) v += 0.8 * w;
    if (bluesChord) v += 1.1 * w;
    score += v;

    prevIv = iv;
    prevCls = cls;
    iv = nextIv;
  }

  // Whole-progression terms.
  if (tonicWeight > 0.0) score += 0.8 * tonicWeight;
  if (major && tonicMatch && hasIV) score += vFits ? 4.6 : 2.0;
  if (firstTonic && lastTonic) score += 5.0;
  if (minor) {
    if (lastTonic) score += 1.2;
    if (minorCadence) score += 6.0;
    if (minorIV && tonicMatch && harmonicV) score += 5.8;
  }
  if (blues) score += 5.5;
  const bool settled = tonicMatch || blues;
  if (n >= 3 && !settled) score -= 3.2;
  if (!lowBorrow && !settled) score -= 1.5;
  return score;
}

double keyScore(std::span<const KeyInputChord> chords, const KeyContext& key) {
  return keyScore(prepareKeyInput(chords), key);
}

std::array<KeyCandidate, 36> rankKeys(const PreparedKeyInput& input) {
  std::array<KeyCandidate, 36> candidates;
  std::size_t next = 0;
  for (PitchClass root = 0; root < 12; ++root) {
    for (const KeyContext key : {KeyContext{root, false, false}, KeyContext{root, true, false},
                                 KeyContext{root, true, true}}) {
      candidates[next++] = {key, keyScore(input, key)};
    }
  }
  // Generation order breaks the remaining ties, so the lower tonic wins them.
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const KeyCandidate& a, const KeyCandidate& b) {
                     if (a.score != b.score) return a.score > b.score;
                     if (a.key.minor != b.key.minor) return !a.key.minor;
                     return !a.key.melodic && b.key.melodic;
                   });
  return candidates;
}

KeyInputChord keyInputChord(const ParsedChord& chord) {
  return {chord.root, chord.quality, chord.bass.value_or(0), chord.hasBass(), 1.0};
}

KeyContext detectKey(std::span<const KeyInputChord> chords) {
  if (chords.empty()) return KeyContext{0, false, false};
  return rankKeys(prepareKeyInput(chords)).front().key;
}

}  // namespace tw
