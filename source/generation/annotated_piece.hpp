#pragma once
// A piece of human-annotated harmony as the engine learns from it: its chords, each with the
// key it stands in, how long it lasts and where phrases begin.
#include <string>
#include <vector>

#include "chord/chord_parser.hpp"
#include "chord/key_context.hpp"

namespace tw {

struct AnnotatedChord {
  ParsedChord chord;
  KeyContext key;
  double duration = 1.0;     // in bars where the data set says, else 1
  bool phraseStart = false;  // a phrase or section begins here
  bool afterGap = false;     // an unreadable chord or a rest came just before
};

struct AnnotatedPiece {
  std::string id;
  std::vector<AnnotatedChord> chords;
  long unread = 0;  // chord entries of the piece that could not be read
};

}  // namespace tw
