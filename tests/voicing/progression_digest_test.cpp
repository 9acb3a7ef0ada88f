// The voicings of whole progressions, in every style, with the solver and without, must not
// change by a single note when the solver is made faster. Each reply of "generate_progression"
// is reduced to a digest and compared with the digest stored for it.
//
// Two sets: progressions written here (always run) and a fixed selection of real lead sheets
// read from the shared jazz collection at test time (skipped when the collection is absent;
// only digests of the replies are stored, never its text).
//
// A digest may be regenerated only when a reply is meant to change; the commit says why:
//   TONALWEAVER_WRITE_DIGESTS=1 build/test_voicing --gtest_filter='ProgressionDigests.*'
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/request_handlers.hpp"
#include "chord/chord_parser.hpp"

namespace tw {
namespace {

namespace fs = std::filesystem;

const fs::path kDigestDir = fs::path(TONALWEAVER_SOURCE_DIR) / "tests" / "voicing" / "digests";
const char* const kStyles[] = {"closed", "shell", "anthem", "split", "guide-color", "velmaro"};

// FNV-1a, 64 bits: stable across platforms and library versions.
std::string digestOf(const HandlerReply& reply) {
  const std::string bytes = reply.type + '\n' + reply.payload.dump(-1, ' ', true);
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

struct Progression {
  std::string name;
  Json payload;  // slots without a style take the style under test
};

// Every reply of a progression in every style: direct, with the solver, and with the solver
// free to change the bass. Keyed "name style mode".
using Digests = std::map<std::string, std::string>;

Digests digestsOf(const std::vector<Progression>& progressions, bool mustSucceed) {
  Digests out;
  for (const auto& p : progressions) {
    for (const char* style : kStyles) {
      Json payload = p.payload;
      for (Json& slot : payload["slots"])
        if (!slot.contains("style")) slot["style"] = style;
      const struct {
        const char* mode;
        bool solver;
        bool bassChanges;
      } modes[] = {{"direct", false, false}, {"auto", true, false}, {"auto+bass", true, true}};
      for (const auto& m : modes) {
        payload["auto_voice_lead"] = m.solver;
        payload["allow_bass_changes"] = m.bassChanges;
        HandlerReply reply;
        try {
          reply = handleGenerateProgression(payload);
        } catch (const std::exception& failure) {
          reply = {"threw", failure.what()};  // the dispatcher's to answer; still a result
        }
        const std::string key = p.name + ' ' + style + ' ' + m.mode;
        if (mustSucceed) {
          EXPECT_EQ(reply.type, "progression_voicings") << key << ": " << reply.payload.dump();
        }
        out[key] = digestOf(reply);
      }
    }
  }
  return out;
}

Digests readDigests(const fs::path& file) {
  Digests stored;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto cut = line.rfind(' ');
    if (cut != std::string::npos) stored[line.substr(0, cut)] = line.substr(cut + 1);
  }
  return stored;
}

void writeDigests(const fs::path& file, const Digests& digests, const std::string& about) {
  std::ofstream out(file);
  out << "# " << about << "\n"
      << "# name style mode digest (FNV-1a 64 of the reply type, a newline and the compact payload).\n"
      << "# Regenerate only when replies are meant to change, and say why in the commit.\n";
  for (const auto& [key, digest] : digests) out << key << ' ' << digest << '\n';
}

void checkDigests(const std::vector<Progression>& progressions, bool mustSucceed,
                  const std::string& fileName, const std::string& about) {
  const Digests actual = digestsOf(progressions, mustSucceed);
  const fs::path file = kDigestDir / fileName;
  if (std::getenv("TONALWEAVER_WRITE_DIGESTS")) {
    writeDigests(file, actual, about);
    GTEST_SKIP() << "wrote " << actual.size() << " digests to " << file;
  }
  const Digests stored = readDigests(file);
  ASSERT_FALSE(stored.empty()) << "no digests in " << file;
  std::size_t changed = 0;
  for (const auto& [key, digest] : actual) {
    const auto it = stored.find(key);
    if (it == stored.end()) {
      ADD_FAILURE() << "no stored digest for " << key;
    } else if (it->second != digest && ++changed <= 20) {
      ADD_FAILURE() << "reply changed: " << key;
    }
  }
  EXPECT_EQ(changed, 0u) << "replies changed";
  EXPECT_EQ(actual.size(), stored.size()) << "the stored set names progressions no longer tested";
}

Json slots(const std::string& chords) {
  Json out = Json::array();
  std::istringstream words(chords);
  std::string symbol;
  while (words >> symbol) out.push_back(Json{{"chord", symbol}});
  return out;
}

std::vector<Progression> ownProgressions() {
  std::vector<Progression> p = {
      {"turnaround", {{"slots", slots("Dm7 G7 Cmaj7 A7 Dm9 G13 Cmaj9 C6")}}},
      {"minor-blues", {{"slots", slots("Cm7 Fm7 Cm7 Cm7 Fm7 Fm7 Cm7 Cm7 Abmaj7 G7#9 Cm7 G7b9")}}},
      {"bass-line", {{"slots", slots("C C/B Am7 Am7/G Fmaj7 Fmaj7/E Dm7 G7sus4 G7 C")}}},
      {"tensions", {{"slots", slots("C13#11 Bb13 Ebmaj7#11 Ab7#5#9 Dbmaj9 Gm11 C7b9b13 F69 E7b9 A7b13")}}},
      {"pop", {{"slots", slots("Cadd9 Gsus4 G Am7 Fmaj7 Fadd9 C/E Dm7 Gsus2 G")}}},
      {"symmetric", {{"slots", slots("Cdim7 C+ Caug7 Bm7b5 E7b9 AmMaj7 D7 G7 Ebdim7 Dm7")}}},
      {"standard",
       {{"slots", slots("Cm7 F7 Bbmaj7 Ebmaj7 Am7b5 D7b9 Gm6 Gm6 Cm7 F7 Bbmaj7 Ebmaj7 Am7b5 D7b9 "
                        "Gm6 G7 Am7b5 D7b9 Gm7 Gm7 Cm7 F7 Bbmaj7 Ebmaj7 Am7b5 D7b9 Gm7 C7 Fm7 "
                        "E7 Am7b5 D7b9 Gm6")}}},
      {"keyed-transposed",
       {{"slots", slots("Dm7 G7 Cmaj7 Fmaj7 Bm7b5 E7 Am7 Am7")},
        {"key", {{"root", "A"}, {"mode", "minor"}}},
        {"semitone_transpose", 14}}},
      {"down-a-fourth", {{"slots", slots("F Bb/F C7/E F Dm Gm7 C9sus4 F")}, {"semitone_transpose", -5}}},
  };
  // Anchors inside the progression, a manual voicing, inversions, bass drops, other octaves
  // and an anchor of another style.
  Json anchored = slots("Em7b5 A7 Dm7 G7 Cmaj7 Fmaj7 Bm7b5 E7 Am7 D7 G7 C");
  anchored[0]["octave"] = 3;
  anchored[2]["auto_voiced"] = false;
  anchored[2]["inversion"] = 1;
  anchored[4]["auto_voiced"] = false;
  anchored[4]["manual_midi"] = {52, 59, 60, 64, 67};
  anchored[5]["drop_bass"] = true;
  anchored[7]["octave"] = 5;
  anchored[8]["auto_voiced"] = false;
  anchored[8]["style"] = "anthem";
  anchored[8]["octave_shift"] = -1;
  anchored[10]["auto_voiced"] = false;
  anchored[10]["inversion"] = -2;
  p.push_back({"anchored", {{"slots", anchored}}});
  return p;
}

// Every hundredth lead sheet of the collection in name order, its chords as written; rests
// and symbols the parser does not know are left out, as a user's import would.
std::vector<Progression> jazzTunes(const fs::path& root) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<Progression> tunes;
  for (std::size_t i = 0; i < files.size(); i += 100) {
    std::ifstream in(files[i]);
    Json chords = Json::array();
    std::string line;
    while (std::getline(in, line)) {
      if (line.find('=') != std::string::npos) continue;  // metadata
      std::istringstream words(line);
      std::string word;
      while (words >> word)
        if (word != "|" && parseChordSymbol(word)) chords.push_back(Json{{"chord", word}});
    }
    if (!chords.empty()) tunes.push_back({files[i].filename().string(), {{"slots", chords}}});
  }
  return tunes;
}

TEST(ProgressionDigests, OwnProgressionsInEveryStyle) {
  checkDigests(ownProgressions(), true, "own_progressions.txt", "Progressions written for this test.");
}

TEST(ProgressionDigests, JazzLeadSheetsInEveryStyle) {
  const fs::path root = fs::path(TONALWEAVER_DATASETS_DIR) / "jazz-corpus" / "SongDB";
  if (!fs::is_directory(root)) GTEST_SKIP() << "the jazz collection is not at " << root;
  const auto tunes = jazzTunes(root);
  ASSERT_GE(tunes.size(), 20u);
  checkDigests(tunes, false, "jazz_lead_sheets.txt",
               "Every hundredth lead sheet of the shared jazz collection, by file name.");
}

}  // namespace
}  // namespace tw
