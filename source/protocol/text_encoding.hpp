#pragma once
// Text hygiene for everything that must become JSON: replies are serialised with strict UTF-8
// checking, so text of unknown origin (atom names, decoder messages, clipboard bytes) is made
// valid before it is placed in a reply.
#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// True when every byte sequence is well-formed UTF-8 (no overlongs, no surrogates, at most
// U+10FFFF).
bool isValidUtf8(std::string_view text);

// A copy in which each byte that does not start a well-formed sequence becomes U+FFFD, so
// the result always serialises; valid text comes back unchanged.
std::string replaceInvalidUtf8(std::string_view text);

// Deepest bracket nesting of a JSON text, counting '[' and '{' outside strings; stops
// counting once `limit` is exceeded (returns limit + 1). Cheap enough to run before every
// decode, so no deeply nested value ever reaches the recursive parts of the JSON library.
std::size_t jsonNestingDepth(std::string_view text, std::size_t limit);

}  // namespace tw
