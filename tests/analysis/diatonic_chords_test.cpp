// The "get_diatonic_chords" palette.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include <nlohmann/json.hpp>

#include "analysis/diatonic_chords.hpp"
#include "voicing/voicing_styles.hpp"
#include "protocol/request_handlers.hpp"

namespace tw {
namespace {

std::vector<std::string> member(const Json& chords, const char* name) {
  std::vector<std::string> values;
  for (const auto& chord : chords) values.push_back(chord.at(name).get<std::string>());
  return values;
}

TEST(DiatonicSet, RootsQualitiesAndDegrees) {
  const auto set = diatonicSet({2, false, false}, 7);
  EXPECT_EQ(set[0].root, 2);
  EXPECT_EQ(set[6].root, 1);
  EXPECT_EQ(set[4].quality, "7");
  EXPECT_EQ(set[6].degree, 7);
  EXPECT_EQ(diatonicSet({0, true, true}, 3)[2].quality, "+");
  EXPECT_EQ(diatonicSet({0, true, false}, 9)[1].quality, "m9b5");
  EXPECT_EQ(diatonicSet({0, false, false}, 4)[0].quality, "maj7");
}

TEST(DiatonicChords, CMajorSevenths) {
  const HandlerReply reply = handleGetDiatonicChords(Json{{"root", "C"}, {"request_id", "d1"}});
  EXPECT_EQ(reply.type, "diatonic_chords");
  const Json& chords = reply.payload["chords"];
  EXPECT_EQ(member(chords, "symbol"),
            (std::vector<std::string>{"Cmaj7", "Dm7", "Em7", "Fmaj7", "G7", "Am7", "Bm7b5"}));
  EXPECT_EQ(member(chords, "roman"),
            (std::vector<std::string>{"Imaj7", "iim7", "iiim7", "IVmaj7", "V7", "vim7", "viiø"}));
  EXPECT_EQ(member(chords, "colorCategory"),
            (std::vector<std::string>{"major", "minor", "minor", "major", "dominant", "minor", "half-diminished"}));
  for (int d = 0; d < 7; ++d) {
    EXPECT_EQ(chords[d]["degree"], d + 1);
    ASSERT_FALSE(chords[d]["notes"].empty()) << d;
  }
  EXPECT_EQ(reply.payload["keyRomans"]["C"], "I");
  EXPECT_EQ(reply.payload["keyRomans"]["D"], "II");
  EXPECT_EQ(reply.payload["keyRomans"]["F#"], "♯IV");
  EXPECT_EQ(reply.payload["keyNames"].size(), 12u);
  EXPECT_EQ(reply.payload["keyNames"][6], "F#");
  EXPECT_EQ(reply.payload["request_id"], "d1");
  EXPECT_FALSE(reply.payload.contains("error"));
}

TEST(DiatonicChords, VoicingsSoundTheChord) {
  const HandlerReply reply = handleGetDiatonicChords(Json::object());
  const Json& chords = reply.payload["chords"];
  const std::vector<std::vector<int>> pitchClasses{{0, 4, 7, 11}, {2, 5, 9, 0}, {4, 7, 11, 2}, {5, 9, 0, 4},
                                                   {7, 11, 2, 5}, {9, 0, 4, 7}, {11, 2, 5, 9}};
  for (std::size_t d = 0; d < 7; ++d) {
    std::set<int> sounding;
    for (int note : chords[d]["notes"]) {
      EXPECT_GE(note, 0);
      EXPECT_LE(note, 127);
      sounding.insert(note % 12);
    }
    for (int pc : sounding) {
      EXPECT_NE(std::find(pitchClasses[d].begin(), pitchClasses[d].end(), pc), pitchClasses[d].end())
          << "degree " << d + 1 << " sounds " << pc;
    }
  }
}

TEST(DiatonicChords, LabelledFromTheRelativeMinor) {
  const HandlerReply reply =
      handleGetDiatonicChords(Json{{"root", "C"}, {"relativeToRoot", "A"}, {"relativeToMode", "minor"}});
  const Json& chords = reply.payload["chords"];
  EXPECT_EQ(member(chords, "roman"),
            (std::vector<std::string>{"IIImaj7", "ivm7", "vm7", "VImaj7", "VII7", "im7", "iiø"}));
  EXPECT_EQ(chords[0]["degree"], 1);
  EXPECT_EQ(reply.payload["keyRomans"]["C"], "iii");
  EXPECT_EQ(reply.payload["keyRomans"]["A"], "i");
}

TEST(DiatonicChords, InvalidRelativeRootIsIgnored) {
  const HandlerReply plain = handleGetDiatonicChords(Json{{"root", "C"}});
  const HandlerReply relative = handleGetDiatonicChords(Json{{"root", "C"}, {"relativeToRoot", "Z"}});
  EXPECT_EQ(plain.payload, relative.payload);
  EXPECT_THROW(handleGetDiatonicChords(Json{{"relativeToRoot", 4}}), Json::type_error);
}

TEST(DiatonicChords, ExtensionSizes) {
  const HandlerReply triads = handleGetDiatonicChords(Json{{"diatonicExtension", 3}});
  EXPECT_EQ(member(triads.payload["chords"], "symbol"),
            (std::vector<std::string>{"C", "Dm", "Em", "F", "G", "Am", "Bdim"}));
  EXPECT_EQ(member(triads.payload["chords"], "roman"),
            (std::vector<std::string>{"I", "ii", "iii", "IV", "V", "vi", "vii°"}));
  const HandlerReply ninths = handleGetDiatonicChords(Json{{"diatonicExtension", 9}});
  EXPECT_EQ(ninths.payload["chords"][4]["symbol"], "G9");
  for (const Json& size : {Json(5), Json(0), Json(-3), Json(1e300), Json(18446744073709551615ull), Json(7.9)}) {
    const HandlerReply reply = handleGetDiatonicChords(Json{{"diatonicExtension", size}});
    EXPECT_EQ(reply.payload["chords"][0]["symbol"], "Cmaj7") << size;
  }
}

TEST(DiatonicChords, MinorPalettes) {
  const HandlerReply natural = handleGetDiatonicChords(Json{{"root", "A"}, {"mode", "minor"}});
  EXPECT_EQ(member(natural.payload["chords"], "quality"),
            (std::vector<std::string>{"m7", "m7b5", "maj7", "m7", "m7", "maj7", "7"}));
  const HandlerReply melodic =
      handleGetDiatonicChords(Json{{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}});
  EXPECT_EQ(member(melodic.payload["chords"], "quality"),
            (std::vector<std::string>{"mM7", "m7", "maj7#5", "7", "7", "m7b5", "m7b5"}));
  EXPECT_EQ(melodic.payload["keyRomans"]["A"], "i");
}

TEST(DiatonicChords, AugmentedTriadIsVoicedAugmented) {
  const HandlerReply reply = handleGetDiatonicChords(
      Json{{"root", "A"}, {"mode", "minor"}, {"minorScaleType", "melodic"}, {"diatonicExtension", 3}});
  const Json& third = reply.payload["chords"][2];
  EXPECT_EQ(third["symbol"], "C+");
  EXPECT_EQ(third["colorCategory"], "augmented");
  std::set<int> sounding;
  for (int note : third["notes"]) sounding.insert(note % 12);
  EXPECT_TRUE(sounding.count(8)) << third["notes"];
  EXPECT_FALSE(sounding.count(7)) << third["notes"];
}

TEST(DiatonicChords, MelodicScaleTypeDoesNothingInMajor) {
  EXPECT_EQ(handleGetDiatonicChords(Json{{"minorScaleType", "melodic"}}).payload,
            handleGetDiatonicChords(Json::object()).payload);
}

TEST(DiatonicChords, OctaveIsClamped) {
  EXPECT_EQ(handleGetDiatonicChords(Json{{"octave", 12}}).payload,
            handleGetDiatonicChords(Json{{"octave", 7}}).payload);
  EXPECT_EQ(handleGetDiatonicChords(Json{{"octave", -3}}).payload,
            handleGetDiatonicChords(Json{{"octave", 0}}).payload);
  EXPECT_EQ(handleGetDiatonicChords(Json{{"octave", -9223372036854775807LL - 1}}).payload,
            handleGetDiatonicChords(Json{{"octave", 0}}).payload);
  EXPECT_NE(handleGetDiatonicChords(Json{{"octave", 3}}).payload["chords"][0]["notes"],
            handleGetDiatonicChords(Json{{"octave", 5}}).payload["chords"][0]["notes"]);
}

TEST(DiatonicChords, DefaultsToCMajorAndUnknownStyleIsClosed) {
  EXPECT_EQ(handleGetDiatonicChords(Json()).payload, handleGetDiatonicChords(Json{{"root", "C"}}).payload);
  EXPECT_EQ(handleGetDiatonicChords(Json{{"voicingStyle", "nonsense"}}).payload,
            handleGetDiatonicChords(Json{{"voicingStyle", "closed"}}).payload);
}

TEST(DiatonicChords, InvalidRoot) {
  for (const char* root : {"X", "", "H", "C♯", "Cb#x"}) {
    const HandlerReply reply = handleGetDiatonicChords(Json{{"root", root}, {"request_id", "q"}});
    EXPECT_EQ(reply.type, "diatonic_chords");
    EXPECT_EQ(reply.payload, (Json{{"chords", Json::array()},
                                   {"error", std::string("Invalid key root: ") + root},
                                   {"request_id", "q"}}));
  }
}

TEST(DiatonicChords, FlatKeySpelling) {
  const HandlerReply reply = handleGetDiatonicChords(Json{{"root", "Eb"}});
  EXPECT_EQ(member(reply.payload["chords"], "symbol"),
            (std::vector<std::string>{"Ebmaj7", "Fm7", "Gm7", "Abmaj7", "Bb7", "Cm7", "Dm7b5"}));
  EXPECT_EQ(reply.payload["keyRomans"]["Gb"], "♭III");
}

TEST(DiatonicChords, WrongJsonTypesRaiseTheLibraryTypeError) {
  EXPECT_THROW(handleGetDiatonicChords(Json{{"diatonicExtension", "7"}}), Json::type_error);
  EXPECT_THROW(handleGetDiatonicChords(Json{{"octave", "4"}}), Json::type_error);
  EXPECT_THROW(handleGetDiatonicChords(Json{{"root", 0}}), Json::type_error);
  EXPECT_THROW(handleGetDiatonicChords(Json{{"drop_bass", "yes"}}), Json::type_error);
  EXPECT_THROW(handleGetDiatonicChords(Json{{"voicingStyle", 2}}), Json::type_error);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST(DiatonicChords, EveryStyleVoicesEveryPalette) {
  for (VoicingStyle style = 0; style < 6; ++style) {
    for (const char* mode : {"major", "minor"}) {
      for (const char* scaleType : {"natural", "melodic"}) {
        for (int size : {3, 7, 9}) {
          const Json payload{{"root", "F#"},          {"mode", mode},
                             {"minorScaleType", scaleType}, {"diatonicExtension", size},
                             {"voicingStyle", std::string(styleId(style))}, {"drop_bass", size == 9}};
          HandlerReply reply;
          ASSERT_NO_THROW(reply = handleGetDiatonicChords(payload)) << payload;
          for (const auto& chord : reply.payload["chords"]) EXPECT_FALSE(chord["notes"].empty()) << payload;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tw
