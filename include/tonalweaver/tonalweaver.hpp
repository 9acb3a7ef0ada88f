#pragma once
// The tonalweaver chord engine for C++: read chord symbols, voice chords and whole
// progressions, name chords in a key, find a progression's key, suggest next chords and
// generate progressions of a genre.
//
// The functions are plain calls over small value types. Each one that can fail answers a
// Result (result.hpp): the value, or a text that says what was wrong. Nothing throws. Calls
// may come from any thread; they take turns on one lock, since the engine's caches and its
// corpora are shared by the whole process.
//
//   #include <tonalweaver/tonalweaver.hpp>
//
//   auto voiced = tonalweaver::voiceProgression({{"Dm7"}, {"G7"}, {"Cmaj7"}},
//                                               {.key = tonalweaver::Key{"C"}});
//   if (!voiced) return report(voiced.error());
//   for (const tonalweaver::VoicedChord& chord : voiced.value())
//     play(chord.notes);  // 62 65 69 72, then 55 65 71 74, then 60 67 71 76
//
// Generation and smart suggestions need the corpora (corpora.hpp):
//
//   tonalweaver::loadCorpora(corpusFolder);  // share/tonalweaver where the package is installed
//   auto rock = tonalweaver::generateProgression({.genre = "Rock", .length = 8});
#include "tonalweaver/analysis.hpp"
#include "tonalweaver/chords.hpp"
#include "tonalweaver/corpora.hpp"
#include "tonalweaver/generation.hpp"
#include "tonalweaver/key.hpp"
#include "tonalweaver/progressions.hpp"
#include "tonalweaver/result.hpp"
#include "tonalweaver/suggestions.hpp"
#include "tonalweaver/voicing.hpp"
