// Voices a progression with voice leading through the tonalweaver library: its key found, each
// chord's notes and numeral printed, then the chords that could follow.
//
//   voice_progression ["CHORDS"] [CORPUS_FOLDER]
//   voice_progression "Dm7 G7 Cmaj7 A7b9"
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <tonalweaver/tonalweaver.hpp>

namespace {

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> list;
  for (std::string word; in >> word;) list.push_back(word);
  return list;
}

std::string modeName(tonalweaver::Mode mode) {
  switch (mode) {
    case tonalweaver::Mode::Major: return "major";
    case tonalweaver::Mode::Minor: return "minor";
    case tonalweaver::Mode::MelodicMinor: return "melodic minor";
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> chords = words(argc > 1 ? argv[1] : "Dm7 G7 Cmaj7 A7b9 Dm9 G13 Cmaj9");
  const std::string corpusFolder = argc > 2 ? argv[2] : TONALWEAVER_CORPUS_DIR;

  const auto key = tonalweaver::detectKey(chords);
  if (!key) {
    std::cerr << "voice_progression: " << key.error() << "\n";
    return 1;
  }
  std::cout << "Key: " << key->tonic << " " << modeName(key->mode) << "\n";

  std::vector<tonalweaver::Slot> slots;
  for (const std::string& chord : chords) slots.push_back({chord, {.style = "anthem", .octave = 3}});
  const auto voiced = tonalweaver::voiceProgression(slots, {.key = key.value()});
  if (!voiced) {
    std::cerr << "voice_progression: " << voiced.error() << "\n";
    return 1;
  }
  for (const tonalweaver::VoicedChord& chord : voiced.value()) {
    std::cout << chord.symbol << "\t" << chord.numeral.value_or("") << "\t";
    for (int note : chord.notes) std::cout << " " << note;
    std::cout << "\n";
  }

  // Suggestions draw on the continuation corpus for their "smart" candidates.
  if (const auto loaded = tonalweaver::loadCorpora(corpusFolder); !loaded) {
    std::cerr << "voice_progression: " << loaded.error() << "\n";
    return 1;
  }
  const auto next = tonalweaver::suggestNextChords({.key = key.value(), .previous = chords});
  if (!next) {
    std::cerr << "voice_progression: " << next.error() << "\n";
    return 1;
  }
  std::cout << "Next:";
  for (std::size_t i = 0; i < next->size() && i < 5; ++i)
    std::cout << " " << next.value()[i].symbol << " (" << next.value()[i].family << ")";
  std::cout << "\n";
  return 0;
}
