#pragma once
// Which continuation numerals a genre accepts when the generator varies a progression.
#include <string>
#include <string_view>

namespace tw {

// The four genres of the interface: key and display name.
struct GenreName {
  std::string_view key;
  std::string_view display;
};
inline constexpr GenreName kGenres[] = {{"popedm", "Pop + EDM"},
                                        {"classical", "Classical"},
                                        {"rock", "Rock"},
                                        {"jazzneosoul", "Jazz + Neo Soul"}};

// The display name for a genre key of the four, else empty.
std::string_view genreDisplayName(std::string_view genreKey);

// The parts of a numeral text the filters look at.
struct NumeralText {
  std::string_view accidentals;  // leading "b", "#", "♭", "♯"
  std::string_view letters;      // the roman letters
  std::string_view quality;      // what follows the letters, up to a "/"
};

NumeralText splitNumeralText(std::string_view numeral);

// True when the candidate may replace a chord of a progression of this genre in a key of
// this mode.
bool genreAcceptsContinuation(std::string_view genreKey, std::string_view numeral, bool minorKey);

// True when the numeral begins with an accidental.
bool isChromaticNumeral(std::string_view numeral);

}  // namespace tw
